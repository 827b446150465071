#include "editor/PanelBuilder.h"

#include "editor/BitmapDisplay.h"
#include "editor/ExMovieBitmap.h"
#include "editor/NStateButton.h"
#include "editor/PanelLayout.h"
#include "toolkit/AnimKnob.h"
#include "toolkit/Bitmap.h"
#include "toolkit/Frame.h"
#include "toolkit/KickButton.h"
#include "toolkit/MovieBitmap.h"
#include "toolkit/OnOffButton.h"
#include "toolkit/Switch.h"
#include "toolkit/TextEdit.h"
#include "toolkit/TextLabel.h"

namespace vorpalix {

using namespace toolkit;

namespace {

constexpr std::array<std::string_view, 4> kScaleLedNames = {
    "Pattern Scale Fast 3/4", "Pattern Scale Slow 3/4", "Pattern Scale Fast 4/4",
    "Pattern Scale Slow 4/4"};

Rect rectOf(const ControlRect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

Color colourOf(const std::array<std::uint8_t, 4>& c) {
    return {c[0], c[1], c[2], c[3]};
}

// Text labels and fields draw their text straight onto the panel.
void styleText(TextLabel& label, const ControlDescriptor& d) {
    label.setFont(d.font);
    label.setTransparent(true);
    label.setFontColor(colourOf(d.fontColour));
}

std::unique_ptr<ViewContainer> buildPresetBrowser(const Rect& frameRect, ControlListener* listener,
                                                  PanelControls& controls) {
    auto background = Bitmap::load(kBitmapPresetBrowser);
    auto browser = std::make_unique<ViewContainer>(
        presetBrowserRect(frameRect, background->getWidth(), background->getHeight()), background);
    for (const BrowserButton& b : presetBrowserButtons())
        browser->add<KickButton>(b.rect, listener, b.tag, b.rect.getHeight(),
                                 Bitmap::load(b.bitmap));
    auto slotBitmap = Bitmap::load(kBitmapPresetSlot);
    for (int i = 0; i < kNumPresetSlots; ++i) {
        const Rect slot = presetSlotRect(i);
        controls.presetSlots[i] =
            browser->add<CNStateButton>(slot, listener, kTagFirstPresetSlot + i, slot.getHeight(),
                                        slotBitmap, Point{}, 2, CNStateButton::kOnPress, true);
        auto* name = browser->add<TextEdit>(presetNameRect(i), listener,
                                            kTagFirstPresetSlotName + i, "Preset Name");
        name->setFont(4);
        name->setFontColor(kBlackColor);
        name->setTransparent(true);
        controls.presetNames[i] = name;
    }
    for (int k = 0; k < kNumInstruments; ++k) {
        const Rect tab = instrumentTabRect(k);
        controls.instrumentTabs[k] = browser->add<CNStateButton>(
            tab, listener, kTagFirstPresetInstrument + k, tab.getHeight(),
            Bitmap::load(kBitmapFirstInstrumentTab + k), Point{}, 2, CNStateButton::kOnPress, true);
    }
    return browser;
}

std::unique_ptr<ViewContainer> buildAboutBox(const Rect& frameRect, ControlListener* listener,
                                             int vendorVersion, PanelControls& controls) {
    auto background = Bitmap::load(kBitmapAboutBox);
    auto box = std::make_unique<ViewContainer>(
        aboutBoxRect(frameRect, background->getWidth(), background->getHeight()), background);
    box->add<KickButton>(kAboutCloseRect, listener, kTagAboutClose, kAboutCloseRect.getHeight(),
                         Bitmap::load(kBitmapAboutClose));
    auto* version = box->add<TextLabel>(kAboutVersionRect, versionText(vendorVersion));
    version->setFont(6);
    version->setFontColor(kWhiteColor);
    version->setTransparent(true);
    version->setMouseEnabled(false);
    controls.versionLabel = version;
    return box;
}

} // namespace

int panelKeyOf(std::string_view name, int tag) {
    if (tag >= 0 && tag < kNumNamedControls)
        return tag;
    for (int s = 0; s < 4; ++s) {
        if (name == kScaleLedNames[s])
            return kKeyFirstScaleLed + s;
    }
    if (name == "Pattern Name Display")
        return kKeyPatternNameDisplay;
    if (name == "Midi Learn Desc")
        return kKeyLearnLabel;
    if (name == "Left Screw")
        return kKeyLeftScrew;
    if (name == "Right Screw")
        return kKeyRightScrew;
    return -1;
}

std::unique_ptr<View> createPanelControl(const ControlDescriptor& d, ControlListener* listener,
                                         const std::function<float(int)>& valueOf) {
    const Rect rect = rectOf(d.rect);
    const int frameHeight = rect.getHeight();
    if (d.tag < 0)
        listener = nullptr;
    std::unique_ptr<Control> control;
    switch (d.kind) {
    case ControlKind::OnOffButton:
        control = std::make_unique<OnOffButton>(rect, listener, d.tag, Bitmap::load(d.bitmapId));
        break;
    case ControlKind::KickButton:
        control = std::make_unique<KickButton>(rect, listener, d.tag, frameHeight,
                                               Bitmap::load(d.bitmapId));
        break;
    case ControlKind::NStateButton:
        control = std::make_unique<CNStateButton>(rect, listener, d.tag, frameHeight,
                                                  Bitmap::load(d.bitmapId), Point{}, d.states,
                                                  d.mode, d.realButton);
        break;
    case ControlKind::AnimKnob:
        control = std::make_unique<AnimKnob>(rect, listener, d.tag, d.frames, frameHeight,
                                             Bitmap::load(d.bitmapId));
        break;
    case ControlKind::VerticalSwitch:
        control = std::make_unique<VerticalSwitch>(rect, listener, d.tag, d.frames, frameHeight,
                                                   d.frames, Bitmap::load(d.bitmapId));
        break;
    case ControlKind::HorizontalSwitch:
        control = std::make_unique<HorizontalSwitch>(rect, listener, d.tag, d.frames, frameHeight,
                                                     d.frames, Bitmap::load(d.bitmapId));
        break;
    case ControlKind::MovieBitmap:
        control = std::make_unique<MovieBitmap>(rect, listener, d.tag, d.frames, frameHeight,
                                                Bitmap::load(d.bitmapId));
        break;
    case ControlKind::ExMovieBitmap:
        control = std::make_unique<CExMovieBitmap>(rect, listener, d.tag, d.frames, frameHeight,
                                                   Bitmap::load(d.bitmapId));
        break;
    case ControlKind::BitmapDisplay:
        // The description's bitmap is the font; the display itself has no background.
        return std::make_unique<CBitmapDisplay>(rect, nullptr, Bitmap::load(d.bitmapId), d.fonts,
                                                d.chars, listener, d.tag);
    case ControlKind::TextLabel: {
        auto label = std::make_unique<TextLabel>(rect, d.text);
        styleText(*label, d);
        label->setMouseEnabled(false);
        return label;
    }
    case ControlKind::TextEdit: {
        auto edit = std::make_unique<TextEdit>(rect, listener, d.tag, d.text);
        styleText(*edit, d);
        return edit;
    }
    }
    if (!control)
        return nullptr;
    // Bound controls start at the plug-in's value; panel commands and unbound controls at 0.
    control->setValue(valueOf ? valueOf(d.tag) : 0.0f);
    return control;
}

PanelControls buildPanel(Frame& frame, const PanelBuildInputs& in) {
    PanelControls controls;
    // Knobs follow vertical mouse movement.
    Frame::setKnobMode(kLinearMode);
    for (const std::string& name : panelCreationOrder()) {
        const ControlDescriptor* d = in.description.find(name);
        if (d == nullptr)
            continue;
        auto view = createPanelControl(*d, in.listener, in.parameterValue);
        if (!view)
            continue;
        const int key = panelKeyOf(name, d->tag);
        if (key >= 0)
            controls.byKey[static_cast<std::size_t>(key)] = view.get();
        frame.addView(std::move(view));
        ++controls.createdCount;
    }
    controls.presetBrowser = buildPresetBrowser(frame.getRect(), in.listener, controls);
    controls.aboutBox = buildAboutBox(frame.getRect(), in.listener, in.vendorVersion, controls);
    for (const DigitRange& range : tempoDigitRanges()) {
        if (Control* digit = controls.control(range.tag)) {
            digit->setMin(range.min);
            digit->setMax(range.max);
        }
    }
    for (int key : {kKeyLeftScrew, kKeyRightScrew}) {
        if (Control* screw = controls.control(key))
            screw->setValue(1.0f);
    }
    return controls;
}

} // namespace vorpalix
