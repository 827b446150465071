#include "plugin/PluginProcessor.h"

#include "dsp/ParameterIndex.h"
#include "plugin/AudioEffect.h"

namespace vorpalix {

PluginProcessor::PluginProcessor(AudioEffect& effect, ThreadChannels& channels,
                                 const OutputConfig& outputs)
    : effect_(effect), channels_(channels), outputConfig_(outputs),
      engine_(std::make_unique<DrumEngine>()), connection_(effect, *engine_, channels),
      sink_(*engine_, hitReport_),
      sequencer_(std::make_unique<PatternSequencer>(connection_, sink_)) {
    for (int i = 0; i < kNumInstruments; ++i) {
        blockSlots_[i] = i;
    }
}

PluginProcessor::~PluginProcessor() = default;

int PluginProcessor::outputNumber(int instrument) const {
    return isValidInstrument(instrument) ? blockSlots_[instrument] : -1;
}

void PluginProcessor::applySampleRate() {
    const float rate = channels_.requestedRate.load(std::memory_order_acquire);
    if (static_cast<double>(rate) != engineRate_) {
        engineRate_ = rate;
        engine_->setSampleRate(rate);
        connection_.setSampleRate(engineRate_);
    }
}

void PluginProcessor::applyCommands() {
    while (const AudioCommand* command = channels_.commands.front()) {
        if (!applyCommand(*command)) {
            return; // waits for room; applied at the next call
        }
        connection_.setLastSequence(command->sequence);
        channels_.commands.pop();
    }
}

void PluginProcessor::retire(PatternBank* bank) {
    // applyCommand made sure there is room: the bank is freed on the user-interface thread.
    if (bank != nullptr) {
        channels_.retiredBanks.push(bank);
    }
}

bool PluginProcessor::applyCommand(const AudioCommand& c) {
    switch (c.type) {
    case CommandType::Audition:
        if (auditionCount_ >= auditions_.size()) {
            return false;
        }
        auditions_[auditionCount_++] = {c.audition.instrument, c.audition.velocity};
        break;
    case CommandType::Transport:
        return connection_.queueTransportCommand(c.transport);
    case CommandType::Controls:
        connection_.setControls(c.controls);
        sequencer_->setChainFlag(c.controls.mode == kModeChain);
        break;
    case CommandType::AttributeStore:
        connection_.setAttributeStore(c.attributeStore);
        break;
    case CommandType::Range:
        sequencer_->setRange(c.range.from, c.range.to);
        break;
    case CommandType::ExtendRange:
        sequencer_->extendRange(c.pattern);
        break;
    case CommandType::PatternKey:
        sequencer_->patternKey(c.key.pattern, c.key.on, c.key.velocity);
        break;
    case CommandType::ReplacePattern:
        sequencer_->replacePattern(c.replace.index, c.replace.pattern);
        break;
    case CommandType::WriteStep:
        sequencer_->writeStep(c.step.index, c.step.row, c.step.step, c.step.code);
        break;
    case CommandType::PatternAmount: {
        if (!isValidPattern(c.amount.index)) {
            break;
        }
        Pattern pattern = sequencer_->patterns()[c.amount.index];
        switch (c.amount.attribute) {
        case PatternAttribute::Flam:
            pattern.setFlam(c.amount.value);
            if (c.amount.toPlayback) {
                connection_.setFlam(pattern.flam());
            }
            break;
        case PatternAttribute::Shuffle:
            pattern.setShuffle(c.amount.value);
            if (c.amount.toPlayback) {
                connection_.setShuffle(pattern.shuffle());
            }
            break;
        case PatternAttribute::TotalAccent:
            pattern.setTotalAccent(c.amount.value);
            if (c.amount.toPlayback) {
                connection_.setTotalAccentLevel(pattern.totalAccent());
            }
            break;
        }
        sequencer_->replacePattern(c.amount.index, pattern);
        break;
    }
    case CommandType::Randomizer:
        sequencer_->setRandomizerGate(c.randomizer.gate);
        if (c.randomizer.withPattern) {
            sequencer_->replacePattern(c.randomizer.index, c.randomizer.pattern);
        }
        break;
    case CommandType::ReplaceBank:
        if (channels_.retiredBanks.freeSpace() == 0) {
            return false;
        }
        retire(sequencer_->replaceBank(std::unique_ptr<PatternBank>(c.bank)).release());
        break;
    case CommandType::ReplaceState: {
        if (channels_.retiredBanks.freeSpace() == 0) {
            return false;
        }
        const StateCommand& s = c.state;
        retire(sequencer_->replaceBank(std::unique_ptr<PatternBank>(s.bank)).release());
        connection_.setControls(s.settings.controls);
        sequencer_->setChainFlag(s.settings.controls.mode == kModeChain);
        connection_.setAttributeStore(s.settings.attributeStore);
        connection_.setFreeModeThreshold(s.settings.freeModeThreshold);
        if (s.rangeGiven) {
            sequencer_->setRange(s.settings.rangeFrom, s.settings.rangeTo);
        }
        blockSlots_ = s.outputSlots;
        controllers_ = s.controllers;
        // Every parameter value once more, now that the state they depend on is in place: the
        // amount knobs apply only with the sequencer on and the pattern attribute store off.
        for (int index = 0; index < kNumHostParameters; ++index) {
            applyParameter(index, channels_.parameters.value(index));
        }
        break;
    }
    case CommandType::OutputSlot:
        if (isValidInstrument(c.slot.instrument) && isValidInstrument(c.slot.slot)) {
            blockSlots_[c.slot.instrument] = c.slot.slot;
        }
        break;
    case CommandType::Learn:
        learnMode_ = c.learn.on;
        learning_ = c.learn.parameter;
        break;
    }
    return true;
}

void PluginProcessor::applyParameterChanges() {
    channels_.parameters.takeAudioChanges(
        [this](int index, float value) { applyParameter(index, value); });
}

bool PluginProcessor::knobsDriveAmounts() const {
    return connection_.controls().state && !connection_.attributeStore();
}

void PluginProcessor::applyParameter(int index, float value) {
    if (index < kNumEngineParameters) {
        engine_->setEngineParameter(index, value);
    }
    switch (index) {
    case kParamTempo:
        connection_.setTempoKnob(value);
        break;
    case kParamFlam:
        if (knobsDriveAmounts()) {
            connection_.setFlam(value);
        }
        break;
    case kParamShuffle:
        if (knobsDriveAmounts()) {
            connection_.setShuffle(value);
        }
        break;
    case kParamTotalAccent:
        if (knobsDriveAmounts()) {
            connection_.setTotalAccentLevel(value);
        }
        break;
    default:
        if (index >= kParamFirstThreshold && index < kNumHostParameters) {
            sequencer_->setRandomizerThreshold(index - kParamFirstThreshold, value);
        }
        break;
    }
}

} // namespace vorpalix
