#pragma once
// A panel with one text: the styled background, then the text.

#include <string>

#include "hwl/core/src/widgets/TextPanel.h"

namespace HA::HWL {

class Label : public TextPanel<Label> {
public:
    ha::symbol getClass() const override;

    // Paints with the panel drawer (background, then the text), then sets the text and the
    // style class (null keeps it).
    virtual void configure(const std::string& text, const char* style);
};

}  // namespace HA::HWL
