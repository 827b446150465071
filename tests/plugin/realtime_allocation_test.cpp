// The audio path must never allocate: this file counts every allocation made while the test
// says so, and drives the plug-in through playing patterns, MIDI notes and controllers,
// parameter changes, auditions and a sample-rate change.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "LiveProcessor.h"
#include "PluginHost.h"
#include "PluginTestSupport.h"

namespace {

std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};

void* allocate(std::size_t size) {
    if (gCounting.load(std::memory_order_relaxed)) {
        gAllocations.fetch_add(1, std::memory_order_relaxed);
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void* allocateAligned(std::size_t size, std::align_val_t alignment) {
    if (gCounting.load(std::memory_order_relaxed)) {
        gAllocations.fetch_add(1, std::memory_order_relaxed);
    }
    const auto a = static_cast<std::size_t>(alignment);
    if (void* p = std::aligned_alloc(a, (size + a - 1) / a * a)) {
        return p;
    }
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void* operator new(std::size_t size, std::align_val_t a) {
    return allocateAligned(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a) {
    return allocateAligned(size, a);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}

namespace vorpalix::test {
namespace {

struct CountedEvents {
    std::vector<vst::VstMidiEvent> midi;
    std::vector<char> list;

    void set(std::initializer_list<std::array<int, 4>> events) { // status, d1, d2, delta
        midi.clear();
        for (const auto& e : events) {
            vst::VstMidiEvent m{};
            m.type = vst::kVstMidiType;
            m.byteSize = sizeof m;
            m.deltaFrames = e[3];
            m.midiData[0] = static_cast<char>(e[0]);
            m.midiData[1] = static_cast<char>(e[1]);
            m.midiData[2] = static_cast<char>(e[2]);
            midi.push_back(m);
        }
        list.assign(sizeof(vst::VstEvents) + midi.size() * sizeof(vst::VstEvent*), 0);
        auto* header = reinterpret_cast<vst::VstEvents*>(list.data());
        header->numEvents = static_cast<vst::VstInt32>(midi.size());
        for (std::size_t i = 0; i < midi.size(); ++i) {
            header->events[i] = reinterpret_cast<vst::VstEvent*>(&midi[i]);
        }
    }
    vst::VstEvents* get() { return reinterpret_cast<vst::VstEvents*>(list.data()); }
};

TEST(RealtimeSafety, ProcessingAndMidiNeverAllocate) {
    DirectPlugin p;
    p.plugin->controller().setSequencerSync(kSyncInternal);
    p.plugin->controller().requestTransport(kTransportPlay);
    p.plugin->setParameter(kParamShuffle, 0.6f);

    std::vector<std::vector<float>> buffers(24, std::vector<float>(512));
    std::vector<float*> pointers;
    for (auto& b : buffers) {
        pointers.push_back(b.data());
    }
    CountedEvents events;
    const std::initializer_list<std::array<int, 4>> script[] = {
        {{0xB0, 7, 100, 0}, {0xB0, 20, 90, 3}},     // Volume and BD Level
        {{0x90, 14, 100, 10}, {0x90, 17, 100, 20}}, // chain keys: range 2..5
        {{0x80, 17, 0, 0}, {0x80, 14, 0, 5}, {0xE0, 0, 64, 7}},
        {{0x90, 0, 100, 100}}, // MIDI start (already running)
        {{0xB0, 123, 0, 300}}, // MIDI stop
        {{0x90, 0, 100, 0}},   // and start again
    };

    long allocations = 0;
    for (int block = 0; block < 400; ++block) {
        const auto& step = script[block % std::size(script)];
        events.set(step);
        if (block == 200) {
            p.plugin->dispatcher(vst::effSetSampleRate, 0, 0, nullptr, 48000.0f);
        }
        if (block % 50 == 25) {
            p.plugin->controller().requestAudition(block % 11, 0.8f);
        }
        gAllocations = 0;
        gCounting = true;
        p.plugin->dispatcher(vst::effProcessEvents, 0, 0, events.get(), 0.0f);
        p.plugin->processReplacing(nullptr, pointers.data(), 512);
        p.plugin->process(nullptr, pointers.data(), 0);
        gCounting = false;
        allocations += gAllocations;
    }
    EXPECT_EQ(allocations, 0);
    // The render was not silent: the patterns played.
    float loudest = 0.0f;
    for (const auto& b : buffers) {
        loudest = std::max(loudest, peak(b));
    }
    EXPECT_GT(loudest, 0.0f);
}

// The standalone program's audio callback: MIDI with frame offsets, MIDI from another thread's
// queue, the transport rolling and standing, the plug-in loaded from its file as the program
// loads it. What is counted is the host side (the loaded module keeps its own allocator
// binding; the plug-in's code is counted by the test above).
TEST(RealtimeSafety, LiveProcessingNeverAllocates) {
    host::HostOptions options;
    options.recordCalls = false;
    options.keepAutomations = false;
    auto loaded = host::PluginHost::load(VORPALIX_PLUGIN_PATH, options);
    ASSERT_TRUE(loaded) << loaded.message;
    loaded.host->start();
    host::LiveProcessor live(*loaded.host);
    std::vector<std::vector<float>> buffers(24, std::vector<float>(256));
    std::vector<float*> pointers;
    for (auto& b : buffers) {
        pointers.push_back(b.data());
    }
    const std::uint8_t key[] = {0x90, 14, 100};
    const std::uint8_t start[] = {0x90, 0, 100};
    const std::uint8_t volume[] = {0xB0, 7, 90};
    long allocations = 0;
    for (int block = 0; block < 300; ++block) {
        live.midiQueue().push({{0xB0, 20, static_cast<std::uint8_t>(block % 128)}});
        host::LiveTime time;
        time.rolling = block >= 150;
        time.hasTempo = block >= 200;
        time.bpm = 133.0;
        time.frame = (block - 150) * 256.0;
        time.ppq = time.frame / (44100.0 * 60.0 / 133.0);
        gAllocations = 0;
        gCounting = true;
        live.beginBlock();
        live.addMidi(3, key, 3);
        live.addMidi(100, start, 3);
        live.addMidi(200, volume, 3);
        live.process(pointers.data(), 256, time);
        gCounting = false;
        allocations += gAllocations;
    }
    EXPECT_EQ(allocations, 0);
    EXPECT_GT(peak(buffers[0]), 0.0f);
}

TEST(RealtimeSafety, TheCounterSeesAllocations) {
    gAllocations = 0;
    gCounting = true;
    auto* leak = new std::vector<int>(10);
    gCounting = false;
    delete leak;
    EXPECT_GE(gAllocations.load(), 1);
}

} // namespace
} // namespace vorpalix::test
