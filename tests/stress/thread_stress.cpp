// Two threads on one plug-in, as a host runs them: the audio thread renders 256-frame blocks with
// the sequencer playing and MIDI arriving, while the user-interface thread applies chunks, turns
// knobs, loads pattern banks, edits patterns, randomizes and auditions. After every block the
// audio thread checks that playback holds one whole bank: every pattern of bank A has a bass
// drum on every step and no snare, every pattern of bank B the other way round, so a pattern or a
// bank mixed from both (or half applied) is seen at once. The other rows are the edits' own.
//
// Built with ThreadSanitizer by `make tsan`; any report of a data race ends the run with an
// error. Without the sanitizer it runs as a short test of the same property.
//
//   vorpalix_stress [--seconds S]

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <unistd.h>

#include "dsp/Instruments.h"
#include "dsp/ParameterIndex.h"
#include "editor/PanelEditor.h"
#include "plugin/DrumPlugin.h"
#include "sequencer/PatternEditing.h"

namespace {

using namespace vorpalix;

constexpr int kBlock = 256;
constexpr double kRate = 44100.0;

// The host's time record: written and handed out on the audio thread only.
vst::VstTimeInfo hostTime{};

vst::VstIntPtr stressHost(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr, void*,
                          float) {
    switch (opcode) {
    case vst::audioMasterVersion:
        return 2400;
    case vst::audioMasterGetTime:
        return reinterpret_cast<vst::VstIntPtr>(&hostTime);
    default:
        return 0;
    }
}

// Bank A plays the bass drum on every step, bank B the snare; the closed hat row differs from
// pattern to pattern so that the banks are not all alike.
PatternBank makeBank(bool a) {
    PatternBank bank;
    for (int p = 0; p < kPatternCount; ++p) {
        Pattern& pattern = bank[p];
        for (int step = 0; step < kPatternSteps; ++step) {
            pattern.setStep(a ? kBD : kSD, step, kStepNote);
            if ((step + p) % 3 == 0) {
                pattern.setStep(kCH, step, kStepNote);
            }
        }
        pattern.setName(a ? "A" : "B");
    }
    return bank;
}

// 1 for bank A's rows, 2 for bank B's, 0 for anything else.
int bankOf(const Pattern& pattern) {
    int bd = 0;
    int sd = 0;
    for (int step = 0; step < kPatternSteps; ++step) {
        bd += pattern.step(kBD, step).note ? 1 : 0;
        sd += pattern.step(kSD, step).note ? 1 : 0;
    }
    if (bd == kPatternSteps && sd == 0) {
        return 1;
    }
    if (sd == kPatternSteps && bd == 0) {
        return 2;
    }
    return 0;
}

struct Counts {
    std::uint64_t blocks = 0;
    std::uint64_t patternChecks = 0;
    std::uint64_t mixedPatterns = 0;
    std::uint64_t mixedBanks = 0;
    std::uint64_t hits = 0;
};

void runAudio(DrumPlugin& plugin, std::atomic<bool>& stop, Counts& counts) {
    vst::AEffect* effect = plugin.aeffect();
    const int outputs = effect->numOutputs;
    std::vector<std::vector<float>> buffers(outputs, std::vector<float>(kBlock));
    std::vector<float*> pointers(outputs);
    for (int c = 0; c < outputs; ++c) {
        pointers[c] = buffers[c].data();
    }
    std::minstd_rand random(7);
    std::vector<vst::VstMidiEvent> midi(4);
    struct {
        vst::VstInt32 numEvents;
        vst::VstIntPtr reserved;
        vst::VstEvent* events[4];
    } list{};
    hostTime.sampleRate = kRate;
    hostTime.tempo = 120.0;
    hostTime.flags = vst::kVstTransportPlaying | vst::kVstPpqPosValid | vst::kVstTempoValid;

    while (!stop.load(std::memory_order_relaxed)) {
        // MIDI: a volume controller, and now and then a pattern key or All Notes Off.
        list.numEvents = 0;
        auto add = [&](std::uint8_t status, std::uint8_t d1, std::uint8_t d2) {
            vst::VstMidiEvent& e = midi[static_cast<std::size_t>(list.numEvents)];
            e = {};
            e.type = vst::kVstMidiType;
            e.byteSize = sizeof e;
            e.deltaFrames = static_cast<vst::VstInt32>(random() % kBlock);
            e.midiData[0] = static_cast<char>(status);
            e.midiData[1] = static_cast<char>(d1);
            e.midiData[2] = static_cast<char>(d2);
            list.events[list.numEvents++] = reinterpret_cast<vst::VstEvent*>(&e);
        };
        add(0xB0, 7, static_cast<std::uint8_t>(64 + random() % 64));
        const auto roll = random() % 64;
        if (roll == 0) {
            add(0x90, static_cast<std::uint8_t>(12 + random() % 24), 100);
        } else if (roll == 1) {
            add(0xB0, 123, 0);
        } else if (roll == 2) {
            add(0x90, 0, 100); // starts the chain
        }
        effect->dispatcher(effect, vst::effProcessEvents, 0, 0, &list, 0.0f);
        effect->processReplacing(effect, nullptr, pointers.data(), kBlock);
        hostTime.ppqPos += kBlock * hostTime.tempo / (60.0 * kRate);
        hostTime.samplePos += kBlock;

        // The audio thread's own patterns, between two blocks.
        const PatternBank& live = plugin.processor().sequencer().patterns();
        int first = -1;
        bool mixedBank = false;
        for (int p = 0; p < kPatternCount; ++p) {
            const int bank = bankOf(live[p]);
            ++counts.patternChecks;
            if (bank == 0) {
                ++counts.mixedPatterns;
            } else if (first == -1) {
                first = bank;
            } else if (bank != first) {
                mixedBank = true;
            }
        }
        counts.mixedBanks += mixedBank ? 1 : 0;
        for (int c = 0; c < outputs && c < 2; ++c) {
            for (float x : buffers[c]) {
                counts.hits += x != 0.0f ? 1 : 0;
            }
        }
        ++counts.blocks;
    }
}

std::string chunkOf(DrumPlugin& plugin) {
    void* data = nullptr;
    vst::AEffect* effect = plugin.aeffect();
    const auto size = effect->dispatcher(effect, vst::effGetChunk, 0, 0, &data, 0.0f);
    return size > 0 ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size))
                    : std::string();
}

struct UiCounts {
    std::uint64_t chunksApplied = 0;
    std::uint64_t chunksWritten = 0;
    std::uint64_t banksLoaded = 0;
    std::uint64_t edits = 0;
    std::uint64_t knobs = 0;
    std::uint64_t auditions = 0;
};

void runUserInterface(DrumPlugin& plugin, const std::string& chunkA, const std::string& chunkB,
                      const std::string& fileA, const std::string& fileB,
                      std::chrono::steady_clock::time_point end, UiCounts& counts) {
    vst::AEffect* effect = plugin.aeffect();
    PluginController& controller = plugin.controller();
    PatternEditing& editing = *static_cast<PanelEditor*>(plugin.editor())->editing();
    std::minstd_rand random(11);
    std::uint64_t round = 0;
    while (std::chrono::steady_clock::now() < end) {
        ++round;
        switch (random() % 10) {
        case 0: {
            std::string chunk = (round % 2 == 0) ? chunkA : chunkB;
            effect->dispatcher(effect, vst::effSetChunk, 0,
                               static_cast<vst::VstIntPtr>(chunk.size()), chunk.data(), 0.0f);
            ++counts.chunksApplied;
            break;
        }
        case 1:
            counts.chunksWritten += chunkOf(plugin).empty() ? 0 : 1;
            break;
        case 2:
            counts.banksLoaded += controller.loadBankFile(round % 2 == 0 ? fileA : fileB) > 0;
            break;
        case 3:
            // Step entry and clearing on the closed hat row of the edited pattern.
            editing.setEditedPattern(static_cast<int>(random() % kPatternCount));
            counts.edits += editing.pressStepKey(static_cast<int>(random() % 16), kKeyPlain, {});
            counts.edits += editing.clearPattern({});
            break;
        case 4:
            // Rotation keeps the bass drum and snare rows whole.
            counts.edits += editing.rotatePattern(ShiftDirection::Right, {});
            counts.edits += editing.copyPattern();
            break;
        case 5:
            // The randomizer on the closed hat row alone.
            editing.setRandomizerMode(true);
            editing.selectRow(kCH, true, {false, true});
            counts.edits += editing.nextPattern({});
            editing.setRandomizerMode(false);
            break;
        case 6:
            plugin.setParameter(static_cast<vst::VstInt32>(random() % kNumHostParameters),
                                static_cast<float>(random() % 1000) / 1000.0f);
            ++counts.knobs;
            break;
        case 7:
            counts.auditions += controller.requestAudition(static_cast<int>(random() % 11), 0.6f);
            break;
        case 8:
            controller.setRange(static_cast<int>(random() % 12), 11);
            controller.requestTransport(round % 3 == 0 ? kTransportStopCont : kTransportPlay);
            break;
        default:
            effect->dispatcher(effect, vst::effEditIdle, 0, 0, nullptr, 0.0f);
            break;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 3.0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--seconds" && i + 1 < argc) {
            const std::string_view value = argv[++i];
            const auto result = std::from_chars(value.data(), value.data() + value.size(), seconds);
            if (result.ec != std::errc() || result.ptr != value.data() + value.size() ||
                !(seconds > 0.0)) {
                std::fprintf(stderr, "vorpalix_stress: --seconds needs a positive number\n");
                return 2;
            }
        } else {
            std::fprintf(stderr, "vorpalix_stress: unknown option %s (use --seconds S)\n", argv[i]);
            return 2;
        }
    }

    DrumPlugin plugin(&stressHost, panelEditorFactory());
    vst::AEffect* effect = plugin.aeffect();
    effect->dispatcher(effect, vst::effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
    effect->dispatcher(effect, vst::effSetBlockSize, 0, kBlock, nullptr, 0.0f);
    effect->dispatcher(effect, vst::effMainsChanged, 0, 1, nullptr, 0.0f);

    // The two chunks, taken from the plug-in itself before the threads start. Their edit state
    // has write mode on and the closed hat row edited, where the edits stay off the checked rows.
    PatternEditing& editing = *static_cast<PanelEditor*>(plugin.editor())->editing();
    editing.setWriteMode(true);
    editing.setEditedRow(kCH);
    plugin.controller().setSequencerSync(kSyncExternal);
    plugin.controller().replaceBank(makeBank(true));
    const std::string chunkA = chunkOf(plugin);
    plugin.controller().replaceBank(makeBank(false));
    const std::string chunkB = chunkOf(plugin);
    const std::string folder = "/tmp/vorpalix-stress-" + std::to_string(::getpid());
    const std::string fileA = folder + "-a.xml";
    const std::string fileB = folder + "-b.xml";
    if (chunkA.empty() || chunkB.empty() || !plugin.controller().saveBankFile(fileB)) {
        std::fprintf(stderr, "vorpalix_stress: could not prepare the two banks\n");
        return 1;
    }
    plugin.controller().replaceBank(makeBank(true));
    if (!plugin.controller().saveBankFile(fileA)) {
        std::fprintf(stderr, "vorpalix_stress: could not prepare the two banks\n");
        return 1;
    }

    Counts audio;
    UiCounts ui;
    std::atomic<bool> stop{false};
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                         std::chrono::duration<double>(seconds));
    std::thread audioThread(runAudio, std::ref(plugin), std::ref(stop), std::ref(audio));
    runUserInterface(plugin, chunkA, chunkB, fileA, fileB, end, ui);
    stop.store(true, std::memory_order_relaxed);
    audioThread.join();
    effect->dispatcher(effect, vst::effMainsChanged, 0, 0, nullptr, 0.0f);
    std::remove(fileA.c_str());
    std::remove(fileB.c_str());

    std::printf("blocks %llu (%.1f s of audio), pattern checks %llu, mixed patterns %llu, "
                "mixed banks %llu\n",
                static_cast<unsigned long long>(audio.blocks),
                static_cast<double>(audio.blocks) * kBlock / kRate,
                static_cast<unsigned long long>(audio.patternChecks),
                static_cast<unsigned long long>(audio.mixedPatterns),
                static_cast<unsigned long long>(audio.mixedBanks));
    std::printf(
        "chunks applied %llu, chunks written %llu, banks loaded %llu, edits %llu, "
        "knobs %llu, auditions %llu, commands refused %llu\n",
        static_cast<unsigned long long>(ui.chunksApplied),
        static_cast<unsigned long long>(ui.chunksWritten),
        static_cast<unsigned long long>(ui.banksLoaded), static_cast<unsigned long long>(ui.edits),
        static_cast<unsigned long long>(ui.knobs), static_cast<unsigned long long>(ui.auditions),
        static_cast<unsigned long long>(plugin.controller().refusedCommands()));
    if (audio.blocks == 0 || ui.chunksApplied == 0 || audio.hits == 0) {
        std::fprintf(stderr, "vorpalix_stress: the run did too little to tell anything\n");
        return 1;
    }
    if (audio.mixedPatterns != 0 || audio.mixedBanks != 0) {
        std::fprintf(stderr, "vorpalix_stress: playback heard a bank in part\n");
        return 1;
    }
    return 0;
}
