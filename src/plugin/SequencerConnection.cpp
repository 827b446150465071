#include "plugin/SequencerConnection.h"

#include <algorithm>
#include <cmath>

#include "dsp/DrumEngine.h"
#include "plugin/AudioEffect.h"

namespace vorpalix {

namespace {

// Host time request: song position, tempo and transport state.
constexpr vst::VstInt32 kTimeFilter =
    vst::kVstPpqPosValid | vst::kVstTempoValid | vst::kVstTransportPlaying;

} // namespace

SequencerConnection::SequencerConnection(AudioEffect& effect, DrumEngine& engine,
                                         ThreadChannels& channels)
    : effect_(effect), engine_(engine), channels_(channels) {}

int SequencerConnection::takeTransportCommand() {
    if (transportCount_ == 0) {
        return kTransportNone;
    }
    const int command = transportCommands_[transportHead_];
    transportHead_ = (transportHead_ + 1) % transportCommands_.size();
    --transportCount_;
    return command;
}

bool SequencerConnection::queueTransportCommand(int command) {
    if (transportCount_ >= transportCommands_.size()) {
        return false;
    }
    transportCommands_[(transportHead_ + transportCount_) % transportCommands_.size()] = command;
    ++transportCount_;
    return true;
}

TransportInfo SequencerConnection::transport() {
    const auto* time = reinterpret_cast<const vst::VstTimeInfo*>(
        effect_.callHost(vst::audioMasterGetTime, 0, kTimeFilter));
    if (time == nullptr) {
        return {};
    }
    TransportInfo info;
    info.valid = true;
    info.playing = (time->flags & vst::kVstTransportPlaying) != 0;
    info.positionValid = (time->flags & vst::kVstPpqPosValid) != 0;
    info.position = time->ppqPos;
    info.tempoValid = (time->flags & vst::kVstTempoValid) != 0;
    info.tempo = time->tempo;
    return info;
}

void SequencerConnection::setShuffle(float value) {
    shuffle_ = static_cast<double>(value) * 0.8;
}

void SequencerConnection::setFlam(float value) {
    flam_ = static_cast<double>(value) * 0.262 + 0.121;
}

void SequencerConnection::setTotalAccentLevel(float value) {
    engine_.setTotalAccent(value);
}

void SequencerConnection::setFreeModeThreshold(int level) {
    freeModeThreshold_ = std::clamp(level, 0, 127);
}

void SequencerConnection::setTempoKnob(float value) {
    internalTempo_ = std::round((static_cast<double>(value) * 273.0 + 30.0) * 10.0) * 0.1;
}

void SequencerConnection::notify(NotificationType type, int a, int b) {
    Notification n;
    n.type = type;
    n.sequence = lastSequence_;
    n.a = a;
    n.b = b;
    if (!channels_.notifications.push(n)) {
        channels_.notificationsLost.store(true, std::memory_order_release);
    }
}

void SequencerConnection::playingPatternChanged(int pattern) {
    notify(NotificationType::PlayingPatternChanged, pattern);
}

void SequencerConnection::rangeChanged(int from, int to) {
    notify(NotificationType::RangeChanged, from, to);
}

void SequencerConnection::transportStopped() {
    notify(NotificationType::TransportStopped);
}

void EngineTriggerSink::triggerStep(int i, bool accent, bool ta) {
    hits_.recordStep(engine_, i,
                     DrumEngine::kPlainVelocity + (accent ? DrumEngine::kAccentStep : 0.0f), ta);
    engine_.triggerStep(i, accent, ta);
}

void EngineTriggerSink::triggerStepPlain(int i, bool accent, bool ta) {
    hits_.recordStep(engine_, i, DrumEngine::kPlainVelocity, ta);
    engine_.triggerStepPlain(i, accent, ta);
}

void EngineTriggerSink::triggerStepAccented(int i, bool accent, bool ta) {
    hits_.recordStep(engine_, i, DrumEngine::kAccentedVelocity, ta);
    engine_.triggerStepAccented(i, accent, ta);
}

} // namespace vorpalix
