// MIDI controllers: the controller map moves parameters with value / 127, controllers above 120
// are neither dispatched nor learnt, and MIDI learn gives a parameter a new controller.

#include "PluginHost.h"
#include "plugin/PluginTestSupport.h"
#include "support/HostFixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace vorpalix {
namespace {

using host::MidiMessage;

constexpr int kVolume = 49;
constexpr int kCrSolo = 73;
constexpr int kRdSolo = 74;

// Sends one controller message in a block of its own and processes the block.
void sendController(host::PluginHost& h, int channel, int controller, int value) {
    h.scheduleRawMidi(0, MidiMessage::controlChange(channel, controller, value));
    h.processBlock(32);
}

TEST(MidiControllers, VolumeControllerMapsValueOver127) {
    auto h = testing::loadVorpalix();
    ASSERT_NE(h, nullptr);
    sendController(*h, 0, 7, 127);
    EXPECT_EQ(h->getParameter(kVolume), 1.0f);
    sendController(*h, 0, 7, 0);
    EXPECT_EQ(h->getParameter(kVolume), 0.0f);
    sendController(*h, 9, 7, 64); // any channel
    EXPECT_FLOAT_EQ(h->getParameter(kVolume), 64.0f / 127.0f);
}

TEST(MidiControllers, OnlyControllersUpTo120AreDispatched) {
    auto h = testing::loadVorpalix();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(h->getParameter(kRdSolo), 0.0f);
    ASSERT_EQ(h->getParameter(kCrSolo), 0.0f);
    sendController(*h, 0, 121, 127); // mapped to RD Solo in the embedded map
    EXPECT_EQ(h->getParameter(kRdSolo), 0.0f);
    sendController(*h, 0, 120, 127); // CR Solo: the last dispatched controller
    EXPECT_EQ(h->getParameter(kCrSolo), 1.0f);
}

TEST(MidiControllers, MalformedDataBytesMoveNoParameter) {
    auto h = testing::loadVorpalix();
    ASSERT_NE(h, nullptr);
    const float volume = h->getParameter(kVolume);
    for (auto m : {MidiMessage{0xB0, 0x87, 0}, MidiMessage{0xB0, 7, 0xFF}}) {
        h->scheduleRawMidi(0, m);
        h->processBlock(32);
        EXPECT_EQ(h->getParameter(kVolume), volume);
    }
}

TEST(MidiControllers, NonControllerMessagesMoveNoParameter) {
    auto h = testing::loadVorpalix();
    ASSERT_NE(h, nullptr);
    std::vector<float> before;
    for (int i = 0; i < 86; ++i) {
        before.push_back(h->getParameter(i));
    }
    for (auto m : {MidiMessage{0xC0, 7, 0}, MidiMessage{0xE0, 0, 127}, MidiMessage{0xA0, 7, 127},
                   MidiMessage{0xD0, 127, 0}, MidiMessage::noteOn(0, 7, 127)}) {
        h->scheduleRawMidi(0, m);
    }
    h->processBlock(64);
    for (int i = 0; i < 86; ++i) {
        EXPECT_EQ(h->getParameter(i), before[static_cast<std::size_t>(i)]) << i;
    }
}

// In-process, since learn mode is switched from the panel.
class MidiLearn : public ::testing::Test {
protected:
    void send(int controller, int value) {
        vst::VstMidiEvent e{};
        e.type = vst::kVstMidiType;
        e.byteSize = sizeof e;
        e.midiData[0] = static_cast<char>(0xB0);
        e.midiData[1] = static_cast<char>(controller);
        e.midiData[2] = static_cast<char>(value);
        struct {
            vst::VstInt32 numEvents;
            vst::VstIntPtr reserved;
            vst::VstEvent* events[2];
        } list{1, 0, {reinterpret_cast<vst::VstEvent*>(&e), nullptr}};
        vst::AEffect* effect = direct.plugin->aeffect();
        effect->dispatcher(effect, vst::effProcessEvents, 0, 0, &list, 0.0f);
        direct.render(16, 16);
        // The idle brings the user interface's copy of the map up to date.
        effect->dispatcher(effect, vst::effEditIdle, 0, 0, nullptr, 0.0f);
    }
    int index(const char* name) {
        return direct.plugin->controller().parameters().indexOfName(name);
    }
    const ControllerMap& map() { return direct.plugin->controller().controllerMap(); }

    test::DirectPlugin direct;
};

TEST_F(MidiLearn, ALearntControllerMovesToTheParameterWithoutChangingIt) {
    const int bdTune = index("BD Tune");
    const int mtTune = index("MT Tune");
    ASSERT_EQ(map().controllerOf(bdTune), 21);
    ASSERT_EQ(map().parameterOf(40), mtTune);
    const float tuneBefore = direct.plugin->getParameter(bdTune);
    const float mtBefore = direct.plugin->getParameter(mtTune);

    direct.plugin->controller().setLearnMode(true);
    direct.plugin->controller().setParameterBeingLearnt(bdTune);
    send(40, 99);
    EXPECT_EQ(map().parameterOf(40), bdTune);
    EXPECT_EQ(map().controllerOf(bdTune), 40);
    EXPECT_EQ(map().parameterOf(21), -1);
    EXPECT_EQ(map().controllerOf(mtTune), -1);
    EXPECT_EQ(direct.plugin->getParameter(bdTune), tuneBefore);
    EXPECT_EQ(direct.plugin->getParameter(mtTune), mtBefore);
    EXPECT_EQ(direct.plugin->controller().parameterBeingLearnt(), -1); // each learn consumes it
    EXPECT_TRUE(direct.plugin->processor().controllerMap() == map()) << "both copies learnt it";

    // The next message on 40 moves BD Tune (learn mode is still on, nothing being learnt).
    send(40, 127);
    EXPECT_EQ(direct.plugin->getParameter(bdTune), 1.0f);
    EXPECT_EQ(direct.plugin->getParameter(mtTune), mtBefore);
}

TEST_F(MidiLearn, ControllersAbove120AreNotLearnt) {
    const int bdTune = index("BD Tune");
    direct.plugin->controller().setLearnMode(true);
    direct.plugin->controller().setParameterBeingLearnt(bdTune);
    send(121, 5);
    send(127, 5);
    EXPECT_EQ(map().controllerOf(bdTune), 21);
    EXPECT_EQ(direct.plugin->controller().parameterBeingLearnt(), bdTune);
}

TEST_F(MidiLearn, SwitchingLearnModeOffForgetsTheParameter) {
    direct.plugin->controller().setLearnMode(true);
    direct.plugin->controller().setParameterBeingLearnt(index("BD Tune"));
    direct.plugin->controller().setLearnMode(false);
    EXPECT_EQ(direct.plugin->controller().parameterBeingLearnt(), -1);
    send(7, 127); // dispatched as usual
    EXPECT_EQ(direct.plugin->getParameter(kVolume), 1.0f);
    EXPECT_EQ(map().controllerOf(index("BD Tune")), 21);
}

} // namespace
} // namespace vorpalix
