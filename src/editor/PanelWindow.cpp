#include "editor/PanelWindow.h"

#include <algorithm>
#include <cmath>

#include "editor/BitmapDisplay.h"
#include "editor/ExMovieBitmap.h"
#include "editor/NStateButton.h"
#include "editor/PanelDisplays.h"
#include "editor/PanelEditor.h"
#include "plugin/PanelController.h"
#include "presets/PresetBank.h"
#include "sequencer/PatternEditing.h"
#include "sequencer/PatternRescale.h"
#include "toolkit/Frame.h"
#include "toolkit/TextEdit.h"
#include "toolkit/TextLabel.h"

namespace vorpalix {

using namespace toolkit;

namespace {

// Blinks (on ms, off ms) of the modes.
constexpr std::uint32_t kRandomizerOn = 250, kRandomizerOff = 125;
constexpr std::uint32_t kRescaleOn = 250, kRescaleOff = 100;
constexpr std::uint32_t kRefusedFlash = 100, kRefusedFlashFor = 1250;

// Time windows of the idle (ms).
constexpr std::uint32_t kTempoShownFor = 1000;
constexpr std::uint32_t kTempoWindow = 3000;
constexpr std::uint32_t kLearnTimeout = 5000;

constexpr std::size_t kLearnLabelLength = 63;

// The mode buttons that work only in write mode.
constexpr std::array<int, 6> kWriteModeButtons = {kTagPattRandomizer, kTagLastStepMode,
                                                  kTagTapMode,        kTagFlamMode,
                                                  kTagCopyPattern,    kTagRescalePattern};
constexpr std::array<int, 3> kSequencerButtons = {kTagPattAutoFollow, kTagWriteMode,
                                                  kTagPattTriggerAttr};
constexpr std::array<int, 5> kWriteSequencerButtons = {kTagCopyPattern, kTagTapMode, kTagFlamMode,
                                                       kTagLastStepMode, kTagRescalePattern};
constexpr std::array<int, 4> kDigits = {kTagDigit100, kTagDigit10, kTagDigit1, kTagDigit01};
constexpr std::array<int, 3> kAttributeKnobs = {kParamFlam, kParamShuffle, kParamTotalAccent};
constexpr std::array<int, 3> kAttributeTags = {kTagPattAttrFlam, kTagPattAttrShuffle,
                                               kTagPattAttrTotalAccent};

// A button whose every click leads back to state 0: it cannot be switched on.
constexpr std::array<int, 2> kBackToZero = {0, 0};

bool isOn(float value) {
    return value > 0.5f;
}

// The instrument whose Level parameter this is, or -1.
int instrumentOfLevel(int index) {
    for (int i = 0; i < kNumInstruments; ++i) {
        if (kLevelParameter[i] == index)
            return i;
    }
    return -1;
}

} // namespace

PanelWindow::PanelWindow(PanelEditor& editor, Frame& frame)
    : editor_(editor), controller_(editor.controller()), editing_(*editor.editing()),
      frame_(frame) {
    PanelBuildInputs inputs{editor.guiDescription(), this,
                            [this](int index) { return controller_.parameterValue(index); },
                            editor.vendorVersion()};
    controls_ = buildPanel(frame_, inputs);
    fullRefresh();
}

PanelWindow::~PanelWindow() {
    // The overlays are not in the frame; it must not keep one as its modal view.
    View* modal = frame_.getModalView();
    if (modal == controls_.presetBrowser.get() || modal == controls_.aboutBox.get())
        frame_.setModalView(nullptr);
}

// --- Helpers ---------------------------------------------------------------------------------

bool PanelWindow::sequencerOn() const {
    return controller_.sequencerSettings().controls.state;
}

int PanelWindow::sequencerMode() const {
    return controller_.sequencerSettings().controls.mode;
}

int PanelWindow::currentPattern() const {
    const int pattern = controller_.playback().currentPattern();
    return isValidPattern(pattern) ? pattern : -1;
}

bool PanelWindow::nothingToShow() const {
    return sequencerMode() != kModeChain && currentPattern() < 0 && !editing_.state().writeMode;
}

double PanelWindow::internalTempo() const {
    const double v = controller_.parameterValue(kParamTempo);
    return std::round((v * 273.0 + 30.0) * 10.0) * 0.1;
}

void PanelWindow::setValue(int key, float value) {
    if (Control* control = controls_.control(key))
        control->setValue(value);
}

float PanelWindow::valueOf(int key) const {
    const Control* control = controls_.control(key);
    return control != nullptr ? control->getValue() : 0.0f;
}

CNStateButton* PanelWindow::button(int key) const {
    return controls_.get<CNStateButton>(key);
}

std::uint32_t PanelWindow::now() const {
    return frame_.getTicks();
}

// --- Control handling ------------------------------------------------------------------------

void PanelWindow::valueChanged(Control& control) {
    const int tag = control.getTag();
    const float value = control.getValue();
    const std::uint32_t buttons = frame_.getMouseButtons();
    const Click click{(buttons & kLButton) != 0, (buttons & kControl) != 0};

    const bool hostParameter = tag >= 0 && tag < kNumHostParameters;
    if (hostParameter)
        controller_.setParameterFromPanel(tag, value);
    if (hostParameter && controller_.learnMode()) {
        lastLearnTouch_ = now();
        controller_.setParameterBeingLearnt(tag);
        refreshLearnLabel();
    }
    handleAlways(control, tag, value, click);
    if (sequencerOn())
        handleWhileSequencerOn(control, tag, value, click);
}

void PanelWindow::beginEdit(Control& control) {
    const int tag = control.getTag();
    if (tag >= 0 && tag < kNumHostParameters)
        controller_.beginEdit(tag);
}

void PanelWindow::endEdit(Control& control) {
    const int tag = control.getTag();
    if (tag >= 0 && tag < kNumHostParameters)
        controller_.endEdit(tag);
}

void PanelWindow::handleAlways(Control& control, int tag, float value, Click click) {
    if (tag >= kParamFirstMute && tag < kParamFirstMute + kNumInstruments && click.control) {
        soloOrMuteGroupClicked(kParamFirstMute, tag, value);
        return;
    }
    if (tag >= kParamFirstSolo && tag < kParamFirstSolo + kNumInstruments && click.control) {
        soloOrMuteGroupClicked(kParamFirstSolo, tag, value);
        return;
    }
    if (tag >= kTagFirstStep && tag < kTagFirstStep + kNumSteps) {
        stepClicked(tag - kTagFirstStep, value, click);
        return;
    }
    if (tag >= kTagFirstOutNum && tag < kTagFirstOutNum + kNumInstruments) {
        const int slot = std::clamp(static_cast<int>(value * 10.0f), 0, 10);
        controller_.setOutputNumber(tag - kTagFirstOutNum, slot);
        return;
    }
    if (tag >= kTagFirstPresetInstrument && tag < kTagFirstPresetInstrument + kNumInstruments) {
        selectPresetInstrument(tag - kTagFirstPresetInstrument);
        return;
    }
    if (tag >= kTagFirstPresetSlot && tag < kTagFirstPresetSlot + kNumPresetSlots) {
        PresetBank& presets = controller_.presets();
        presets.selectPreset(presets.shownInstrument(), tag - kTagFirstPresetSlot);
        refreshPresetDisplay();
        return;
    }
    if (tag >= kTagFirstPresetSlotName && tag < kTagFirstPresetSlotName + kNumPresetSlots) {
        if (auto* field = dynamic_cast<TextEdit*>(&control)) {
            PresetBank& presets = controller_.presets();
            presets.preset(presets.shownInstrument(), tag - kTagFirstPresetSlotName)
                .setName(field->getText());
        }
        refreshPresetDisplay();
        return;
    }
    switch (tag) {
    case kParamTempo:
        if (controller_.sequencerSettings().controls.sync != kSyncExternal) {
            lastTempoChange_ = now();
            tempoChanged_ = true;
            refreshDigits();
            for (int digit : kDigits) {
                if (Control* c = controls_.control(digit))
                    c->setMouseEnabled(true);
            }
        }
        break;
    case kTagPattAttrFlam:
        editing_.setPatternAttribute(PatternAttribute::Flam, value);
        break;
    case kTagPattAttrShuffle:
        editing_.setPatternAttribute(PatternAttribute::Shuffle, value);
        break;
    case kTagPattAttrTotalAccent:
        editing_.setPatternAttribute(PatternAttribute::TotalAccent, value);
        break;
    case kTagIntSeqState:
        controller_.setSequencerState(isOn(value));
        enableSequencerButtons();
        retagAttributeKnobs();
        refreshModeButtons();
        break;
    case kTagIntSeqSync:
        controller_.setSequencerSync(isOn(value) ? kSyncExternal : kSyncInternal);
        break;
    case kTagIntSeqMode:
        controller_.setSequencerMode(value <= 0.33f   ? kModeChain
                                     : value <= 0.66f ? kModeNormal
                                                      : kModeFree);
        refreshAfterSequencerModeChange();
        break;
    case kTagInstrumentSelector:
        selectRow(static_cast<int>(value * 11.0f));
        break;
    case kTagDigit01:
    case kTagDigit1:
    case kTagDigit10:
    case kTagDigit100:
        tempoDigitsChanged();
        break;
    case kTagAbout:
        if (click.released())
            showModal(controls_.aboutBox.get());
        break;
    case kTagMidiLearn:
        controller_.setLearnMode(isOn(value));
        if (!isOn(value))
            controller_.setParameterBeingLearnt(-1);
        if (auto* label = controls_.get<TextLabel>(kKeyLearnLabel))
            label->setText({});
        break;
    case kTagPresetName:
        if (auto* field = dynamic_cast<TextEdit*>(&control))
            controller_.presets().renamePreset(field->getText());
        refreshPresetDisplay();
        break;
    case kTagPresetSelect:
        if (click.released())
            showModal(controls_.presetBrowser.get());
        break;
    case kTagPresetUp:
    case kTagPresetDown:
        if (click.released()) {
            PresetBank& presets = controller_.presets();
            const int step = tag == kTagPresetUp ? -1 : 1;
            const bool browserShown = frame_.getModalView() == controls_.presetBrowser.get();
            if (click.control && browserShown)
                presets.movePreset(presets.shownInstrument(), step);
            else
                presets.stepPreset(presets.shownInstrument(), step);
            refreshPresetDisplay();
        }
        break;
    case kTagPresetLoad:
    case kTagPresetSave:
    case kTagPresetLoadSet:
    case kTagPresetSaveSet:
    case kTagPresetLoadBank:
    case kTagPresetSaveBank:
        if (click.released())
            fileCommand(static_cast<FileCommand>(static_cast<int>(FileCommand::LoadPreset) +
                                                 (tag - kTagPresetLoad)));
        break;
    case kTagAboutClose:
    case kTagBrowserClose:
        if (click.released())
            showModal(nullptr);
        break;
    default:
        break;
    }
}

void PanelWindow::handleWhileSequencerOn(Control& control, int tag, float value, Click click) {
    const EditState& state = editing_.state();
    const EditModifier modifier{click.held, click.control};
    if (tag >= kTagFirstSelect && tag < kTagFirstSelect + kNumInstruments) {
        const int row = tag - kTagFirstSelect;
        if (state.randomizerMode) {
            editing_.selectRow(row, isOn(value), modifier);
            refreshSelectLeds();
        } else {
            selectRow(row);
            setValue(kTagInstrumentSelector, static_cast<float>(row + 1) / 12.0f);
        }
        return;
    }
    if (tag >= kTagFirstLevelKnobMode && tag < kTagFirstLevelKnobMode + kNumInstruments) {
        if (state.randomizerMode)
            showLevelKnob(tag - kTagFirstLevelKnobMode, isOn(value));
        return;
    }
    switch (tag) {
    case kTagPattTriggerAttr:
        controller_.setPatternAttributeStore(isOn(value));
        retagAttributeKnobs();
        refreshAttributeKnobs();
        break;
    case kTagPattRandomizer:
        applyRandomizerMode(isOn(value));
        break;
    case kTagPattRandUndo:
        if (click.released() && state.randomizerMode && editing_.undoRandomizer(modifier))
            refreshStepLeds();
        break;
    case kTagPlay:
    case kTagStopCont:
        if (click.held)
            controller_.requestTransport(tag == kTagPlay ? kTransportPlay : kTransportStopCont);
        break;
    case kTagPattAutoFollow:
        editing_.setAutoFollow(isOn(value));
        refreshAfterPatternChange();
        break;
    case kTagClearPattern:
        if (click.released() && editing_.clearPattern(modifier))
            refreshStepLeds();
        break;
    case kTagCopyPattern:
        if (state.writeMode)
            editing_.copyPattern();
        refreshModeButtons();
        break;
    case kTagFlamMode:
        editing_.setFlamMode(isOn(value));
        refreshModeButtons();
        break;
    case kTagLastStepMode:
        editing_.setLastStepMode(isOn(value));
        refreshModeButtons();
        break;
    case kTagTapMode:
        editing_.setTapMode(isOn(value));
        refreshModeButtons();
        break;
    case kTagNextPattern:
    case kTagPrevPattern:
        if (click.released() && state.writeMode) {
            if (tag == kTagNextPattern)
                editing_.nextPattern(modifier);
            else
                editing_.prevPattern(modifier);
            refreshAfterPatternChange();
        }
        break;
    case kTagPastePattern:
        if (click.released() && state.writeMode) {
            editing_.pastePattern(modifier);
            if (!click.control)
                setValue(kTagCopyPattern, 0.0f);
            refreshAfterPatternChange();
        }
        break;
    case kTagRescalePattern:
        if (state.writeMode)
            applyRescaleMode(isOn(value), true);
        break;
    case kTagScalePattern:
        if (click.released() && state.writeMode) {
            editing_.cycleScale(modifier);
            refreshScaleLeds();
        }
        break;
    case kTagShiftPatternLeft:
    case kTagShiftPatternRight:
        if (click.released() &&
            editing_.rotatePattern(tag == kTagShiftPatternLeft ? ShiftDirection::Left
                                                               : ShiftDirection::Right,
                                   modifier))
            refreshStepLeds();
        break;
    case kTagWriteMode:
        applyWriteMode(isOn(value));
        break;
    case kTagPatternName:
        if (auto* field = dynamic_cast<TextEdit*>(&control)) {
            const std::string name = field->getText().substr(0, kPatternNameLength);
            editing_.setPatternName(name);
            if (auto* display = controls_.get<CBitmapDisplay>(kKeyPatternNameDisplay))
                display->setText(name);
        }
        break;
    case kTagPatternLoad:
    case kTagPatternSave:
    case kTagPatternLoadBank:
    case kTagPatternSaveBank:
        if (click.released())
            fileCommand(static_cast<FileCommand>(tag - kTagPatternLoad));
        break;
    default:
        break;
    }
}

void PanelWindow::soloOrMuteGroupClicked(int first, int tag, float value) {
    // A Ctrl-click switches the rest of the group the other way.
    const float others = isOn(value) ? 0.0f : 1.0f;
    for (int index = first; index < first + kNumInstruments; ++index) {
        if (index == tag)
            continue;
        controller_.setParameterFromPanel(index, others);
        setValue(index, others);
    }
}

void PanelWindow::stepClicked(int step, float value, Click click) {
    if (!sequencerOn()) {
        // The step buttons are drum pads: BD..HT two pads each (loud, soft), then RS..RD.
        int instrument = 0;
        float velocity = 0.63f;
        if (step < 10) {
            instrument = step / 2;
            velocity = step % 2 == 0 ? 0.63f : 0.378f;
        } else {
            instrument = step - 5;
            velocity = instrument == kCH ? 0.378f : 0.63f;
        }
        controller_.requestAudition(instrument, velocity);
    } else {
        editing_.pressStepKey(step, value, EditModifier{click.held, click.control});
    }
    refreshStepTables();
    refreshStepLeds();
}

void PanelWindow::tempoDigitsChanged() {
    if (!tempoShown_)
        return;
    std::array<float, 4> digits{};
    for (std::size_t i = 0; i < kDigits.size(); ++i) {
        const Control* digit = controls_.control(kDigits[i]);
        if (digit == nullptr)
            return;
        digits[i] = digit->getValue();
    }
    const double tempo = tempoOfDigitValues(digits);
    const float value = static_cast<float>((tempo - 30.0) / 273.0);
    controller_.setParameterFromPanel(kParamTempo, value);
    setValue(kParamTempo, value);
    lastTempoChange_ = now();
    tempoChanged_ = true;
    refreshDigits();
}

void PanelWindow::fileCommand(FileCommand command) {
    const std::string path = editor_.fileDialogs().run(fileDialogRequest(command));
    if (path.empty())
        return; // cancelled: nothing is read or written
    PresetBank& presets = controller_.presets();
    const int edited = editing_.state().editedPattern;
    switch (command) {
    case FileCommand::LoadPattern:
        controller_.loadPatternFile(edited, path);
        refreshAfterPatternChange();
        break;
    case FileCommand::SavePattern:
        if (isValidPattern(edited))
            controller_.savePatternFile(edited, path);
        break;
    case FileCommand::LoadPatternBank:
        controller_.loadBankFile(path);
        refreshAfterPatternChange();
        break;
    case FileCommand::SavePatternBank:
        controller_.saveBankFile(path);
        break;
    case FileCommand::LoadPreset:
        presets.loadPresetFile(path);
        refreshPresetDisplay();
        break;
    case FileCommand::SavePreset:
        presets.savePresetFile(path);
        break;
    case FileCommand::LoadPresetSet:
        presets.loadPresetSetFile(path);
        refreshPresetDisplay();
        break;
    case FileCommand::SavePresetSet:
        presets.savePresetSetFile(path);
        break;
    case FileCommand::LoadPresetBank:
        presets.loadPresetBankFile(path);
        refreshPresetDisplay();
        break;
    case FileCommand::SavePresetBank:
        presets.savePresetBankFile(path);
        break;
    }
}

// --- Modes -----------------------------------------------------------------------------------

void PanelWindow::applyWriteMode(bool on) {
    const bool wasRandomizing = editing_.state().randomizerMode;
    editing_.setWriteMode(on);
    for (int i = 0; i < kNumInstruments; ++i) {
        if (Control* select = controls_.control(kTagFirstSelect + i))
            select->setMouseEnabled(on);
    }
    for (int tag : kWriteModeButtons) {
        if (CNStateButton* b = button(tag)) {
            if (on && sequencerOn())
                b->resetNextStateTable();
            else
                b->setNextStateTable(kBackToZero);
        }
    }
    if (!on) {
        if (wasRandomizing)
            showRandomizerMode(false);
        stopRescaleBlink();
    }
    refreshModeButtons();
}

void PanelWindow::applyRandomizerMode(bool on) {
    editing_.setRandomizerMode(on);
    showRandomizerMode(editing_.state().randomizerMode);
    refreshModeButtons();
}

void PanelWindow::showRandomizerMode(bool on) {
    auto blink = [on](CNStateButton* b) {
        if (b == nullptr)
            return;
        if (on)
            b->startBlink(kRandomizerOn, kRandomizerOff, CNStateButton::kBlinkForever, 0);
        else
            b->stopBlink();
    };
    blink(button(kTagPattRandomizer));
    for (int i = 0; i < kNumInstruments; ++i) {
        if (CNStateButton* mode = button(kTagFirstLevelKnobMode + i)) {
            if (on)
                mode->resetNextStateTable();
            else
                mode->setNextStateTable(kBackToZero);
            mode->setValue(on ? 1.0f : 0.0f);
            blink(mode);
        }
        showLevelKnob(i, on);
        blink(button(kTagFirstSelect + i));
    }
}

void PanelWindow::applyRescaleMode(bool on, bool apply) {
    if (on) {
        editing_.setRescaleMode(true);
        const EditState& state = editing_.state();
        if (state.rescaleChoosing) {
            if (CNStateButton* b = button(kTagRescalePattern))
                b->startBlink(kRescaleOn, kRescaleOff, CNStateButton::kBlinkForever, 0);
            if (auto* led = controls_.get<CExMovieBitmap>(kKeyFirstScaleLed + state.rescaleStart))
                led->startBlink(kRescaleOn, kRescaleOff, CExMovieBitmap::kBlinkForever, 0.0f);
        } else if (state.rescaleMode) {
            // The length does not suit the time base: Last Step Mode flashes a refusal.
            if (CNStateButton* b = button(kTagLastStepMode))
                b->startBlink(kRefusedFlash, kRefusedFlash, kRefusedFlashFor, 1);
        }
    } else {
        if (apply)
            editing_.setRescaleMode(false);
        stopRescaleBlink();
    }
    refreshModeButtons();
}

void PanelWindow::stopRescaleBlink() {
    if (CNStateButton* b = button(kTagRescalePattern))
        b->stopBlink();
    for (int s = 0; s < 4; ++s) {
        if (auto* led = controls_.get<CExMovieBitmap>(kKeyFirstScaleLed + s))
            led->stopBlink();
    }
}

void PanelWindow::enableSequencerButtons() {
    const bool on = sequencerOn();
    const bool write = editing_.state().writeMode;
    for (int tag : kSequencerButtons) {
        if (CNStateButton* b = button(tag)) {
            if (on)
                b->resetNextStateTable();
            else
                b->setNextStateTable(kBackToZero);
        }
    }
    for (int tag : kWriteSequencerButtons) {
        if (CNStateButton* b = button(tag)) {
            if (on && write)
                b->resetNextStateTable();
            else
                b->setNextStateTable(kBackToZero);
        }
    }
}

void PanelWindow::retagAttributeKnobs() {
    patternAttributesShown_ = sequencerOn() && controller_.sequencerSettings().attributeStore;
    for (std::size_t i = 0; i < kAttributeKnobs.size(); ++i) {
        if (Control* knob = controls_.control(kAttributeKnobs[i]))
            knob->setTag(patternAttributesShown_ ? kAttributeTags[i] : kAttributeKnobs[i]);
    }
    refreshAttributeKnobs();
}

void PanelWindow::showLevelKnob(int instrument, bool threshold) {
    Control* knob = controls_.control(kLevelParameter[instrument]);
    if (knob == nullptr)
        return;
    const int tag = threshold ? kParamFirstThreshold + instrument : kLevelParameter[instrument];
    knob->setTag(tag);
    knob->setValue(controller_.parameterValue(tag));
}

void PanelWindow::selectRow(int row) {
    if (!editing_.setEditedRow(row))
        return;
    refreshSelectLeds();
    refreshStepTables();
    refreshStepLeds();
}

void PanelWindow::selectPresetInstrument(int instrument) {
    controller_.presets().setShownInstrument(instrument);
    refreshPresetDisplay();
}

void PanelWindow::showModal(View* view) {
    frame_.setModalView(view);
    if (view == nullptr)
        frame_.invalidateAll();
}

// --- Displays --------------------------------------------------------------------------------

void PanelWindow::refreshModeButtons() {
    const bool on = sequencerOn();
    const EditState& state = editing_.state();
    const SequencerSettings& settings = controller_.sequencerSettings();
    auto flag = [](bool b) { return b ? 1.0f : 0.0f; };
    setValue(kTagIntSeqState, flag(on));
    setValue(kTagIntSeqSync, flag(settings.controls.sync == kSyncExternal));
    setValue(kTagIntSeqMode, static_cast<float>(settings.controls.mode) * 0.5f);
    setValue(kTagCopyPattern, flag(on && state.writeMode && editing_.clipboardValid()));
    setValue(kTagPattAutoFollow, flag(on && state.autoFollow));
    setValue(kTagWriteMode, flag(on && state.writeMode));
    setValue(kTagPattRandomizer, flag(on && state.randomizerMode));
    setValue(kTagTapMode, flag(on && state.tapMode));
    setValue(kTagFlamMode, flag(on && state.flamMode));
    setValue(kTagLastStepMode, flag(on && state.lastStepMode));
    setValue(kTagRescalePattern, flag(on && state.rescaleMode));
    setValue(kTagPattTriggerAttr, flag(on && settings.attributeStore));
    refreshSelectLeds();
    refreshStepTables();
    refreshStepLeds();
    refreshDigits();
    refreshScaleLeds();
    refreshPatternName();
    refreshAttributeKnobs();
}

void PanelWindow::refreshSelectLeds() {
    const EditState& state = editing_.state();
    for (int i = 0; i < kNumInstruments; ++i) {
        float value = 0.0f;
        if (sequencerOn() && state.writeMode) {
            if (state.randomizerMode)
                value = editing_.randomizer().rowEnabled(i) ? 1.0f : 0.0f;
            else
                value = state.editedRow == kTotalAccentRow || state.editedRow == i ? 1.0f : 0.0f;
        }
        setValue(kTagFirstSelect + i, value);
    }
}

void PanelWindow::refreshStepTables() {
    const EditState& state = editing_.state();
    StepTableInputs in;
    in.sequencerOn = sequencerOn();
    in.sequencerMode = sequencerMode();
    in.writeMode = state.writeMode;
    in.randomizerMode = state.randomizerMode;
    in.lastStepMode = state.lastStepMode;
    in.tapMode = state.tapMode;
    in.selectedRow = state.editedRow;
    in.patternLength = controller_.patterns()[state.editedPattern].length();
    for (int s = 0; s < kNumSteps; ++s) {
        CNStateButton* step = button(kTagFirstStep + s);
        if (step == nullptr)
            continue;
        if (in.sequencerOn)
            step->setCycling(in.sequencerMode == kModeChain || in.writeMode);
        if (const auto table = stepNextStateTable(in, s))
            step->setNextStateTable(*table);
    }
}

void PanelWindow::refreshStepLeds() {
    std::array<float, kNumSteps> values{};
    std::array<int, kNumSteps> forced;
    forced.fill(-1);
    const bool on = sequencerOn();
    const EditState& state = editing_.state();
    const PlaybackView playback = controller_.playback();
    const PatternBank& patterns = controller_.patterns();
    auto groupValue = [](int g, int i) { return g == i ? 0.2f : g == i + 4 ? 0.4f : 0.0f; };

    if (on && state.writeMode) {
        const Pattern& pattern = patterns[state.editedPattern];
        const int length = pattern.length();
        for (int s = 0; s < kNumSteps; ++s) {
            if (state.lastStepMode) {
                values[s] = s < length ? 1.0f : 0.0f;
            } else if (s >= length) {
                values[s] = 0.0f;
            } else if (state.randomizerMode) {
                values[s] = cellStepValue(editing_.randomizer().templateCode(state.editedRow, s),
                                          state.flamMode);
            } else if (state.tapMode) {
                values[s] = 0.6f;
            } else {
                values[s] = cellStepValue(pattern.step(state.editedRow, s).code(), state.flamMode);
            }
        }
    } else if (on) {
        const int current = currentPattern();
        if (sequencerMode() == kModeChain) {
            const int from = std::min(playback.rangeFrom, playback.rangeTo);
            const int to = std::max(playback.rangeFrom, playback.rangeTo);
            const int chainCurrent = isValidPattern(playback.chainPattern) ? playback.chainPattern
                                                                           : playback.nextPattern;
            const int g = from / kPatternsPerGroup == to / kPatternsPerGroup
                              ? from / kPatternsPerGroup
                              : std::max(chainCurrent, 0) / kPatternsPerGroup;
            for (int s = 0; s < kPatternsPerGroup; ++s) {
                const int pattern = g * kPatternsPerGroup + s;
                values[s] = pattern >= from && pattern <= to ? 0.4f : 0.0f;
            }
            if (isValidPattern(current) && current / kPatternsPerGroup == g)
                values[current % kPatternsPerGroup] = 0.4f;
            for (int i = 0; i < 4; ++i)
                values[kPatternsPerGroup + i] = groupValue(g, i);
        } else if (playback.isPlaying() && isValidPattern(playback.notePattern)) {
            const int pattern = playback.notePattern;
            const int g = pattern / kPatternsPerGroup;
            values[pattern % kPatternsPerGroup] = 0.4f;
            for (int i = 0; i < 4; ++i)
                values[kPatternsPerGroup + i] = groupValue(g, i);
        }
        // The current pattern's step flashes in half-beats when the range leaves its group.
        const int from = playback.rangeFrom;
        const int to = playback.rangeTo;
        if (isValidPattern(current) &&
            (from / kPatternsPerGroup != to / kPatternsPerGroup ||
             from / kPatternsPerGroup == current / kPatternsPerGroup) &&
            static_cast<long long>(std::floor(2.0 * playback.songPosition)) % 2 != 0)
            forced[current % kPatternsPerGroup] = 0;
    }
    // The running step blinks inverted at eighth-beat rate.
    if (on && playback.isPlaying() &&
        (!state.writeMode || playback.playingPattern() == state.editedPattern) &&
        static_cast<long long>(std::floor(8.0 * playback.songPosition)) % 2 == 0) {
        const int s = playback.playingStep();
        if (s >= 0 && s < kNumSteps) {
            const int image = runningStepImage(values[s]);
            if (image >= 0)
                forced[s] = image;
        }
    }
    for (int s = 0; s < kNumSteps; ++s) {
        CNStateButton* step = button(kTagFirstStep + s);
        if (step == nullptr)
            continue;
        step->setValue(values[s]);
        if (step->getForcedImage() != forced[s])
            step->setForcedImage(forced[s]);
    }
}

void PanelWindow::refreshDigits() {
    tempoShown_ = tempoChanged_ && now() - lastTempoChange_ < kTempoShownFor;
    std::array<float, 4> values{};
    if (sequencerOn()) {
        if (tempoShown_) {
            values = tempoDigitValues(internalTempo());
        } else if (!nothingToShow()) {
            const EditState& state = editing_.state();
            const int pattern = state.writeMode ? state.editedPattern : currentPattern();
            if (isValidPattern(pattern))
                values = patternDigitValues(pattern);
        }
    }
    for (std::size_t i = 0; i < kDigits.size(); ++i)
        setValue(kDigits[i], values[i]);
}

void PanelWindow::refreshScaleLeds() {
    std::array<float, 4> values{};
    if (sequencerOn() && !nothingToShow()) {
        const EditState& state = editing_.state();
        const Pattern& pattern = controller_.patterns()[state.editedPattern];
        values[static_cast<std::size_t>(scaleCodeOf(pattern.stepsPerBeat()))] = 1.0f;
        if (state.rescaleMode)
            values[static_cast<std::size_t>(std::clamp(state.rescaleTarget, 0, 3))] = 1.0f;
    }
    for (int s = 0; s < 4; ++s)
        setValue(kKeyFirstScaleLed + s, values[s]);
}

void PanelWindow::refreshPatternName() {
    auto* display = controls_.get<CBitmapDisplay>(kKeyPatternNameDisplay);
    auto* field = controls_.get<TextEdit>(kTagPatternName);
    auto show = [&](std::string_view name) {
        if (display != nullptr)
            display->setText(name);
        if (field != nullptr && !field->isEditing())
            field->setText(name);
    };
    const EditState& state = editing_.state();
    if (!sequencerOn()) {
        show({});
    } else if (state.writeMode) {
        if (!state.randomizerMode) // the idle writes the randomizer's caption
            show(controller_.patterns()[state.editedPattern].name());
    } else if (sequencerMode() != kModeChain && currentPattern() < 0) {
        show({});
    } else {
        const int current = currentPattern();
        show(isValidPattern(current) ? controller_.patterns()[current].name() : std::string_view{});
    }
}

void PanelWindow::refreshAttributeKnobs() {
    if (!patternAttributesShown_) {
        for (int index : kAttributeKnobs)
            setValue(index, controller_.parameterValue(index));
        return;
    }
    const EditState& state = editing_.state();
    const int index = state.writeMode ? state.editedPattern : currentPattern();
    if (!isValidPattern(index))
        return;
    const Pattern& pattern = controller_.patterns()[index];
    setValue(kParamFlam, pattern.flam());
    setValue(kParamShuffle, pattern.shuffle());
    setValue(kParamTotalAccent, pattern.totalAccent());
}

void PanelWindow::refreshOutputNumbers() {
    if (controls_.control(kTagFirstOutNum) == nullptr)
        return;
    for (int i = 0; i < kNumInstruments; ++i) {
        const float value = static_cast<float>(controller_.outputNumber(i)) * 0.11f;
        setValue(kTagFirstOutNum + i, std::clamp(value, 0.0f, 1.0f));
    }
}

void PanelWindow::refreshPresetDisplay() {
    const PresetBank& presets = controller_.presets();
    const int shown = presets.shownInstrument();
    for (int i = 0; i < kNumInstruments; ++i) {
        const float value = i == shown ? 1.0f : 0.0f;
        setValue(kTagFirstPresetInstrument + i, value);
        if (controls_.instrumentTabs[i] != nullptr)
            controls_.instrumentTabs[i]->setValue(value);
    }
    const int selected = presets.selection(shown);
    if (auto* name = controls_.get<TextEdit>(kTagPresetName))
        name->setText(presets.storedPreset(shown, selected).name());
    for (int slot = 0; slot < kNumPresetSlots; ++slot) {
        if (controls_.presetNames[slot] != nullptr)
            controls_.presetNames[slot]->setText(presets.storedPreset(shown, slot).name());
        if (controls_.presetSlots[slot] != nullptr)
            controls_.presetSlots[slot]->setValue(slot == selected ? 1.0f : 0.0f);
    }
}

void PanelWindow::refreshLearnLabel() {
    auto* label = controls_.get<TextLabel>(kKeyLearnLabel);
    if (label == nullptr)
        return;
    const int target = controller_.parameterBeingLearnt();
    std::string text = target >= 0 ? editor_.learnDisplayText(target) : std::string{};
    if (text.size() > kLearnLabelLength)
        text.resize(kLearnLabelLength);
    label->setText(text);
}

void PanelWindow::refreshAfterPatternChange() {
    refreshStepTables();
    refreshStepLeds();
    refreshDigits();
    refreshScaleLeds();
    refreshPatternName();
    refreshAttributeKnobs();
}

void PanelWindow::refreshAfterSequencerModeChange() {
    refreshStepTables();
    refreshAfterPatternChange();
}

void PanelWindow::fullRefresh() {
    enableSequencerButtons();
    retagAttributeKnobs();
    refreshModeButtons();
    refreshStepTables();
    refreshStepTables();
    refreshStepLeds();
    refreshDigits();
    refreshScaleLeds();
    refreshPatternName();
    refreshAttributeKnobs();
    // The stored write mode, with the modes it carries, as the buttons show it; the edited
    // pattern stays what it was when the window closed.
    const EditState& state = editing_.state();
    for (int i = 0; i < kNumInstruments; ++i) {
        if (Control* select = controls_.control(kTagFirstSelect + i))
            select->setMouseEnabled(state.writeMode);
    }
    for (int tag : kWriteModeButtons) {
        if (CNStateButton* b = button(tag)) {
            if (state.writeMode && sequencerOn())
                b->resetNextStateTable();
            else
                b->setNextStateTable(kBackToZero);
        }
    }
    showRandomizerMode(state.randomizerMode);
    if (state.rescaleMode && state.rescaleChoosing)
        applyRescaleMode(true, false);
    refreshOutputNumbers();
    refreshPresetDisplay();
    refreshLearnLabel();
    setValue(kTagInstrumentSelector, static_cast<float>(state.editedRow) / 11.0f);
    // The digits take the mouse only while they show the tempo.
    for (int digit : kDigits) {
        if (Control* c = controls_.control(digit))
            c->setMouseEnabled(tempoShown_);
    }
    for (int index = 0; index < kNumHostParameters; ++index)
        parameterChanged(index, controller_.parameterValue(index));
}

void PanelWindow::parameterChanged(int index, float value) {
    if (index < 0 || index >= kNumHostParameters)
        return;
    if (const int level = instrumentOfLevel(index); level >= 0) {
        if (valueOf(kTagFirstLevelKnobMode + level) <= 0.5f)
            setValue(index, value);
        return;
    }
    if (index >= kParamFirstThreshold) {
        const int instrument = index - kParamFirstThreshold;
        if (controls_.control(kTagFirstLevelKnobMode + instrument) != nullptr &&
            valueOf(kTagFirstLevelKnobMode + instrument) > 0.5f)
            setValue(kLevelParameter[instrument], value);
        return;
    }
    if (index == kParamFlam || index == kParamShuffle || index == kParamTotalAccent) {
        if (!patternAttributesShown_)
            setValue(index, value);
        return;
    }
    setValue(index, value);
}

// --- Idle ------------------------------------------------------------------------------------

void PanelWindow::idle() {
    const std::uint32_t t = now();
    const EditState& state = editing_.state();

    if (editor_.takeRefreshAll())
        fullRefresh();
    const auto changed = controller_.takeChangedParameters();
    for (int index = 0; index < kNumHostParameters; ++index) {
        if ((changed[index / 64] >> (index % 64)) & 1u)
            parameterChanged(index, controller_.parameterValue(index));
    }
    if (editor_.takeLearnDisplayChange() >= 0)
        refreshLearnLabel();

    // The tempo window: the digits show the tempo for a while after it was changed here.
    const bool inWindow = tempoChanged_ && t - lastTempoChange_ < kTempoWindow;
    if (inWindow != tempoShown_) {
        for (int digit : kDigits) {
            if (Control* c = controls_.control(digit))
                c->setMouseEnabled(false);
        }
        frame_.setFocusView(nullptr);
        refreshDigits();
    }

    // MIDI learn forgets its target a while after the last touch.
    if (controller_.parameterBeingLearnt() >= 0 && t - lastLearnTouch_ > kLearnTimeout) {
        controller_.setParameterBeingLearnt(-1);
        refreshLearnLabel();
    }

    if (state.randomizerMode) {
        if (CNStateButton* b = button(kTagPattRandomizer))
            b->blinkTick();
        for (int i = 0; i < kNumInstruments; ++i) {
            if (CNStateButton* b = button(kTagFirstLevelKnobMode + i))
                b->blinkTick();
        }
        if (auto* display = controls_.get<CBitmapDisplay>(kKeyPatternNameDisplay))
            display->setText(randomizerCaption(t, editing_.randomizer().hasHistory()));
        for (int i = 0; i < kNumInstruments; ++i) {
            if (CNStateButton* b = button(kTagFirstSelect + i))
                b->blinkTick();
        }
    }
    if (state.rescaleMode) {
        if (auto* led = controls_.get<CExMovieBitmap>(kKeyFirstScaleLed + state.rescaleStart))
            led->blinkTick();
        if (CNStateButton* b = button(kTagRescalePattern))
            b->blinkTick();
    }
    // The refused-rescale flash runs in every mode, so that the refusal is seen.
    if (CNStateButton* b = button(kTagLastStepMode))
        b->blinkTick();

    const bool playbackMoved = controller_.takeStepChanged() | controller_.takeStopped() |
                               editor_.takePatternChange() | editor_.takeTransportStop();
    if (sequencerOn() && playbackMoved) {
        editing_.followPlayback();
        refreshStepTables();
        refreshStepLeds();
        refreshDigits();
        refreshScaleLeds();
        refreshPatternName();
        refreshAttributeKnobs();
    }
    for (int s = 0; s < kNumSteps; ++s) {
        if (CNStateButton* b = button(kTagFirstStep + s))
            b->blinkTick();
    }
    refreshStepLeds();
}

} // namespace vorpalix
