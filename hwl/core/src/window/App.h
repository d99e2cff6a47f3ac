#pragma once
// The application base of widget programs. It adds nothing to the framework's application;
// programs derive from it so that they name the widget library's base.

#include "uia/app/Application.h"

namespace HA::HWL {

class App : public UIA::Application {
public:
    App();
    ~App() override;
};

}  // namespace HA::HWL
