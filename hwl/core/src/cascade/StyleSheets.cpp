#include "hwl/core/src/cascade/StyleSheets.h"

#include "hwl/core/src/style/StyleParser2.h"
#include "hwl/core/src/style/StyledWidget.h"

namespace HA::HWL {

const char* const StyleSheets::kBuiltInStyles =
    " * { background-color:rgb(192, 192, 192); background-border-color:rgb(128, 128, 128);  "
    "foreground-color:rgb(0, 0, 0); }     \n"
    "*:down { background-color:rgb(176, 176, 176); }     \n"
    "*:over { background-color:rgb(208, 208, 208); }     \n"
    "Bar { background-color:rgb(32, 32, 32); /*margin:2; spacing:2;*/ }     \n";

StyleSheets::StyleSheets(IStyleResources* owner) : mOwner(owner)
{
    mSheets.push_back(tNamedSheet{std::string(), StyleSheet(owner)});
    StyleParser2::processString(mSheets.front().sheet, kBuiltInStyles);
}

StyleSheet* StyleSheets::getSheetFor(const IStyledWidget& widget)
{
    if (!widget.isInPane())
        return nullptr;
    StyleSheet* own = widget.getPaneStyleSheet();
    return own ? own : &getGlobalSheet();
}

void StyleSheets::load(const std::string& name)
{
    tNamedSheet& global = mSheets.front();
    if (global.name == name)
        return;
    global.name = name;
    global.sheet.loadResource(name);
}

}  // namespace HA::HWL
