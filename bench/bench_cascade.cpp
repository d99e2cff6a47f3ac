// The cascade under the updater's sheet: resolving the style data of a wizard-sized tree (as
// the first update pass does, and again with the match cache warm), and the wheel's attribute
// change with its re-resolution, as on every second tick; beside a bare walk over the tree.

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/library/Init.h"
#include "hwl/core/src/tree/Pane.h"
#include "hwl/core/src/tree/Widget.h"

namespace {

using namespace HA;
using namespace HA::HWL;

class TypedWidget : public Widget {
public:
    explicit TypedWidget(const char* type) : mType(std::string(type)) {}
    ha::symbol getClass() const override { return mType; }

private:
    ha::symbol mType;
};

// The wizard's tree with its about overlay: 44 widgets, in the library's linked sheet.
class Wizard {
public:
    Wizard()
    {
        init();
        getStyleSheets().load("FirmwareUpdaterStyles.txt");
        add("Bar", "FirmwareUpdaterMainWidget", "FirmwareUpdaterMainWidget", nullptr);
        add("Bar", "FirmwareUpdaterTitlePanel", "FirmwareUpdaterTitlePanel", "FirmwareUpdaterMainWidget");
        add("Label", "FirmwareUpdaterTitlePanelHeadline", nullptr, "FirmwareUpdaterTitlePanel");
        add("Button", "FirmwareUpdaterTitlePanelAbout", "FirmwareUpdaterTitlePanelAbout", "FirmwareUpdaterTitlePanel");
        add("Bar", "FirmwareUpdaterBodyPanel", "FirmwareUpdaterBodyPanel", "FirmwareUpdaterMainWidget");
        add("Bar", "FirmwareUpdaterFirmwarePanel", "FirmwareUpdaterFirmwarePanel", "FirmwareUpdaterBodyPanel");
        add("Bar", "FirmwareUpdaterFirmwarePanelBody", "FirmwareUpdaterFirmwarePanelBody", "FirmwareUpdaterFirmwarePanel");
        add("Bar", "FirmwareUpdaterFirmwarePanelRevisions", "FirmwareUpdaterFirmwarePanelRevisions",
            "FirmwareUpdaterFirmwarePanelBody");
        for (const char* row : {"Newest", "Installed", "SerialNumber"}) {
            const std::string rowId = std::string("Row") + row;
            add("Bar", rowId, nullptr, "FirmwareUpdaterFirmwarePanelRevisions", "FirmwareUpdaterFirmwarePanelRevisionsRow");
            const std::string kind = std::string(row) == "SerialNumber" ? "" : "FirmwareRevision";
            add("Label", rowId + "Value", ("FirmwareUpdater" + std::string(row) + kind + "Value").c_str(), rowId,
                "Value");
            add("Label", rowId + "Label", ("FirmwareUpdater" + std::string(row) + kind + "Label").c_str(), rowId,
                "Label");
        }
        add("Bar", "FirmwareUpdaterFirmwarePanelDeviceImage", "FirmwareUpdaterFirmwarePanelDeviceImage",
            "FirmwareUpdaterFirmwarePanelBody");
        add("Label", "FirmwareUpdaterFirmwarePanelDeviceImageOverlay", nullptr, "FirmwareUpdaterFirmwarePanelDeviceImage");
        add("Bar", "FirmwareUpdaterInfoPanel", "Panel", "FirmwareUpdaterBodyPanel");
        add("Label", "FirmwareUpdaterInfoPanelIcon", nullptr, "FirmwareUpdaterInfoPanel");
        add("Bar", "FirmwareUpdaterSpinningProgressWheel", "Panel", "FirmwareUpdaterInfoPanel");
        add("Bar", "FirmwareUpdaterInfoPanelLabelBar", nullptr, "FirmwareUpdaterInfoPanel");
        add("MultilineLabel", "FirmwareUpdaterInfoPanelLabel", nullptr, "FirmwareUpdaterInfoPanelLabelBar");
        add("Bar", "FirmwareUpdaterButtonPanel", "Panel", "FirmwareUpdaterBodyPanel");
        add("Button", "FirmwareUpdaterButtonAction", nullptr, "FirmwareUpdaterButtonPanel");
        add("Button", "FirmwareUpdaterButtonQuit", nullptr, "FirmwareUpdaterButtonPanel");
        add("Button", "FirmwareUpdaterOverlay", nullptr, "FirmwareUpdaterMainWidget");
        add("Bar", "FirmwareUpdaterOverlayPanel", "Panel", "FirmwareUpdaterOverlay");
        add("Label", "FirmwareUpdaterAboutTitle", nullptr, "FirmwareUpdaterOverlayPanel");
        add("Bar", "FirmwareUpdaterAboutInfos", "Panel", "FirmwareUpdaterOverlayPanel");
        add("Label", "FirmwareUpdaterAboutVersion", nullptr, "FirmwareUpdaterAboutInfos");
        add("Label", "FirmwareUpdaterAboutCopyright", nullptr, "FirmwareUpdaterAboutInfos");
        add("Label", "FirmwareUpdaterAboutFirmwareRevision", nullptr, "FirmwareUpdaterOverlayPanel");
        add("Bar", "FirmwareUpdaterAboutContributors", "Panel", "FirmwareUpdaterOverlayPanel");
        for (int i = 0; i < 5; ++i)
            add("Label", "Line" + std::to_string(i), nullptr, "FirmwareUpdaterAboutContributors",
                "FirmwareUpdaterAboutContributorsLine");
        widgets.at("FirmwareUpdaterInfoPanel")->setAttribute("background", "info");
        widgets.at("FirmwareUpdaterInfoPanelIcon")->setAttribute("icon", "error");
        widgets.at("RowInstalledValue")->setAttribute("state", "neutral");
        widgets.at("FirmwareUpdaterButtonAction")->setAttribute("hasFocus", "true");
        widgets.at("FirmwareUpdaterButtonQuit")->setAttribute("hasFocus", "false");
        widgets.at("FirmwareUpdaterSpinningProgressWheel")->setAttribute("step", "S0");
        pane.setSize(628, 336);
        pane.setRoot(widgets.at("FirmwareUpdaterMainWidget"), "FirmwareUpdaterMainWidget");
    }
    ~Wizard()
    {
        pane.setRoot(nullptr);
        order.clear();
        widgets.clear();
        shutdown();
    }

    void add(const char* type, const std::string& key, const char* style, const std::string& parent,
             const char* id = nullptr)
    {
        auto widget = std::make_shared<TypedWidget>(type);
        if (style && *style)
            widget->setStyle(style);
        if (!parent.empty())
            widgets.at(parent)->addChild(widget, id ? id : key.c_str());
        widgets[key] = widget;
        order.push_back(widget.get());
    }
    void add(const char* type, const char* key, const char* style, const char* parent)
    {
        add(type, std::string(key), style, parent ? std::string(parent) : std::string());
    }

    Pane pane;
    std::map<std::string, std::shared_ptr<Widget>> widgets;
    std::vector<Widget*> order;  // tree order
};

int sumFrames(Wizard& wizard)
{
    StyleSheets& sheets = getStyleSheets();
    int sum = 0;
    for (Widget* widget : wizard.order) {
        StyleData& data = sheets.getStyleData(*widget);
        sheets.resolveStyleData(data);
        sum += data.getAnimationIndex();
    }
    return sum;
}

// The ceiling: a walk over the same widgets that only reads their ids.
void BM_WizardTreeWalk(benchmark::State& state)
{
    Wizard wizard;
    for (auto _ : state) {
        std::size_t sum = 0;
        for (Widget* widget : wizard.order)
            sum += widget->getId().str().size();
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(wizard.order.size()));
}
BENCHMARK(BM_WizardTreeWalk);

// Every widget resolved with the match cache cleared first, as after loading a sheet.
void BM_ResolveStyleDataWizardCold(benchmark::State& state)
{
    Wizard wizard;
    for (auto _ : state) {
        getStyleSheets().getGlobalSheet().clearMatchCache();
        benchmark::DoNotOptimize(sumFrames(wizard));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(wizard.order.size()));
}
BENCHMARK(BM_ResolveStyleDataWizardCold);

// Every widget resolved again with its candidates cached, as in later update passes.
void BM_ResolveStyleDataWizardWarm(benchmark::State& state)
{
    Wizard wizard;
    sumFrames(wizard);
    for (auto _ : state)
        benchmark::DoNotOptimize(sumFrames(wizard));
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(wizard.order.size()));
}
BENCHMARK(BM_ResolveStyleDataWizardWarm);

// The wheel's next step: the attribute, the refill and the frame read.
void BM_WheelStepAndResolve(benchmark::State& state)
{
    Wizard wizard;
    Widget& wheel = *wizard.widgets.at("FirmwareUpdaterSpinningProgressWheel");
    StyleSheets& sheets = getStyleSheets();
    StyleData& data = sheets.getStyleData(wheel);
    sheets.resolveStyleData(data);
    std::vector<std::string> steps;
    for (int i = 0; i < 12; ++i)
        steps.push_back("S" + std::to_string(i));
    unsigned step = 0;
    for (auto _ : state) {
        step = (step + 1) % 12;
        wheel.setAttribute("step", steps[step]);
        sheets.resolveStyleData(data);
        benchmark::DoNotOptimize(data.getAnimationIndex());
    }
}
BENCHMARK(BM_WheelStepAndResolve);

}  // namespace
BENCHMARK_MAIN();
