// The wizard's about panel: a hidden overlay button over the whole wizard, holding a centred
// panel of disabled labels. Disabled widgets are invisible to hit testing, so a click
// anywhere on it reaches the overlay, which hides it.

#include <boost/format.hpp>

#include "hwl/core/src/widgets/Button.h"
#include "hwl/core/src/widgets/Label.h"
#include "updater/app/UpdateWizardMainWidget.h"

namespace HA {

namespace {

std::shared_ptr<HWL::Label> makeDisabledLabel(std::string text)
{
    auto label = std::make_shared<HWL::Label>();
    label->configure(std::move(text), nullptr);
    label->setEnabled(false);
    return label;
}

std::shared_ptr<HWL::Bar> makePanel(int direction)
{
    auto bar = std::make_shared<HWL::Bar>();
    bar->configure(direction, "Panel");
    return bar;
}

}  // namespace

void UpdateWizardMainWidget::buildAboutOverlay()
{
    mAboutOverlay = std::make_shared<HWL::Button>();
    mAboutOverlay->configure("", nullptr);
    mAboutOverlay->setPositionFixed(true);
    mAboutOverlay->setVisible(false);
    mAboutOverlay->click.connect([this](const HWL::Button::tSignalData*) { hideAbout(); });

    mAboutPanel = makePanel(kLineTopToBottom);
    mAboutPanel->setEnabled(false);

    mAboutTitle = makeDisabledLabel(mTexts[eTitle]);
    // The sheet gives a long title a smaller font.
    if (mTexts[eTitle].size() > kLongTitleBytes)
        mAboutTitle->setAttribute("titleLength", "large");
    mAboutPanel->addChild(mAboutTitle, "FirmwareUpdaterAboutTitle");

    mAboutInfos = makePanel(kLineLeftToRight);
    mAboutInfos->setEnabled(false);
    mAboutVersion =
        makeDisabledLabel((boost::format("%1% %2%") % mTexts[eApplicationName] % mTexts[eVersion]).str());
    mAboutInfos->addChild(mAboutVersion, "FirmwareUpdaterAboutVersion");
    mAboutCopyright = makeDisabledLabel(mTexts[eNotice]);
    mAboutInfos->addChild(mAboutCopyright, "FirmwareUpdaterAboutCopyright");
    mAboutPanel->addChild(mAboutInfos, "FirmwareUpdaterAboutInfos");

    mAboutFirmwareRevision = makeDisabledLabel("");
    mAboutPanel->addChild(mAboutFirmwareRevision, "FirmwareUpdaterAboutFirmwareRevision");

    mAboutContributors = makePanel(kLineTopToBottom);
    mAboutPanel->addChild(mAboutContributors, "FirmwareUpdaterAboutContributors");
    for (int line = eContributor0; line < kTextCount; ++line)
        addContributorLine(mTexts[line]);

    mAboutOverlay->addChild(mAboutPanel, "FirmwareUpdaterOverlayPanel");
    addChild(mAboutOverlay, "FirmwareUpdaterOverlay");
}

void UpdateWizardMainWidget::addContributorLine(const std::string& text)
{
    mAboutContributors->addChild(makeDisabledLabel(text), "FirmwareUpdaterAboutContributorsLine");
}

void UpdateWizardMainWidget::showAbout()
{
    const tSize size = getSize();
    mAboutOverlay->setPosition(getPosition());
    mAboutOverlay->setSize(size.width, size.height);
    // Centres the panel's picture; the division truncates toward zero.
    tMargins margins;
    margins.left = (size.width - kAboutPanelWidth) / 2;
    margins.right = size.width - kAboutPanelWidth - margins.left;
    margins.top = (size.height - kAboutPanelHeight) / 2;
    margins.bottom = size.height - kAboutPanelHeight - margins.top;
    mAboutOverlay->setMargin(margins);
    // The panel fills that box. A line arrangement would do so only the first time: once the
    // panel has been shown it takes part, and the sheet's outer margins for it would move it
    // down and right and cut its picture.
    mAboutPanel->setPosition(GP::Point{0, 0});
    mAboutPanel->setSize(kAboutPanelWidth, kAboutPanelHeight);
    mAboutOverlay->setVisible(true);
}

void UpdateWizardMainWidget::hideAbout()
{
    mAboutOverlay->setVisible(false);
}

}  // namespace HA
