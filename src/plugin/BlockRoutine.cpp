// The per-sample block routine behind processReplacing and process, and the MIDI entry point.

#include <array>

#include "plugin/FloatingPointGuard.h"
#include "plugin/OutputRouting.h"
#include "plugin/PluginProcessor.h"

namespace vorpalix {

namespace {

constexpr int kMaxOutputs = 24;
constexpr float kControllerScale = 0.007874016f; // 1/127 in single precision

} // namespace

void PluginProcessor::processBlock(float** outputs, vst::VstInt32 frames, bool replacing) {
    FloatingPointGuard floatingPoint;
    applySampleRate();
    // What the user interface sent comes first, so that parameter values that depend on the
    // sequencer's state (the amount knobs) meet the state they were sent with.
    applyCommands();
    applyParameterChanges();

    sequencer_->beginBlock();
    hitReport_.beginBlock();

    // Channel pointers. A missing buffer (null list or null channel) is replaced by a sink that
    // does not advance, so the sound of the other channels stays correct.
    const int count = outputConfig_.outputCount();
    std::array<float*, kMaxOutputs> channels{};
    std::array<int, kMaxOutputs> stride{};
    std::array<float, kMaxOutputs> sink{};
    for (int c = 0; c < count; ++c) {
        float* buffer = outputs != nullptr ? outputs[c] : nullptr;
        channels[c] = buffer != nullptr ? buffer : &sink[c];
        stride[c] = buffer != nullptr ? 1 : 0;
    }

    for (std::size_t a = 0; a < auditionCount_; ++a) {
        engine_->triggerVoice(auditions_[a].instrument, auditions_[a].velocity);
    }
    auditionCount_ = 0;

    sequencer_->startBlock();

    OutputFrame frame;
    for (vst::VstInt32 n = 0; n < frames; ++n) {
        hitReport_.setFrame(n);
        sequencer_->runFrame();
        engine_->renderFrame(frame);
        if (replacing) {
            for (int c = 0; c < count; ++c) {
                *channels[c] = 0.0f;
            }
        }
        routeFrame(frame, outputConfig_, blockSlots_, channels.data());
        for (int c = 0; c < count; ++c) {
            channels[c] += stride[c];
        }
        sequencer_->endFrame();
    }
    sequencer_->endBlock();
}

void PluginProcessor::processEvents(const vst::VstEvents* events) {
    // The host hands the events over just before the block they belong to; what the user
    // interface sent before them (MIDI learn, the controller map) applies to them.
    applyCommands();
    if (events == nullptr) {
        return;
    }
    for (vst::VstInt32 e = 0; e < events->numEvents; ++e) {
        const vst::VstEvent* event = events->events[e];
        if (event == nullptr || event->type != vst::kVstMidiType) {
            continue;
        }
        const auto* midi = reinterpret_cast<const vst::VstMidiEvent*>(event);
        TimedMidiEvent timed{};
        for (int i = 0; i < 4; ++i) {
            timed.bytes[i] = static_cast<std::uint8_t>(midi->midiData[i]);
        }
        timed.delta = midi->deltaFrames;

        const int status = timed.bytes[0] & 0xF0;
        const int d1 = timed.bytes[1];
        const int d2 = timed.bytes[2];
        // Data bytes have the top bit clear; a message with another is malformed and ignored.
        if (status == 0xB0 && ((d1 | d2) & 0x80) == 0 && d1 <= 120) {
            // A controller is learnt only when the user interface can be told, so that its copy
            // of the map never misses an assignment.
            if (learnMode_ && learning_ >= 0 && channels_.notifications.freeSpace() > 0) {
                controllers_.assignController(d1, learning_);
                connection_.notify(NotificationType::ControllerLearnt, d1, learning_);
                learning_ = -1;
            } else {
                const int parameter = controllers_.parameterOf(d1);
                if (parameter != -1) {
                    channels_.parameters.set(parameter, static_cast<float>(d2) * kControllerScale);
                }
            }
        }
        sequencer_->queueEvent(timed);
    }
}

} // namespace vorpalix
