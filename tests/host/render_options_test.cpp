// The vorpalix-render command line and timed events, read in-process.

#include "CommandLine.h"
#include "NumberParsing.h"
#include "RenderOptions.h"
#include "TimedEvent.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <clocale>

namespace vorpalix::host {
namespace {

bool parse(std::vector<std::string> args, RenderOptions& options, std::string& error) {
    return parseRenderOptions(args, options, error);
}

TEST(RenderOptions, DefaultsRenderFourBarsAt120BpmAnd44100Hz) {
    RenderOptions options;
    std::string error;
    ASSERT_TRUE(parse({"-o", "x.wav"}, options, error)) << error;
    EXPECT_EQ(options.outputPath, "x.wav");
    EXPECT_EQ(options.sampleRate, 44100);
    EXPECT_EQ(options.blockSize, 256);
    EXPECT_DOUBLE_EQ(options.tempo, 120.0);
    EXPECT_EQ(options.lengthInFrames(), 352800); // 16 beats of 0.5 s
    EXPECT_FALSE(options.accumulate);
    EXPECT_FALSE(options.allOutputs);
}

TEST(RenderOptions, LengthComesFromSecondsOrFromBarsAtTheTempo) {
    RenderOptions seconds;
    std::string error;
    ASSERT_TRUE(parse({"--seconds", "1.5", "--rate", "48000", "-o", "a.wav"}, seconds, error));
    EXPECT_EQ(seconds.lengthInFrames(), 72000);

    RenderOptions bars;
    ASSERT_TRUE(parse({"--bars", "2", "--tempo", "100", "-o", "a.wav"}, bars, error));
    EXPECT_EQ(bars.lengthInFrames(), 211680); // 8 beats of 0.6 s at 44100 Hz

    RenderOptions zero;
    ASSERT_TRUE(parse({"--seconds", "0", "-o", "a.wav"}, zero, error));
    EXPECT_EQ(zero.lengthInFrames(), 0);
}

TEST(RenderOptions, ValuesMayFollowAnEqualsSign) {
    RenderOptions options;
    std::string error;
    ASSERT_TRUE(
        parse({"--rate=96000", "--block=64", "--output=b.wav", "--stems=dir"}, options, error))
        << error;
    EXPECT_EQ(options.sampleRate, 96000);
    EXPECT_EQ(options.blockSize, 64);
    EXPECT_EQ(options.outputPath, "b.wav");
    EXPECT_EQ(options.stemsFolder, "dir");
}

TEST(RenderOptions, InfoTakesAnOptionalPluginPath) {
    RenderOptions bare;
    std::string error;
    ASSERT_TRUE(parse({"--info"}, bare, error));
    EXPECT_TRUE(bare.info);
    EXPECT_TRUE(bare.pluginPath.empty());

    RenderOptions withPath;
    ASSERT_TRUE(parse({"--info", "some.so"}, withPath, error));
    EXPECT_EQ(withPath.pluginPath, "some.so");

    RenderOptions followedByOption;
    ASSERT_TRUE(parse({"--info", "--plugin", "other.so"}, followedByOption, error));
    EXPECT_EQ(followedByOption.pluginPath, "other.so");
}

TEST(RenderOptions, StemsAloneAreEnoughOutput) {
    RenderOptions options;
    std::string error;
    EXPECT_TRUE(parse({"--stems", "out"}, options, error)) << error;
}

TEST(RenderOptions, EventsAreCollectedInOrder) {
    RenderOptions options;
    std::string error;
    ASSERT_TRUE(parse({"--event", "1s:note-on:60:100", "--event", "2b:cc:7:20", "-o", "x.wav"},
                      options, error))
        << error;
    ASSERT_EQ(options.events.size(), 2u);
    EXPECT_EQ(options.events[0].message.data1, 60);
    EXPECT_EQ(options.events[1].message.status, 0xB0);
}

struct BadCommandLine {
    std::vector<std::string> args;
    const char* expectedWords; // part of the message
};

class RenderOptionsRejects : public ::testing::TestWithParam<BadCommandLine> {};

TEST_P(RenderOptionsRejects, WithOneLineNamingTheProblem) {
    RenderOptions options;
    std::string error;
    EXPECT_FALSE(parse(GetParam().args, options, error));
    EXPECT_NE(error.find(GetParam().expectedWords), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    MalformedInput, RenderOptionsRejects,
    ::testing::Values(
        BadCommandLine{{"--frobnicate", "-o", "x.wav"}, "unknown option"},
        BadCommandLine{{"-x", "-o", "x.wav"}, "unknown option"},
        BadCommandLine{{"stray", "-o", "x.wav"}, "unexpected argument"},
        BadCommandLine{{"-o"}, "needs a value"},
        BadCommandLine{{"-o", "x.wav", "--seconds"}, "needs a value"},
        BadCommandLine{{"--quiet=yes", "-o", "x.wav"}, "takes no value"},
        BadCommandLine{{"--rate", "0", "-o", "x.wav"}, "--rate"},
        BadCommandLine{{"--rate", "-44100", "-o", "x.wav"}, "--rate"},
        BadCommandLine{{"--rate", "44.1k", "-o", "x.wav"}, "whole number"},
        BadCommandLine{{"--rate", "44100.5", "-o", "x.wav"}, "whole number"},
        BadCommandLine{{"--rate", "99999999999999999999", "-o", "x.wav"}, "whole number"},
        BadCommandLine{{"--block", "0", "-o", "x.wav"}, "--block"},
        BadCommandLine{{"--block", "-256", "-o", "x.wav"}, "--block"},
        BadCommandLine{{"--block", "", "-o", "x.wav"}, "--block"},
        BadCommandLine{{"--seconds", "-1", "-o", "x.wav"}, "negative"},
        BadCommandLine{{"--bars", "-0.5", "-o", "x.wav"}, "negative"},
        BadCommandLine{{"--seconds", "abc", "-o", "x.wav"}, "number"},
        BadCommandLine{{"--seconds", "1,5", "-o", "x.wav"}, "number"},
        BadCommandLine{{"--seconds", " 1", "-o", "x.wav"}, "number"},
        BadCommandLine{{"--seconds", "nan", "-o", "x.wav"}, "number"},
        BadCommandLine{{"--seconds", "inf", "-o", "x.wav"}, "number"},
        BadCommandLine{{"--seconds", "1e400", "-o", "x.wav"}, "number"},
        BadCommandLine{{"--seconds", "1e9", "-o", "x.wav"}, "too long"},
        BadCommandLine{{"--bars", "1e7", "-o", "x.wav"}, "too long"},
        BadCommandLine{{"--tempo", "0", "-o", "x.wav"}, "--tempo"},
        BadCommandLine{{"--tempo", "fast", "-o", "x.wav"}, "--tempo"},
        BadCommandLine{{"--seconds", "1", "--bars", "1", "-o", "x.wav"}, "not both"},
        BadCommandLine{{"--seconds", "1"}, "no output"},
        BadCommandLine{{"--all", "--stems", "dir"}, "--all needs -o"},
        BadCommandLine{{"-o", ""}, "file name"},
        BadCommandLine{{"--plugin", "", "-o", "x.wav"}, "--plugin"},
        BadCommandLine{{"--event", "1.5:note-on:60:100", "-o", "x.wav"}, "unit"},
        BadCommandLine{{"--events", "/nonexistent/events.txt", "-o", "x.wav"}, "cannot read"}));

TEST(RenderOptions, NumbersIgnoreTheLocale) {
    // A locale with a decimal comma must not change how "1.5" reads.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    const bool haveCommaLocale = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    double value = 0.0;
    EXPECT_TRUE(parseDouble("1.5", value));
    EXPECT_DOUBLE_EQ(value, 1.5);
    EXPECT_FALSE(parseDouble("1,5", value));
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!haveCommaLocale)
        GTEST_SKIP() << "no decimal-comma locale installed; checked in the C locale only";
}

TEST(NumberParsing, WholeTextMustBeTheNumber) {
    std::int64_t n = 7;
    EXPECT_TRUE(parseInt("-12", n));
    EXPECT_EQ(n, -12);
    EXPECT_FALSE(parseInt("+12", n));
    EXPECT_FALSE(parseInt("12 ", n));
    EXPECT_FALSE(parseInt("0x10", n));
    EXPECT_FALSE(parseInt("", n));
    EXPECT_EQ(n, -12) << "failed reads leave the value alone";
    double d = 3.0;
    EXPECT_TRUE(parseDouble("2.5e-3", d));
    EXPECT_DOUBLE_EQ(d, 0.0025);
    EXPECT_FALSE(parseDouble("2.5.1", d));
    EXPECT_FALSE(parseDouble("-nan", d));
    EXPECT_DOUBLE_EQ(d, 0.0025);
}

TEST(CommandLine, HelpListsEveryOptionWithItsValueName) {
    CommandLine line;
    bool seen = false;
    line.add({"--alpha", "-a", CommandLine::Arity::None, "", "first", nullptr});
    line.add({"--beta", "", CommandLine::Arity::Required, "N", "second",
              [&](std::string_view, std::string&) { return seen = true; }});
    line.add({"--gamma", "", CommandLine::Arity::Optional, "X", "third", nullptr});
    const std::string help = line.help();
    EXPECT_NE(help.find("-a, --alpha"), std::string::npos);
    EXPECT_NE(help.find("--beta N"), std::string::npos);
    EXPECT_NE(help.find("--gamma [X]"), std::string::npos);
    std::string error;
    const std::vector<std::string> args = {"--beta", "3", "-a", "--gamma"};
    EXPECT_TRUE(line.parse(args, error)) << error;
    EXPECT_TRUE(seen);
}

TEST(CommandLine, HandlerErrorsStopParsing) {
    CommandLine line;
    int calls = 0;
    line.add({"--n", "", CommandLine::Arity::Required, "N", "",
              [&](std::string_view value, std::string& error) {
                  ++calls;
                  error = "bad " + std::string(value);
                  return value != "x";
              }});
    std::string error;
    const std::vector<std::string> args = {"--n", "1", "--n", "x", "--n", "2"};
    EXPECT_FALSE(line.parse(args, error));
    EXPECT_EQ(error, "bad x");
    EXPECT_EQ(calls, 2);
}

// --- Timed events --------------------------------------------------------------------------------

TEST(TimedEvent, TimesInSecondsSamplesAndBeatsBecomeFrames) {
    std::string error;
    const auto seconds = parseTimedEvent("1.5s:note-on:60:100", error);
    ASSERT_TRUE(seconds) << error;
    EXPECT_EQ(seconds->sampleTime(44100.0, 120.0), 66150);
    EXPECT_EQ(seconds->sampleTime(48000.0, 90.0), 72000);

    const auto samples = parseTimedEvent("100smp:note-off:60:0", error);
    ASSERT_TRUE(samples) << error;
    EXPECT_EQ(samples->sampleTime(44100.0, 120.0), 100);
    EXPECT_EQ(samples->sampleTime(96000.0, 60.0), 100);

    const auto beats = parseTimedEvent("2b:cc:7:64", error);
    ASSERT_TRUE(beats) << error;
    EXPECT_EQ(beats->sampleTime(44100.0, 120.0), 44100); // 2 beats of 0.5 s
    EXPECT_EQ(beats->sampleTime(48000.0, 90.0), 64000);  // 2 beats of 2/3 s
}

TEST(TimedEvent, KindsMapToStatusBytesOnChannelOne) {
    std::string error;
    const auto on = parseTimedEvent("0s:note-on:36:127", error);
    const auto off = parseTimedEvent("0s:note-off:36:0", error);
    const auto cc = parseTimedEvent("0s:cc:123:0", error);
    ASSERT_TRUE(on && off && cc);
    EXPECT_EQ(on->message.status, 0x90);
    EXPECT_EQ(on->message.data1, 36);
    EXPECT_EQ(on->message.data2, 127);
    EXPECT_EQ(off->message.status, 0x80);
    EXPECT_EQ(cc->message.status, 0xB0);
    EXPECT_EQ(cc->message.data1, 123);
}

class TimedEventRejects : public ::testing::TestWithParam<const char*> {};

TEST_P(TimedEventRejects, MalformedEvent) {
    std::string error;
    EXPECT_FALSE(parseTimedEvent(GetParam(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos);
    EXPECT_LT(error.size(), 200u);
}

INSTANTIATE_TEST_SUITE_P(MalformedInput, TimedEventRejects,
                         ::testing::Values("", "1s", "1s:note-on:60", "1s:note-on:60:100:5",
                                           "1.5:note-on:60:100", "1x:note-on:60:100",
                                           "s:note-on:60:100", "-1s:note-on:60:100",
                                           "1.5smp:note-on:60:100", "1e13s:note-on:60:100",
                                           "nans:note-on:1:1", "1s:note-on:128:1",
                                           "1s:note-on:-1:1", "1s:note-on:60:1000",
                                           "1s:note-on:6 0:1", "1s:NOTE-ON:60:1", "1s:pitch:60:1",
                                           "1s:note-on::1", "1s::60:1", "1 s:note-on:60:1",
                                           "99999999999999999999999999999999999999999999999999"
                                           "99999999999999999999999999999999999999999999999999"
                                           "s:note-on:60:100"));

TEST(EventFile, CommentsBlankLinesAndWindowsLineEndsAreSkipped) {
    testing::TempFolder folder;
    const std::string path = folder.write("events.txt", "# a drum fill\n"
                                                        "\n"
                                                        "0s:note-on:36:100   # kick\r\n"
                                                        "   2b:note-on:38:90\n"
                                                        "100smp:cc:7:20");
    std::vector<TimedEvent> events;
    std::string error;
    ASSERT_TRUE(readEventFile(path, events, error)) << error;
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].message.data1, 36);
    EXPECT_EQ(events[1].unit, TimedEvent::Unit::Beats);
    EXPECT_EQ(events[2].sampleTime(44100.0, 120.0), 100);
}

TEST(EventFile, BadLineIsReportedWithItsNumberAndNothingIsAdded) {
    testing::TempFolder folder;
    const std::string path = folder.write("events.txt", "0s:note-on:36:100\n# fine\n1s:boom:1:1\n");
    std::vector<TimedEvent> events;
    std::string error;
    EXPECT_FALSE(readEventFile(path, events, error));
    EXPECT_NE(error.find(path + ":3:"), std::string::npos) << error;
    EXPECT_TRUE(events.empty());
}

TEST(EventFile, MissingFileFolderAndBinaryJunkAreErrors) {
    testing::TempFolder folder;
    std::vector<TimedEvent> events;
    std::string error;
    EXPECT_FALSE(readEventFile(folder.file("absent.txt"), events, error));
    EXPECT_FALSE(readEventFile(folder.path().string(), events, error));
    const std::string junk = folder.write("junk.bin", std::string("\x7f"
                                                                  "ELF\0\0\x01\x02",
                                                                  8));
    EXPECT_FALSE(readEventFile(junk, events, error));
    EXPECT_EQ(error.find('\n'), std::string::npos);
    EXPECT_TRUE(events.empty());
}

TEST(EventFile, EmptyFileAddsNothing) {
    testing::TempFolder folder;
    std::vector<TimedEvent> events;
    std::string error;
    EXPECT_TRUE(readEventFile(folder.write("empty.txt", ""), events, error));
    EXPECT_TRUE(events.empty());
}

} // namespace
} // namespace vorpalix::host
