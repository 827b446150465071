// The standalone vorpalix program under a private JACK server with the dummy back end: its
// ports, MIDI input, JACK transport, the state kept between runs and an NSM session.

#include "SequencerHostSupport.h"
#include "support/JackTestSupport.h"
#include "support/ProcessRunner.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <jack/transport.h>
#include <lo/lo.h>

#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace vorpalix::testing {
namespace {

using namespace seq;

const std::string kProgram = VORPALIX_STANDALONE_PATH;
constexpr double kRate = DummyJackServer::kRate;
constexpr int kPeriod = DummyJackServer::kPeriod;

std::string readText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A state: closed hat on every fourth step of pattern `slot`, the other patterns up to it empty,
// the chain on pattern `chain`, the Tempo knob at `bpm`, the sequencer in external sync (the
// default), as a file in `folder`.
std::string hatState(const TempFolder& folder, int slot, int chain, int bpm) {
    TestPattern p;
    p.rows[kCH] = "o...o...o...o...";
    SequencerSettings settings;
    settings.sync = "external";
    settings.rangeFrom = settings.rangeTo = chain;
    std::string chunk = sequencerChunk({{slot, p}}, settings);
    const std::string params = "<NotPresetParams><param name=\"Tempo\" value=\"" +
                               formatFloat(tempoKnob(bpm)) + "\"/></NotPresetParams>";
    chunk.insert(chunk.find("<PluginState>"), params);
    return folder.write("state.xml", chunk);
}

class Standalone : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sharedJackServer().running()) << "jackd did not start";
        env_ = {{"XDG_CONFIG_HOME", config_.path().string()}, {"NSM_URL", ""}};
    }

    // Starts the program as JACK client `client` and waits until its MIDI port exists. Every
    // start takes a new client name: the server may still be clearing away the last client of
    // a name when the next one comes.
    std::unique_ptr<BackgroundProcess> start(std::vector<std::string> args, JackProbe& probe,
                                             const std::string& client) {
        args.insert(args.begin(), {"--no-gui", "--name", client});
        auto process = std::make_unique<BackgroundProcess>(kProgram, args, env_);
        EXPECT_TRUE(probe.waitForPort(client + ":Vorpalix MIDI In")) << process->errorOutput();
        return process;
    }

    TempFolder config_;
    std::vector<std::pair<std::string, std::string>> env_;
};

TEST_F(Standalone, RegistersAPortPerPinAndConnectsTheMasterUnlessAsked) {
    JackProbe probe("probe");
    ASSERT_TRUE(probe.ok());
    // The default name is the product's; the second instance is named on the command line.
    // The first runs where no X display can be opened, even on a desktop.
    auto noDisplay = env_;
    noDisplay.emplace_back("DISPLAY", "");
    auto connected =
        std::make_unique<BackgroundProcess>(kProgram, std::vector<std::string>{}, noDisplay);
    ASSERT_TRUE(probe.waitForPort("Vorpalix:Vorpalix MIDI In")) << connected->errorOutput();
    auto unconnected = start({"--no-connect"}, probe, "Second");

    std::vector<std::string> expected = {"VX Master L", "VX Master R"};
    for (int k = 1; k <= 11; ++k) {
        expected.push_back("VRPLX " + std::to_string(k) + " L");
        expected.push_back("VRPLX " + std::to_string(k) + " R");
    }
    const char** ports =
        jack_get_ports(probe.client(), "^Vorpalix:", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
    ASSERT_NE(ports, nullptr);
    std::vector<std::string> names;
    for (int i = 0; ports[i] != nullptr; ++i)
        names.emplace_back(ports[i] + std::string("Vorpalix:").size());
    jack_free(ports);
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);

    auto connections = [&](const std::string& port) {
        const char** list = jack_port_get_all_connections(
            probe.client(), jack_port_by_name(probe.client(), port.c_str()));
        std::vector<std::string> result;
        for (int i = 0; list != nullptr && list[i] != nullptr; ++i)
            result.emplace_back(list[i]);
        jack_free(list);
        return result;
    };
    EXPECT_EQ(connections("Vorpalix:VX Master L"), std::vector<std::string>{"system:playback_1"});
    EXPECT_EQ(connections("Vorpalix:VX Master R"), std::vector<std::string>{"system:playback_2"});
    EXPECT_TRUE(connections("Vorpalix:VRPLX 1 L").empty());
    EXPECT_TRUE(connections("Second:VX Master L").empty());
    EXPECT_EQ(connected->stop(SIGTERM), 0) << connected->errorOutput();
    // Asked for the panel where no X display can be opened, it runs without a window and says so.
    EXPECT_NE(connected->errorOutput().find("running without a window"), std::string::npos)
        << connected->errorOutput();
    EXPECT_EQ(unconnected->stop(SIGTERM), 0) << unconnected->errorOutput();
}

// Frames where a hat hit starts in the recording, from the origin: the first sample above a
// level after a stretch below it longer than the hit's decay.
std::vector<std::int64_t> hitsIn(const JackProbe& probe) {
    constexpr float kLevel = 0.02f;
    constexpr std::int64_t kQuiet = 4000;
    std::vector<std::int64_t> hits;
    std::int64_t quiet = kQuiet;
    const auto& samples = probe.recorded(0);
    for (std::size_t n = 0; n < samples.size(); ++n) {
        if (std::abs(samples[n]) >= kLevel) {
            if (quiet >= kQuiet)
                hits.push_back(static_cast<std::int64_t>(n));
            quiet = 0;
        } else {
            ++quiet;
        }
    }
    return hits;
}

TEST_F(Standalone, MidiPatternKeyAndStartPlayTheStepsOnTime) {
    TempFolder folder;
    JackProbe probe("probe");
    ASSERT_TRUE(probe.ok());
    auto vorpalix = start({"--state", hatState(folder, 7, 0, 120), "--no-connect"}, probe, "Keys");
    ASSERT_TRUE(probe.connect(probe.midiOutName(), "Keys:Vorpalix MIDI In"));
    ASSERT_TRUE(probe.connect("Keys:VX Master L", probe.inputName(0)));

    // The state's chain is the empty pattern 0; the pattern key of pattern 7 (note 19) chooses
    // the hat pattern, and note 0 starts the chain 6000 frames later.
    constexpr std::int64_t kStart = 8000;
    probe.arm({{2000, {0x90, 19, 100}}, {2100, {0x80, 19, 0}}, {kStart, {0x90, 0, 100}}},
              static_cast<std::int64_t>(2.2 * kRate), 2 * kPeriod);
    ASSERT_TRUE(probe.waitForRecording(15000));
    const auto hits = hitsIn(probe);
    // Nothing plays before the start, then the hat every four sixteenths at 120 BPM.
    const double every = 4 * kRate * 60.0 / 120.0 / 4.0; // 24000 frames
    // The note reaches the program in the cycle it was sent or the next one (JACK orders the
    // two clients either way): one period, and a few frames of the hat's attack below the level.
    ASSERT_GE(hits.size(), 4u) << "hits: " << hits.size();
    for (std::size_t k = 0; k < 4; ++k)
        EXPECT_NEAR(static_cast<double>(hits[k]), kStart + k * every + kPeriod / 2.0,
                    kPeriod / 2.0 + 16)
            << "hit " << k;
    EXPECT_EQ(vorpalix->stop(SIGTERM), 0) << vorpalix->errorOutput();
}

TEST_F(Standalone, JackTransportTempoReachesTheSequencerInExternalSync) {
    TempFolder folder;
    JackProbe probe("probe");
    ASSERT_TRUE(probe.ok());
    ASSERT_TRUE(probe.becomeTimebaseMaster(150.0));
    // The panel's tempo is 90; the transport's 150 must win.
    auto vorpalix = start({"--state", hatState(folder, 0, 0, 90), "--no-connect"}, probe, "Synced");
    ASSERT_TRUE(probe.connect("Synced:VX Master L", probe.inputName(0)));
    jack_transport_locate(probe.client(), 0);
    probe.arm({}, static_cast<std::int64_t>(2.5 * kRate), 0);
    jack_transport_start(probe.client());
    ASSERT_TRUE(probe.waitForRecording(15000));
    jack_transport_stop(probe.client());

    const auto hits = hitsIn(probe);
    ASSERT_GE(hits.size(), 4u);
    const double every = kRate * 60.0 / 150.0; // a beat: 19200 frames
    for (std::size_t k = 1; k < hits.size(); ++k)
        EXPECT_NEAR(static_cast<double>(hits[k] - hits[k - 1]), every, kPeriod + 16.0)
            << "hit " << k;
    EXPECT_EQ(vorpalix->stop(SIGTERM), 0) << vorpalix->errorOutput();
}

TEST_F(Standalone, QuitSavesTheStateAndTheNextStartRestoresIt) {
    TempFolder folder;
    JackProbe probe("probe");
    ASSERT_TRUE(probe.ok());
    const std::string saved = config_.file("vorpalix/state.xml");
    const std::string marker = "name=\"Tempo\" value=\"" + formatFloat(tempoKnob(90)) + "\"";

    auto first = start({"--state", hatState(folder, 3, 3, 90), "--no-connect"}, probe, "First");
    ASSERT_EQ(first->stop(SIGTERM), 0) << first->errorOutput();
    // The server has let the client go before the next one comes.
    ASSERT_TRUE(probe.waitForPortGone("First:Vorpalix MIDI In"));
    ASSERT_NE(readText(saved).find(marker), std::string::npos) << "the quit did not save";
    struct stat before {};
    ASSERT_EQ(stat(saved.c_str(), &before), 0);

    // No --state: the saved file comes back and is written anew (a new file, by rename).
    auto second = start({"--no-connect"}, probe, "Again");
    ASSERT_EQ(second->stop(SIGTERM), 0) << second->errorOutput();
    struct stat after {};
    ASSERT_EQ(stat(saved.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
    const std::string text = readText(saved);
    EXPECT_NE(text.find(marker), std::string::npos);
    EXPECT_NE(text.find("<PatternRange from=\"3\" to=\"3\"/>"), std::string::npos);
    EXPECT_TRUE(config_.entries() == std::vector<std::string>{"vorpalix"});
}

TEST_F(Standalone, FailsWithOneLine) {
    TempFolder folder;
    const std::string notState = folder.write("notes.txt", "not a state\n");
    struct Case {
        std::vector<std::string> args;
        std::vector<std::pair<std::string, std::string>> env;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{"--audio", "jack"}, {{"JACK_DEFAULT_SERVER", "vorpalix-none"}}, "no JACK server"},
        {{"--state", folder.file("missing.xml")}, {}, "cannot read the state file"},
        {{"--state", notState}, {}, "not a Vorpalix state"},
        {{"--audio", "pulse"}, {}, "--audio needs"},
        {{"--plugin", folder.file("none.so")}, {}, "cannot find plug-in file"},
    };
    for (const auto& c : cases) {
        auto env = env_;
        env.insert(env.end(), c.env.begin(), c.env.end());
        BackgroundProcess run(kProgram, c.args, env);
        EXPECT_GT(run.wait(10000), 0) << c.says;
        const std::string err = run.errorOutput();
        EXPECT_EQ(lineCount(err), 1) << err;
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
    }
    EXPECT_TRUE(config_.entries().empty()) << "a failed start saved a state";
}

TEST(StandaloneHelp, ListsEveryOption) {
    const ProcessResult result = runProcess(kProgram, {"--help"});
    EXPECT_EQ(result.exitCode, 0);
    for (const char* option : {"--help", "--no-gui", "--state", "--no-connect", "--audio", "--name",
                               "--rate", "--period", "--plugin"})
        EXPECT_NE(result.out.find(option), std::string::npos) << option;
}

// --- NSM --------------------------------------------------------------------------------------

// A session manager stand-in: an OSC server that records what the client sends.
struct NsmStandIn {
    NsmStandIn() {
        server = lo_server_new_with_proto(nullptr, LO_UDP, nullptr);
        lo_server_add_method(server, nullptr, nullptr, &NsmStandIn::record, this);
        char* url = lo_server_get_url(server);
        this->url = url;
        std::free(url);
    }
    ~NsmStandIn() { lo_server_free(server); }

    static int record(const char* path, const char* types, lo_arg** argv, int argc, lo_message m,
                      void* self) {
        auto* nsm = static_cast<NsmStandIn*>(self);
        std::string text = path;
        for (int i = 0; i < argc; ++i)
            if (types[i] == 's')
                text += std::string(" ") + &argv[i]->s;
        nsm->received.push_back(text);
        if (nsm->client == nullptr) {
            lo_address from = lo_message_get_source(m);
            nsm->client = lo_address_new(lo_address_get_hostname(from), lo_address_get_port(from));
        }
        return 0;
    }
    // Waits until `count` messages starting with `prefix` have come.
    bool waitFor(const std::string& prefix, int timeoutMs = 10000, int count = 1) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            int seen = 0;
            for (const auto& m : received)
                seen += m.rfind(prefix, 0) == 0 ? 1 : 0;
            if (seen >= count)
                return true;
            lo_server_recv_noblock(server, 50);
        }
        return false;
    }

    lo_server server = nullptr;
    lo_address client = nullptr;
    std::string url;
    std::vector<std::string> received;
};

TEST_F(Standalone, NsmOpensAndSavesTheStateInTheSessionFolder) {
    TempFolder session;
    NsmStandIn nsm;
    JackProbe probe("probe");
    ASSERT_TRUE(probe.ok());
    auto env = env_;
    env.back() = {"NSM_URL", nsm.url};
    BackgroundProcess vorpalix(kProgram, {"--no-gui"}, env);

    ASSERT_TRUE(nsm.waitFor("/nsm/server/announce Vorpalix :optional-gui:"))
        << vorpalix.errorOutput();
    lo_send_from(nsm.client, nsm.server, LO_TT_IMMEDIATE, "/reply", "ssss", "/nsm/server/announce",
                 "welcome", "Stand-in", ":server-control:");
    const std::string instance = (session.path() / "Vorpalix.nVXTEST").string();
    lo_send_from(nsm.client, nsm.server, LO_TT_IMMEDIATE, "/nsm/client/open", "sss",
                 instance.c_str(), "Vorpalix", "nVXTEST");
    ASSERT_TRUE(nsm.waitFor("/reply /nsm/client/open")) << vorpalix.errorOutput();
    // The session's client id names the JACK client.
    EXPECT_TRUE(probe.waitForPort("nVXTEST:Vorpalix MIDI In", 2000));
    EXPECT_TRUE(nsm.waitFor("/nsm/client/gui_is_hidden"));

    // Without an editor a request to show the window is answered with the window hidden.
    lo_send_from(nsm.client, nsm.server, LO_TT_IMMEDIATE, "/nsm/client/show_optional_gui", "");
    EXPECT_TRUE(nsm.waitFor("/nsm/client/gui_is_hidden", 10000, 2));
    lo_send_from(nsm.client, nsm.server, LO_TT_IMMEDIATE, "/nsm/client/save", "");
    ASSERT_TRUE(nsm.waitFor("/reply /nsm/client/save")) << vorpalix.errorOutput();
    EXPECT_NE(readText(instance + "/state.xml").find("<VorpalixBank"), std::string::npos);

    EXPECT_EQ(vorpalix.stop(SIGTERM), 0) << vorpalix.errorOutput();
    EXPECT_TRUE(config_.entries().empty()) << "the session's state leaked outside it";
}

} // namespace
} // namespace vorpalix::testing
