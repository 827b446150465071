// The per-sample block routine behind processReplacing and process, and the MIDI entry point.

#include <array>

#include "dsp/DrumEngine.h"
#include "editor/PanelEditor.h"
#include "plugin/DrumPlugin.h"
#include "plugin/FloatingPointGuard.h"
#include "sequencer/PatternSequencer.h"

namespace vorpalix {

namespace {

constexpr int kMaxOutputs = 24;
constexpr float kControllerScale = 0.007874016f; // 1/127 in single precision

} // namespace

void DrumPlugin::processReplacing(float** /*inputs*/, float** outputs, vst::VstInt32 frames) {
    processBlock(outputs, frames, true);
}

void DrumPlugin::process(float** /*inputs*/, float** outputs, vst::VstInt32 frames) {
    processBlock(outputs, frames, false);
}

void DrumPlugin::applyPendingEngineChanges() {
    const float rate = requestedRate_.load(std::memory_order_acquire);
    if (static_cast<double>(rate) != engineRate_) {
        engineRate_ = rate;
        engine_->setSampleRate(rate);
    }
    for (int word = 0; word < 2; ++word) {
        std::uint64_t dirty = engineDirty_[word].exchange(0, std::memory_order_acquire);
        while (dirty != 0) {
            const int bit = __builtin_ctzll(dirty);
            dirty &= dirty - 1;
            const int index = word * 64 + bit;
            engine_->setEngineParameter(index,
                                        engineValues_[index].load(std::memory_order_relaxed));
        }
    }
    if (totalAccentDirty_.exchange(false, std::memory_order_acquire)) {
        engine_->setTotalAccent(totalAccentValue_.load(std::memory_order_relaxed));
    }
}

void DrumPlugin::processBlock(float** outputs, vst::VstInt32 frames, bool replacing) {
    FloatingPointGuard floatingPoint;
    applyPendingEngineChanges();

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
    for (int i = 0; i < 11; ++i) {
        blockSlots_[i] = outputSlots_[i].load(std::memory_order_relaxed);
    }

    if (auditionPending_.exchange(false, std::memory_order_acquire)) {
        engine_->triggerVoice(auditionInstrument_.load(std::memory_order_relaxed),
                              auditionVelocity_.load(std::memory_order_relaxed));
    }

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

vst::VstInt32 DrumPlugin::processEvents(vst::VstEvents* events) {
    if (events == nullptr) {
        return 1;
    }
    for (vst::VstInt32 e = 0; e < events->numEvents; ++e) {
        const vst::VstEvent* event = events->events[e];
        if (event == nullptr || event->type != vst::kVstMidiType) {
            continue;
        }
        const auto* midi = reinterpret_cast<const vst::VstMidiEvent*>(event);
        const int status = static_cast<unsigned char>(midi->midiData[0]) & 0xF0;
        const int d1 = static_cast<unsigned char>(midi->midiData[1]);
        const int d2 = static_cast<unsigned char>(midi->midiData[2]);
        // Data bytes have the top bit clear; a message with another is malformed and ignored.
        if (status != 0xB0 || ((d1 | d2) & 0x80) != 0 || d1 > 120) {
            continue;
        }
        const int learning = parameterBeingLearnt();
        if (learnMode() && learning >= 0) {
            controllers_.assignController(d1, learning);
            setParameterBeingLearnt(-1);
            editor_->learnDisplayChanged(learning);
        } else {
            const int parameter = controllers_.parameterOf(d1);
            if (parameter != -1) {
                setParameter(parameter, static_cast<float>(d2) * kControllerScale);
            }
        }
    }
    sequencer_->queueEvents(events);
    return 1;
}

} // namespace vorpalix
