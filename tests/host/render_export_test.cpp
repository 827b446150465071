// Stems by instrument and the MIDI export of vorpalix-render, checked against the audio and
// against step times worked out from tempo, shuffle and flam.

#include "SequencerHostSupport.h"
#include "support/ProcessRunner.h"
#include "support/TempFolder.h"
#include "support/WavData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vorpalix::testing {
namespace {

using namespace seq;

const std::string kRender = VORPALIX_RENDER_PATH;

// --- A small Standard MIDI File reader -----------------------------------------------------

struct ReadNote {
    std::int64_t tick;
    int channel;
    int key;
    int velocity;
};

struct ReadMidi {
    int format = -1;
    int tracks = 0;
    int division = 0;
    std::uint32_t tempo = 0; // microseconds per quarter note
    std::vector<ReadNote> notes;
};

std::optional<ReadMidi> readMidi(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> d((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
    std::size_t at = 0;
    auto need = [&](std::size_t n) { return at + n <= d.size(); };
    auto u = [&](int n) {
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i)
            v = (v << 8) | d[at++];
        return v;
    };
    auto tag = [&](const char* t) {
        const bool ok = need(4) && std::equal(t, t + 4, d.begin() + static_cast<long>(at));
        at += 4;
        return ok;
    };
    if (!tag("MThd") || !need(10) || u(4) != 6)
        return std::nullopt;
    ReadMidi midi;
    midi.format = static_cast<int>(u(2));
    midi.tracks = static_cast<int>(u(2));
    midi.division = static_cast<int>(u(2));
    for (int t = 0; t < midi.tracks; ++t) {
        if (!tag("MTrk") || !need(4))
            return std::nullopt;
        const std::uint32_t length = u(4);
        const std::size_t end = at + length;
        if (end > d.size())
            return std::nullopt;
        std::int64_t tick = 0;
        int status = 0;
        while (at < end) {
            std::uint64_t delta = 0;
            do
                delta = (delta << 7) | (d[at] & 0x7F);
            while (d[at++] & 0x80);
            tick += static_cast<std::int64_t>(delta);
            if (d[at] & 0x80)
                status = d[at++];
            if (status == 0xFF) {
                const int type = d[at++];
                const int length = d[at++];
                if (type == 0x51 && length == 3)
                    midi.tempo = (d[at] << 16) | (d[at + 1] << 8) | d[at + 2];
                at += static_cast<std::size_t>(length);
                status = 0;
            } else if ((status & 0xF0) == 0x90 || (status & 0xF0) == 0x80) {
                const int key = d[at++];
                const int velocity = d[at++];
                if ((status & 0xF0) == 0x90 && velocity > 0)
                    midi.notes.push_back({tick, status & 0x0F, key, velocity});
            } else {
                return std::nullopt; // nothing else is written
            }
        }
        at = end;
    }
    return midi;
}

// --- Helpers ---------------------------------------------------------------------------------

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::map<std::string, int> stemChannels(const std::filesystem::path& folder) {
    std::map<std::string, int> channels;
    for (const auto& name : namesIn(folder)) {
        const auto wav = readWav((folder / name).string());
        channels[name] = wav ? wav->channels : -1;
    }
    return channels;
}

const std::vector<std::string> kInstrumentStems = {
    "bass-drum.wav", "snare-drum.wav", "low-tom.wav",   "mid-tom.wav",
    "high-tom.wav",  "rim-shot.wav",   "hand-clap.wav", "closed-hat.wav",
    "open-hat.wav",  "crash.wav",      "ride.wav"};

struct LayoutCase {
    const char* name;
    const char* master; // MasterOutput attributes
    const char* instruments;
    int masterChannels; // 0: no master.wav
    int instrumentChannels;
};

class StemLayouts : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(StemLayouts, GiveOneFilePerOutputNamedAfterItsInstrument) {
    const LayoutCase& c = GetParam();
    TempFolder folder;
    std::filesystem::copy_file(VORPALIX_PLUGIN_PATH, folder.file("vorpalix.so"));
    folder.write("Vorpalix.ini.xml",
                 std::string("<VorpalixSettings><UserSettings><OutputConfig><MasterOutput ") +
                     c.master + "/><InstrumentsOutputs type=\"" + c.instruments +
                     "\"/></OutputConfig></UserSettings></VorpalixSettings>");
    const auto result = runProcess(
        kRender, {"--plugin", folder.file("vorpalix.so"), "--seconds", "0.05", "--stems", "stems"},
        folder.path().string());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::map<std::string, int> expected;
    if (c.masterChannels > 0)
        expected["master.wav"] = c.masterChannels;
    for (const auto& name : kInstrumentStems)
        expected[name] = c.instrumentChannels;
    EXPECT_EQ(stemChannels(folder.path() / "stems"), expected);
}

INSTANTIATE_TEST_SUITE_P(
    ShippedLayouts, StemLayouts,
    ::testing::Values(LayoutCase{"StereoStereo", "state=\"on\" type=\"stereo\"", "stereo", 2, 2},
                      LayoutCase{"MonoMaster", "state=\"on\" type=\"mono\"", "stereo", 1, 2},
                      LayoutCase{"NoMaster", "state=\"off\"", "stereo", 0, 2},
                      LayoutCase{"AllMono", "state=\"on\" type=\"mono\"", "mono", 1, 1},
                      LayoutCase{"NoMasterMono", "state=\"off\"", "mono", 0, 1}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

TEST(StemRouting, ASharedOutputIsNamedAfterItsNumberAndAnEmptyOneGetsNoFile) {
    TempFolder folder;
    const std::string state = folder.write(
        "state.xml", "<VorpalixBank><PluginState><Outputs><BD out=\"3\"/><SD out=\"3\"/>"
                     "<LT out=\"3\"/></Outputs></PluginState></VorpalixBank>");
    const auto result = runProcess(kRender, {"--state", state, "--seconds", "0.05", "--stems", "s"},
                                   folder.path().string());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    // Slots 1 and 2 lost their instruments to slot 3, which three instruments share.
    EXPECT_EQ(namesIn(folder.path() / "s"),
              (std::vector<std::string>{"closed-hat.wav", "crash.wav", "hand-clap.wav",
                                        "high-tom.wav", "master.wav", "mid-tom.wav", "open-hat.wav",
                                        "out-3.wav", "ride.wav", "rim-shot.wav"}));
}

// One bar at 120 BPM and 44100 Hz, pattern amounts in use: shuffle 0.5 (0.4 of a step), flam 0.5
// (0.252 of a step), total accent 0.5.
//   BD steps 0 and 8, step 8 totally accented; SD step 1 accented (shuffled); CH step 3 a flam.
class ExportedRender : public ::testing::Test {
protected:
    static constexpr double kSamplesPerBeat = 22050.0;
    static constexpr double kStep = 0.25;
    static constexpr double kShuffle = 0.4;
    static constexpr double kFlam = 0.5 * 0.262 + 0.121;

    void SetUp() override {
        TestPattern p;
        p.rows[kBD] = "o.......o.......";
        p.rows[kSD] = ".O..............";
        p.rows[kCH] = "...x............";
        p.rows[kTA] = "........o.......";
        p.shuffle = 0.5f;
        SequencerSettings settings;
        settings.sync = "external";
        settings.attributeStore = true;
        const std::string state = folder_.write("state.xml", sequencerChunk({{0, p}}, settings));
        const auto result = runProcess(kRender,
                                       {"--state", state, "--bars", "1", "--stems", "stems",
                                        "--export-midi", "out.mid", "--block", "100"},
                                       folder_.path().string());
        ASSERT_EQ(result.exitCode, 0) << result.err;
        auto midi = readMidi(folder_.file("out.mid"));
        ASSERT_TRUE(midi) << "unreadable MIDI file";
        midi_ = *midi;
    }

    std::vector<std::int64_t> onsetsOf(const std::string& stem) const {
        const auto wav = readWav((folder_.path() / "stems" / stem).string());
        EXPECT_TRUE(wav) << stem;
        return wav ? onsets(wav->channel(0)) : std::vector<std::int64_t>{};
    }
    // Ticks of a frame at 120 BPM (960 per 22050 frames), to the nearest tick.
    static std::int64_t tickOf(double frame) {
        return std::llround(frame * 960.0 / kSamplesPerBeat);
    }

    TempFolder folder_;
    ReadMidi midi_;
};

TEST_F(ExportedRender, InstrumentStemsHoldOnlyTheirOwnHits) {
    EXPECT_EQ(onsetsOf("bass-drum.wav"), (std::vector<std::int64_t>{0, 44100}));
    EXPECT_EQ(onsetsOf("snare-drum.wav").size(), 1u);
    EXPECT_EQ(onsetsOf("closed-hat.wav").size(), 1u); // the flam's two hits run together
    for (const auto& stem : kInstrumentStems) {
        if (stem == "bass-drum.wav" || stem == "snare-drum.wav" || stem == "closed-hat.wav")
            continue;
        EXPECT_TRUE(onsetsOf(stem).empty()) << stem << " sounds";
    }
}

TEST_F(ExportedRender, MidiFileHoldsOneDrumNotePerHitAtItsOnset) {
    EXPECT_EQ(midi_.format, 1);
    EXPECT_EQ(midi_.tracks, 2);
    EXPECT_EQ(midi_.division, 960);
    EXPECT_EQ(midi_.tempo, 500000u);
    ASSERT_EQ(midi_.notes.size(), 5u);
    for (const auto& note : midi_.notes)
        EXPECT_EQ(note.channel, 9);

    const auto bd = onsetsOf("bass-drum.wav");
    const auto sd = onsetsOf("snare-drum.wav");
    const auto ch = onsetsOf("closed-hat.wav");
    ASSERT_EQ(bd.size(), 2u);
    ASSERT_EQ(sd.size(), 1u);
    ASSERT_EQ(ch.size(), 1u);
    // Step times from tempo, shuffle and flam, independent of the audio.
    const double sdBeat = 1 * kStep + kShuffle * kStep;
    const double chBeat = 3 * kStep + kShuffle * kStep;
    EXPECT_NEAR(static_cast<double>(sd[0]), sdBeat * kSamplesPerBeat, 1.0);
    EXPECT_NEAR(static_cast<double>(ch[0]), chBeat * kSamplesPerBeat, 1.0);
    const double flamFrame = (chBeat + kFlam * kStep) * kSamplesPerBeat;

    // In time order: key, velocity (48 plain, +32 accent, +16 total accent at level 0.5; the
    // flam's second hit is accented) and tick.
    const std::vector<ReadNote> expected = {
        {tickOf(bd[0]), 9, 36, 48},     {tickOf(sd[0]), 9, 38, 80}, {tickOf(ch[0]), 9, 42, 48},
        {tickOf(flamFrame), 9, 42, 80}, {tickOf(bd[1]), 9, 36, 64},
    };
    for (std::size_t n = 0; n < expected.size(); ++n) {
        EXPECT_EQ(midi_.notes[n].key, expected[n].key) << "note " << n;
        EXPECT_EQ(midi_.notes[n].velocity, expected[n].velocity) << "note " << n;
        EXPECT_NEAR(midi_.notes[n].tick, expected[n].tick, n == 3 ? 1 : 0) << "note " << n;
    }
}

TEST(MidiExport, RefusesAMissingFolderAndLeavesNoFiles) {
    TempFolder folder;
    const auto result = runProcess(
        kRender, {"--seconds", "0.1", "-o", "out.wav", "--export-midi", "nowhere/out.mid"},
        folder.path().string());
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(lineCount(result.err), 1) << result.err;
    EXPECT_TRUE(folder.entries().empty());
}

} // namespace
} // namespace vorpalix::testing
