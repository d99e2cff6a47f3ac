#include "hwl/core/src/WidgetStyleCaches.h"

#include "hwl/core/src/Init.h"
#include "hwl/core/src/ManagerContainer.h"
#include "hwl/core/src/Pane.h"
#include "hwl/core/src/StyleSheets.h"
#include "hwl/core/src/Widget.h"

namespace HA::HWL::DETAIL {

namespace {

// A pane's own sheet is not among the manager's sheets.
void forgetInPaneSheet(const Widget* widget)
{
    const Pane* pane = widget->getPane();
    if (pane && pane->getStyleSheet())
        pane->getStyleSheet()->forgetWidget(widget);
}

}  // namespace

void forgetStyleMatches(const Widget* widget)
{
    forgetInPaneSheet(widget);
    if (ManagerContainer* manager = getManager())
        manager->getStyleSheets().forgetMatches(widget);
}

void forgetStyleData(const Widget* widget)
{
    forgetInPaneSheet(widget);
    if (ManagerContainer* manager = getManager())
        manager->getStyleSheets().forgetWidget(widget);
}

}  // namespace HA::HWL::DETAIL
