#include "plugin/PluginController.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "plugin/AudioEffect.h"
#include "plugin/PluginEditor.h"
#include "plugin/PluginProcessor.h"
#include "sequencer/PatternFiles.h"

namespace vorpalix {

namespace {

// Copies text into a fixed buffer of the host interface, cut to fit and always terminated.
void copyText(char* destination, const std::string& source, std::size_t capacity) {
    const std::size_t n = std::min(source.size(), capacity - 1);
    std::memcpy(destination, source.data(), n);
    destination[n] = 0;
}

} // namespace

PluginController::PluginController(AudioEffect& effect, ThreadChannels& channels,
                                   std::string pluginDirectory)
    : effect_(effect), channels_(channels), pluginDirectory_(std::move(pluginDirectory)),
      patterns_(std::make_unique<PatternBank>()), presets_(*this) {
    for (int i = 0; i < kNumInstruments; ++i) {
        slots_[i] = i;
    }
}

PluginController::~PluginController() {
    discardPendingCommands();
}

// --- Sending ------------------------------------------------------------------------------------

void PluginController::reclaimRetiredBanks() {
    PatternBank* bank = nullptr;
    while (channels_.retiredBanks.pop(bank)) {
        delete bank;
    }
}

bool PluginController::push(const AudioCommand& command) {
    if (channels_.commands.push(command)) {
        return true;
    }
    // No block runs while the host keeps the plug-in suspended, so the commands would wait
    // there for good: this thread stands in for the audio thread and applies them.
    if (suspended_ && processor_ != nullptr) {
        processor_->applyCommands();
        reclaimRetiredBanks();
        return channels_.commands.push(command);
    }
    return false;
}

bool PluginController::send(AudioCommand command) {
    reclaimRetiredBanks();
    // A whole state the queue refused earlier goes first: later commands build on it.
    if (wholeStatePending_ && !sendWholeState()) {
        ++refused_;
        return false;
    }
    command.sequence = sequence_ + 1;
    if (!push(command)) {
        ++refused_;
        return false;
    }
    sequence_ = command.sequence;
    return true;
}

void PluginController::discardPendingCommands() {
    AudioCommand command;
    while (channels_.commands.pop(command)) {
        if (command.type == CommandType::ReplaceBank) {
            delete command.bank;
        } else if (command.type == CommandType::ReplaceState) {
            delete command.state.bank;
        }
    }
    reclaimRetiredBanks();
}

// --- Whole states -------------------------------------------------------------------------------

void PluginController::beginWholeState() {
    stagingWholeState_ = true;
    // A whole state still waiting for room is sent together with this one.
    if (!wholeStatePending_) {
        rangeRead_ = false;
    }
}

void PluginController::commitWholeState() {
    stagingWholeState_ = false;
    wholeStatePending_ = true;
    reclaimRetiredBanks();
    if (!sendWholeState()) {
        ++refused_;
    }
}

bool PluginController::sendWholeState() {
    auto bank = std::make_unique<PatternBank>(*patterns_);
    AudioCommand command;
    command.type = CommandType::ReplaceState;
    command.state.bank = bank.get();
    command.state.settings = settings_;
    command.state.rangeGiven = rangeRead_;
    command.state.outputSlots = slots_;
    command.state.controllers = controllers_;
    command.sequence = sequence_ + 1;
    if (!push(command)) {
        return false;
    }
    bank.release(); // the command owns it now
    sequence_ = command.sequence;
    mapSequence_ = sequence_;
    if (rangeRead_) {
        rangeSequence_ = sequence_;
    }
    rangeRead_ = false;
    wholeStatePending_ = false;
    return true;
}

// --- Notifications ------------------------------------------------------------------------------

void PluginController::pollNotifications() {
    reclaimRetiredBanks();
    if (wholeStatePending_) {
        sendWholeState();
    }
    Notification n;
    while (channels_.notifications.pop(n)) {
        switch (n.type) {
        case NotificationType::ControllerLearnt:
            // The audio thread learnt on the map this copy shows, unless a map sent since
            // replaced it there as well.
            if (n.sequence >= mapSequence_) {
                controllers_.assignController(n.a, n.b);
            }
            if (n.sequence >= learnSequence_) {
                learning_ = -1;
            }
            break;
        case NotificationType::RangeChanged:
            if (n.sequence >= rangeSequence_) {
                settings_.rangeFrom = n.a;
                settings_.rangeTo = n.b;
            }
            break;
        case NotificationType::PlayingPatternChanged:
        case NotificationType::TransportStopped:
            break;
        }
        if (editor_ != nullptr) {
            editor_->notify(n);
        }
    }
    if (channels_.notificationsLost.exchange(false, std::memory_order_acquire)) {
        // Some reports were dropped: take the range from playback and redraw everything.
        const PlaybackView view = playback();
        settings_.rangeFrom = view.rangeFrom;
        settings_.rangeTo = view.rangeTo;
        if (editor_ != nullptr) {
            editor_->refreshDisplays();
        }
    }
}

// --- Parameters ---------------------------------------------------------------------------------

float PluginController::parameterValue(int index) const {
    return channels_.parameters.value(index);
}

void PluginController::setParameterFromPanel(int index, float value) {
    if (index < 0 || index >= kNumHostParameters || std::isnan(value)) {
        return;
    }
    setValue(index, value);
    effect_.callHost(vst::audioMasterAutomate, index, 0, nullptr, parameterValue(index));
}

std::optional<std::string> PluginController::selectFileWithHost(bool save, const std::string& title,
                                                                const std::string& typeName,
                                                                const std::string& extension) {
    char open[] = "openFileSelector";
    char close[] = "closeFileSelector";
    if (effect_.callHost(vst::audioMasterCanDo, 0, 0, open) != 1 ||
        effect_.callHost(vst::audioMasterCanDo, 0, 0, close) != 1) {
        return std::nullopt;
    }
    vst::VstFileType type{};
    copyText(type.name, typeName, sizeof type.name);
    copyText(type.macType, "XML", sizeof type.macType);
    copyText(type.dosType, extension, sizeof type.dosType);
    copyText(type.unixType, extension, sizeof type.unixType);
    // The path comes back in a buffer of ours; the host copies at most its size - 1 bytes.
    std::array<char, 1024> path{};
    vst::VstFileSelect select{};
    select.command = save ? vst::kVstFileSave : vst::kVstFileLoad;
    select.type = vst::kVstFileType;
    select.nbFileTypes = 1;
    select.fileTypes = &type;
    copyText(select.title, title, sizeof select.title);
    select.returnPath = path.data();
    select.sizeReturnPath = static_cast<std::int32_t>(path.size());
    const bool chosen = effect_.callHost(vst::audioMasterOpenFileSelector, 0, 0, &select) == 1;
    std::string result;
    if (chosen && select.returnPath != nullptr) {
        result.assign(select.returnPath, strnlen(select.returnPath, path.size() - 1));
    }
    // Always closed again, so that the host frees what it allocated.
    effect_.callHost(vst::audioMasterCloseFileSelector, 0, 0, &select);
    return result;
}

void PluginController::beginEdit(int index) {
    if (index >= 0 && index < kNumHostParameters) {
        effect_.callHost(vst::audioMasterBeginEdit, index);
    }
}

void PluginController::endEdit(int index) {
    if (index >= 0 && index < kNumHostParameters) {
        effect_.callHost(vst::audioMasterEndEdit, index);
    }
}

std::array<std::uint64_t, 2> PluginController::takeChangedParameters() {
    return channels_.parameters.takePanelChanges();
}

float PluginController::value(int index) const {
    return channels_.parameters.value(index);
}

void PluginController::setValue(int index, float value) {
    if (stagingWholeState_) {
        channels_.parameters.setForWholeState(index, value);
    } else {
        channels_.parameters.set(index, value);
    }
}

float PluginController::knobValue(int index) const {
    return value(index);
}

std::uint64_t PluginController::takeKnobChanges() {
    return channels_.parameters.takeKnobChanges();
}

void PluginController::setKnobValue(int index, float value) {
    setValue(index, value);
}

float PluginController::defaultValue(int index) const {
    return index >= 0 && index < kNumHostParameters ? table_.info(index).defaultValue : 0.0f;
}

void PluginController::sendKnobValues() {
    for (int i = 0; i < kNumKnobs; ++i) {
        channels_.parameters.set(i, channels_.parameters.value(i));
    }
}

PresetBank& PluginController::presets() {
    presets_.captureLiveValues();
    return presets_;
}

// --- Sequencer ----------------------------------------------------------------------------------

// Sends the requested sequencer controls and keeps them once the audio thread will see them.
bool PluginController::sendControls(const SequencerControls& controls) {
    AudioCommand command;
    command.type = CommandType::Controls;
    command.controls = controls;
    if (!send(command)) {
        return false;
    }
    settings_.controls = controls;
    return true;
}

bool PluginController::setSequencerState(bool on) {
    SequencerControls controls = settings_.controls;
    controls.state = on;
    return sendControls(controls);
}

bool PluginController::setSequencerSync(int sync) {
    SequencerControls controls = settings_.controls;
    controls.sync = sync == kSyncInternal ? kSyncInternal : kSyncExternal;
    return sendControls(controls);
}

bool PluginController::setSequencerMode(int mode) {
    SequencerControls controls = settings_.controls;
    controls.mode = mode >= kModeChain && mode <= kModeFree ? mode : kModeChain;
    return sendControls(controls);
}

bool PluginController::setPatternAttributeStore(bool on) {
    AudioCommand command;
    command.type = CommandType::AttributeStore;
    command.attributeStore = on;
    if (!send(command)) {
        return false;
    }
    settings_.attributeStore = on;
    return true;
}

bool PluginController::requestTransport(int transport) {
    if (transport != kTransportPlay && transport != kTransportStopCont) {
        return false;
    }
    AudioCommand command;
    command.type = CommandType::Transport;
    command.transport = transport;
    return send(command);
}

bool PluginController::requestAudition(int instrument, float velocity) {
    if (!isValidInstrument(instrument) || std::isnan(velocity)) {
        return false;
    }
    AudioCommand command;
    command.type = CommandType::Audition;
    command.audition = {instrument, velocity};
    return send(command);
}

bool PluginController::pressPatternKey(int pattern, bool on, int velocity) {
    if (!isValidPattern(pattern)) {
        return false;
    }
    AudioCommand command;
    command.type = CommandType::PatternKey;
    command.key = {pattern, on, velocity};
    return send(command);
}

bool PluginController::setRange(int from, int to) {
    if (!isValidPattern(from) || !isValidPattern(to)) {
        return false;
    }
    AudioCommand command;
    command.type = CommandType::Range;
    command.range = {from, to};
    if (!send(command)) {
        return false;
    }
    const PatternRange range = PatternRange::of(from, to);
    settings_.rangeFrom = range.from;
    settings_.rangeTo = range.to;
    rangeSequence_ = sequence_;
    return true;
}

bool PluginController::extendRange(int pattern) {
    if (!isValidPattern(pattern)) {
        return false;
    }
    AudioCommand command;
    command.type = CommandType::ExtendRange;
    command.pattern = pattern;
    if (!send(command)) {
        return false;
    }
    const PatternRange range =
        PatternRange{settings_.rangeFrom, settings_.rangeTo}.extendedTo(pattern);
    settings_.rangeFrom = range.from;
    settings_.rangeTo = range.to;
    rangeSequence_ = sequence_;
    return true;
}

PlaybackView PluginController::playback() const {
    return processor_ != nullptr ? processor_->playback().read() : PlaybackView{};
}

bool PluginController::takeStepChanged() {
    return processor_ != nullptr && processor_->playback().takeStepChanged();
}

bool PluginController::takeStopped() {
    return processor_ != nullptr && processor_->playback().takeStopped();
}

// --- Patterns -----------------------------------------------------------------------------------

bool PluginController::replacePattern(int index, const Pattern& pattern) {
    if (!isValidPattern(index)) {
        return false;
    }
    AudioCommand command;
    command.type = CommandType::ReplacePattern;
    command.replace.index = index;
    command.replace.pattern = pattern;
    if (!send(command)) {
        return false;
    }
    (*patterns_)[index] = pattern;
    return true;
}

bool PluginController::writeStep(int index, int row, int step, int code) {
    if (!isValidPattern(index)) {
        return false;
    }
    AudioCommand command;
    command.type = CommandType::WriteStep;
    command.step = {index, row, step, code};
    if (!send(command)) {
        return false;
    }
    (*patterns_)[index].setStep(row, step, code);
    return true;
}

bool PluginController::setPatternAmount(int index, PatternAttribute attribute, float value,
                                        bool toPlayback) {
    if (!isValidPattern(index) || std::isnan(value)) {
        return false;
    }
    AudioCommand command;
    command.type = CommandType::PatternAmount;
    command.amount = {index, attribute, value, toPlayback};
    if (!send(command)) {
        return false;
    }
    Pattern& pattern = (*patterns_)[index];
    switch (attribute) {
    case PatternAttribute::Flam:
        pattern.setFlam(value);
        break;
    case PatternAttribute::Shuffle:
        pattern.setShuffle(value);
        break;
    case PatternAttribute::TotalAccent:
        pattern.setTotalAccent(value);
        break;
    }
    return true;
}

bool PluginController::sendRandomizer(const RandomizerGate& gate, int index,
                                      const Pattern* pattern) {
    if (pattern != nullptr && !isValidPattern(index)) {
        return false;
    }
    AudioCommand command;
    command.type = CommandType::Randomizer;
    command.randomizer.gate = gate;
    command.randomizer.index = index;
    command.randomizer.withPattern = pattern != nullptr;
    if (pattern != nullptr) {
        command.randomizer.pattern = *pattern;
    }
    if (!send(command)) {
        return false;
    }
    if (pattern != nullptr) {
        (*patterns_)[index] = *pattern;
    }
    return true;
}

float PluginController::randomizerThreshold(int instrument) const {
    if (instrument < 0 || instrument >= kRandomizerInstruments) {
        return 0.0f;
    }
    return parameterValue(kParamFirstThreshold + instrument);
}

bool PluginController::replaceBank(const PatternBank& bank) {
    auto copy = std::make_unique<PatternBank>(bank);
    AudioCommand command;
    command.type = CommandType::ReplaceBank;
    command.bank = copy.get();
    if (!send(command)) {
        return false;
    }
    copy.release(); // the command owns it now
    *patterns_ = bank;
    return true;
}

bool PluginController::loadPatternFile(int index, const std::string& fileName) {
    if (!isValidPattern(index)) {
        return false;
    }
    auto scratch = std::make_unique<PatternBank>();
    if (!vorpalix::loadPatternFile(*scratch, index, fileName)) {
        return false;
    }
    return replacePattern(index, (*scratch)[index]);
}

int PluginController::loadBankFile(const std::string& fileName) {
    auto loaded = std::make_unique<PatternBank>(*patterns_);
    const int count = vorpalix::loadBankFile(*loaded, fileName);
    if (count == 0 || !replaceBank(*loaded)) {
        return 0;
    }
    return count;
}

bool PluginController::savePatternFile(int index, const std::string& fileName) const {
    return vorpalix::savePatternFile(*patterns_, index, fileName);
}

bool PluginController::saveBankFile(const std::string& fileName) const {
    return vorpalix::saveBankFile(*patterns_, fileName);
}

// --- MIDI learn and outputs ---------------------------------------------------------------------

bool PluginController::setLearnMode(bool on) {
    AudioCommand command;
    command.type = CommandType::Learn;
    command.learn = {on, on ? learning_ : -1};
    if (!send(command)) {
        return false;
    }
    learnMode_ = on;
    learning_ = command.learn.parameter;
    learnSequence_ = sequence_;
    return true;
}

bool PluginController::setParameterBeingLearnt(int index) {
    AudioCommand command;
    command.type = CommandType::Learn;
    command.learn = {learnMode_, index};
    if (!send(command)) {
        return false;
    }
    learning_ = index;
    learnSequence_ = sequence_;
    return true;
}

int PluginController::outputNumber(int instrument) const {
    return isValidInstrument(instrument) ? slots_[instrument] : -1;
}

bool PluginController::setOutputNumber(int instrument, int slot) {
    if (!isValidInstrument(instrument) || !isValidInstrument(slot)) {
        return false;
    }
    AudioCommand command;
    command.type = CommandType::OutputSlot;
    command.slot = {instrument, slot};
    if (!send(command)) {
        return false;
    }
    slots_[instrument] = slot;
    return true;
}

} // namespace vorpalix
