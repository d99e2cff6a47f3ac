#include "hwl/core/src/tree/WidgetStyleCaches.h"

#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/resources/ManagerContainer.h"
#include "hwl/core/src/tree/Pane.h"
#include "hwl/core/src/tree/Widget.h"

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
