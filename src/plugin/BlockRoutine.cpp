// The block routine behind processReplacing and process, and the MIDI entry point.

#include <algorithm>
#include <array>

#include <immintrin.h>

#include "dsp/SimdLanes.h"

#include "plugin/FloatingPointGuard.h"
#include "plugin/OutputRouting.h"
#include "plugin/PluginProcessor.h"

namespace vorpalix {

namespace {

constexpr int kMaxOutputs = 24;
constexpr float kControllerScale = 0.007874016f; // 1/127 in single precision

// Vectors of floats for the AVX-512, AVX and SSE builds of the loops below.
using Floats16 = float __attribute__((vector_size(64)));
using Floats8 = float __attribute__((vector_size(32)));
using Floats4 = float __attribute__((vector_size(16)));

// Adds in[0..length) to out[0..length), a vector of F at a time.
template <class F>
[[gnu::always_inline]] inline void addValues(const float* in, float* out, int length) {
    constexpr int kWidth = sizeof(F) / sizeof(float);
    int n = 0;
    for (; n + kWidth <= length; n += kWidth) {
        F a, b;
        __builtin_memcpy(&a, out + n, sizeof a);
        __builtin_memcpy(&b, in + n, sizeof b);
        a += b;
        __builtin_memcpy(out + n, &a, sizeof a);
    }
    for (; n < length; ++n) {
        out[n] += in[n];
    }
}

[[VORPALIX_AVX512]] void addValuesAvx512(const float* in, float* out, int length) {
    addValues<Floats16>(in, out, length);
}

[[gnu::target("avx2")]] void addValuesAvx2(const float* in, float* out, int length) {
    addValues<Floats8>(in, out, length);
}

void addValuesBase(const float* in, float* out, int length) {
    addValues<Floats4>(in, out, length);
}

// Adds the engine's channel k for frames [0, length) to `channel` from `start` on. A silent
// channel adds exact zeros: nothing where the channel was just cleared.
void addChannel(const DrumEngine& engine, int k, float* channel, int start, int length,
                bool replacing) {
    if (channel == nullptr) {
        return;
    }
    float* out = channel + start;
    if (engine.isSounding(k)) {
        if (lanes::hasAvx512()) {
            addValuesAvx512(engine.output(k), out, length);
        } else if (lanes::hasAvx2()) {
            addValuesAvx2(engine.output(k), out, length);
        } else {
            addValuesBase(engine.output(k), out, length);
        }
    } else if (!replacing) {
        for (int n = 0; n < length; ++n) {
            out[n] += 0.0f;
        }
    }
}

// GCC would turn the store loops below back into memset calls; the sanitizer builds (clang) need
// no hint.
#if defined(__clang__)
#define VORPALIX_KEEP_STORE_LOOP
#else
#define VORPALIX_KEEP_STORE_LOOP __attribute__((optimize("no-tree-loop-distribute-patterns")))
#endif

// Zeros into every channel from `start` on, a vector of F at a time. A float-by-float fill of 24
// channels cost more than an idle engine, and both the inline memset (rep stos) and a call of
// memset start too slowly for the few hundred bytes of a small block, so the stores stay an
// inline loop. Built for AVX, eight values per store, and SSE, four; the AVX-512 build is below.
template <class F>
[[gnu::always_inline]] inline void clearChannels(const std::array<float*, kMaxOutputs>& channels,
                                                 int count, int start, int length) {
    constexpr int kWidth = sizeof(F) / sizeof(float);
    const F zero{};
    for (int c = 0; c < count; ++c) {
        if (channels[c] == nullptr) {
            continue;
        }
        float* out = channels[c] + start;
        int n = 0;
#pragma GCC unroll 4
        for (; n + kWidth <= length; n += kWidth) {
            __builtin_memcpy(out + n, &zero, sizeof zero);
        }
        for (; n < length; ++n) {
            out[n] = 0.0f;
        }
    }
}

// The AVX-512 build stores sixteen zeros at a time and the last few under a mask, so that a
// small block's channel takes a store or two and no tail loop.
[[VORPALIX_AVX512]] VORPALIX_KEEP_STORE_LOOP void
clearChannelsAvx512(const std::array<float*, kMaxOutputs>& channels, int count, int start,
                    int length) {
    const __m512 zero = _mm512_setzero_ps();
    const int whole = length & ~15;
    const auto tail = static_cast<__mmask16>((1u << (length & 15)) - 1u);
    for (int c = 0; c < count; ++c) {
        if (channels[c] == nullptr) {
            continue;
        }
        float* out = channels[c] + start;
        for (int n = 0; n < whole; n += 16) {
            _mm512_storeu_ps(out + n, zero);
        }
        // Masked-off lanes are neither written nor checked for access.
        if (tail != 0) {
            _mm512_mask_storeu_ps(out + whole, tail, zero);
        }
    }
}

[[gnu::target("avx2")]] VORPALIX_KEEP_STORE_LOOP void
clearChannelsAvx2(const std::array<float*, kMaxOutputs>& channels, int count, int start,
                  int length) {
    clearChannels<Floats8>(channels, count, start, length);
}

VORPALIX_KEEP_STORE_LOOP void clearChannelsBase(const std::array<float*, kMaxOutputs>& channels,
                                                int count, int start, int length) {
    clearChannels<Floats4>(channels, count, start, length);
}

// Routes one part of a block: with processReplacing every channel is cleared first; then the
// master goes to its channels and instrument i to the channel (or pair) of its output slot, in
// that order, so channels shared by several slots (or aliased by the host) sum as frame by frame.
void routeBlock(const DrumEngine& engine, const OutputConfig& config,
                const std::array<int, 11>& slots, const std::array<float*, kMaxOutputs>& channels,
                int start, int length, bool replacing) {
    const int count = config.outputCount();
    if (replacing) {
        if (lanes::hasAvx512()) {
            clearChannelsAvx512(channels, count, start, length);
        } else if (lanes::hasAvx2()) {
            clearChannelsAvx2(channels, count, start, length);
        } else {
            clearChannelsBase(channels, count, start, length);
        }
    }
    // A silent engine channel adds nothing to a cleared one; the master sounds whenever any
    // instrument does, so a silent master leaves nothing to add.
    if (replacing && !engine.isSounding(OutputFrame::kMaster)) {
        return;
    }
    const auto route = [&](int k, int c) {
        if (!replacing || engine.isSounding(k)) {
            addChannel(engine, k, channels[c], start, length, replacing);
        }
    };
    const int m = config.masterChannels();
    for (int c = 0; c < m; ++c) {
        route(OutputFrame::kMaster, c);
    }
    for (int i = 0; i < 11; ++i) {
        if (config.instrumentsStereo) {
            const int c = m + 2 * slots[i];
            route(1 + i, c);
            route(1 + i, c + 1);
        } else {
            route(1 + i, m + slots[i]);
        }
    }
}

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

    // Channel pointers; a missing buffer (null list or null channel) is skipped.
    const int count = outputConfig_.outputCount();
    // Every entry is written in one loop: a zero-initialised array costs a slow-starting
    // rep stos per block.
    std::array<float*, kMaxOutputs> channels;
    const int given = outputs != nullptr ? count : 0;
    for (int c = 0; c < kMaxOutputs; ++c) {
        channels[c] = c < given ? outputs[c] : nullptr;
    }

    for (std::size_t a = 0; a < auditionCount_; ++a) {
        engine_->triggerVoice(auditions_[a].instrument, auditions_[a].velocity);
    }
    auditionCount_ = 0;

    sequencer_->startBlock();

    // The block in parts of at most the engine's block length. Within a part the sequencer jumps
    // over its quiet frames; the engine renders up to each frame where the sequencer may trigger,
    // so every hit starts at its own frame. Each part is then routed to the channels.
    for (int start = 0; start < frames; start += DrumEngine::kMaxFrames) {
        const int length = std::min<int>(frames - start, DrumEngine::kMaxFrames);
        engine_->beginBlock();
        int rendered = 0;
        for (int n = 0; n < length;) {
            const int quiet = sequencer_->quietFrames(length - n);
            if (quiet > 0) {
                sequencer_->skipQuietFrames(quiet);
                n += quiet;
                continue;
            }
            if (n > rendered) {
                engine_->render(rendered, n - rendered);
                rendered = n;
            }
            hitReport_.setFrame(start + n);
            sequencer_->runFrame();
            sequencer_->endFrame();
            ++n;
        }
        engine_->render(rendered, length - rendered);
        routeBlock(*engine_, outputConfig_, blockSlots_, channels, start, length, replacing);
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
