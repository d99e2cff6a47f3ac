#include "hwl/core/src/widgets/Label.h"

namespace HA::HWL {

ha::symbol Label::getClass() const
{
    static const ha::symbol name(std::string("Label"));
    return name;
}

void Label::configure(const std::string& text, const char* style)
{
    setPainter([](const Label& label, PaintContext& context) {
        const PanelDrawer& drawer = label.getPanelDrawer();
        drawer.draw(label, context);
        drawer.drawText(label, label.getText(), context, label.getVerticalText());
    });
    setText(text);
    setStyle(style);
}

}  // namespace HA::HWL
