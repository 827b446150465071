#include "state/XmlDocument.h"

#include "StateTestSupport.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace vorpalix {
namespace {

using state_test::DecimalCommaLocale;
using state_test::readBytes;
using state_test::ScratchFolder;
using state_test::writeBytes;

// ---------------------------------------------------------------------------------------------
// Numbers: "%d" and "%f" semantics, independent of the C locale.

TEST(XmlNumbers, IntegersReadLikePercentD) {
    EXPECT_EQ(parseIntText("42"), 42);
    EXPECT_EQ(parseIntText(" \t\n 42"), 42);
    EXPECT_EQ(parseIntText("+7"), 7);
    EXPECT_EQ(parseIntText("-12abc"), -12);
    EXPECT_EQ(parseIntText("12.9"), 12);
    EXPECT_EQ(parseIntText("0x1A"), 0);
    EXPECT_EQ(parseIntText("-1"), -1);
    EXPECT_EQ(parseIntText("007"), 7);
    EXPECT_EQ(parseIntText("2147483647"), INT_MAX);
    EXPECT_EQ(parseIntText("-2147483648"), INT_MIN);
}

TEST(XmlNumbers, IntegersWithoutDigitsFail) {
    EXPECT_FALSE(parseIntText(""));
    EXPECT_FALSE(parseIntText("   "));
    EXPECT_FALSE(parseIntText("abc"));
    EXPECT_FALSE(parseIntText("-"));
    EXPECT_FALSE(parseIntText("- 5"));
    EXPECT_FALSE(parseIntText("+-5"));
    EXPECT_FALSE(parseIntText(".5"));
}

TEST(XmlNumbers, IntegersBeyondTheRangeSaturate) {
    EXPECT_EQ(parseIntText("2147483648"), INT_MAX);
    EXPECT_EQ(parseIntText("-2147483649"), INT_MIN);
    EXPECT_EQ(parseIntText("99999999999999999999999999"), INT_MAX);
    EXPECT_EQ(parseIntText("-99999999999999999999999999"), INT_MIN);
    EXPECT_EQ(parseIntText(std::string(100000, '9')), INT_MAX);
}

TEST(XmlNumbers, FloatsReadLikePercentF) {
    EXPECT_EQ(parseFloatText("0.25"), 0.25f);
    EXPECT_EQ(parseFloatText("  0.5"), 0.5f);
    EXPECT_EQ(parseFloatText("+1"), 1.0f);
    EXPECT_EQ(parseFloatText(" -1.5e2x"), -150.0f);
    EXPECT_EQ(parseFloatText(".5"), 0.5f);
    EXPECT_EQ(parseFloatText("5."), 5.0f);
    EXPECT_EQ(parseFloatText("0.007874016"), 0.007874016f);
    EXPECT_EQ(parseFloatText("0x1p-2"), 0.25f);
    EXPECT_EQ(parseFloatText("0x"), 0.0f);
    // A decimal comma is not part of a number: reading stops in front of it.
    EXPECT_EQ(parseFloatText("1,5"), 1.0f);
    EXPECT_EQ(parseFloatText("inf"), HUGE_VALF);
    EXPECT_EQ(parseFloatText("-Infinity"), -HUGE_VALF);
    ASSERT_TRUE(parseFloatText("nan"));
    EXPECT_TRUE(std::isnan(*parseFloatText("nan")));
}

TEST(XmlNumbers, FloatsWithoutDigitsFail) {
    EXPECT_FALSE(parseFloatText(""));
    EXPECT_FALSE(parseFloatText("+"));
    EXPECT_FALSE(parseFloatText("-"));
    EXPECT_FALSE(parseFloatText("."));
    EXPECT_FALSE(parseFloatText("e5"));
    EXPECT_FALSE(parseFloatText("high"));
    EXPECT_FALSE(parseFloatText(",5"));
}

TEST(XmlNumbers, FloatsBeyondTheRangeOverflowOrUnderflow) {
    EXPECT_EQ(parseFloatText("1e100"), HUGE_VALF);
    EXPECT_EQ(parseFloatText("-1e100"), -HUGE_VALF);
    EXPECT_EQ(parseFloatText("1e-100"), 0.0f);
    EXPECT_EQ(parseFloatText("1e999999999999999999"), HUGE_VALF);
    EXPECT_EQ(parseFloatText("1" + std::string(400, '0')), HUGE_VALF);
    EXPECT_EQ(parseFloatText("0." + std::string(400, '0') + "1"), 0.0f);
    // Many digits, but a small value after the exponent.
    EXPECT_EQ(parseFloatText("1" + std::string(400, '0') + "e-400"), 1.0f);
    EXPECT_EQ(parseFloatText("0x1p+200"), HUGE_VALF);
    EXPECT_EQ(parseFloatText("0x1p-200"), 0.0f);
}

TEST(XmlNumbers, FloatsMatchTheCLibraryInTheCLocale) {
    // Reference: the C library's own "%f" formatting and strtof, in the "C" locale.
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> unit(-2.0f, 2.0f);
    std::uniform_int_distribution<int> exponent(-30, 30);
    for (int i = 0; i < 20000; ++i) {
        const double value = std::ldexp(unit(random), exponent(random));
        char reference[512];
        std::snprintf(reference, sizeof reference, "%f", value);
        ASSERT_EQ(formatFloat(value), reference) << value;
        char exact[64];
        std::snprintf(exact, sizeof exact, "%.9g", value);
        ASSERT_EQ(parseFloatText(exact), std::strtof(exact, nullptr)) << exact;
        ASSERT_EQ(parseFloatText(reference), std::strtof(reference, nullptr)) << reference;
    }
}

TEST(XmlNumbers, FormattingUsesSixDecimalsAndADot) {
    EXPECT_EQ(formatFloat(0.25), "0.250000");
    EXPECT_EQ(formatFloat(1.0), "1.000000");
    EXPECT_EQ(formatFloat(-0.5), "-0.500000");
    EXPECT_EQ(formatFloat(0.0), "0.000000");
    EXPECT_EQ(formatFloat(120.0f), "120.000000");
    EXPECT_EQ(formatFloat(1.0 / 127.0), "0.007874");
    EXPECT_EQ(formatFloat(1e20), "100000000000000000000.000000");
    EXPECT_EQ(formatFloat(DBL_MAX).size(), 309u + 7u);
    EXPECT_EQ(formatInt(0), "0");
    EXPECT_EQ(formatInt(-1), "-1");
    EXPECT_EQ(formatInt(127), "127");
    EXPECT_EQ(formatInt(INT_MIN), "-2147483648");
}

TEST(XmlNumbers, DecimalCommaLocaleChangesNothing) {
    DecimalCommaLocale locale;
    ASSERT_TRUE(locale.active())
        << "the de_DE.UTF-8 locale is missing: run scripts/install-deps.sh";
    EXPECT_EQ(formatFloat(0.25), "0.250000");
    EXPECT_EQ(formatFloat(-1234.5), "-1234.500000");
    EXPECT_EQ(parseFloatText("0.25"), 0.25f);
    EXPECT_EQ(parseFloatText("0,25"), 0.0f);
    EXPECT_EQ(parseFloatText("1e-3"), 0.001f);

    XmlDocument doc = XmlDocument::create("Numbers");
    ASSERT_TRUE(doc);
    setFloatAttribute(doc.root(), "value", 0.75);
    setIntAttribute(doc.root(), "count", -42);
    const std::string text = doc.dump();
    EXPECT_NE(text.find("value=\"0.750000\""), std::string::npos) << text;
    XmlDocument back = XmlDocument::parseMemory(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(readFloatAttribute(back.root(), "value"), 0.75f);
    EXPECT_EQ(readIntAttribute(back.root(), "count"), -42);
}

// ---------------------------------------------------------------------------------------------
// Documents and trees.

TEST(XmlDocumentTree, LibraryIsNewEnough) {
    EXPECT_TRUE(xmlLibraryUsable());
}

TEST(XmlDocumentTree, CreatedDocumentRoundTripsThroughText) {
    XmlDocument doc = XmlDocument::create("VorpalixBank");
    ASSERT_TRUE(doc);
    xmlNode* params = appendElement(doc.root(), "NotPresetParams");
    xmlNode* param = appendElement(params, "param");
    setAttribute(param, "name", "A & B <\"quoted\">");
    setFloatAttribute(param, "value", 0.5);
    appendElement(doc.root(), "PluginState");

    const std::string text = doc.dump();
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", 0), 0u) << text;
    EXPECT_NE(text.find("\n  <NotPresetParams>\n    <param"), std::string::npos) << text;

    XmlDocument back = XmlDocument::parseMemory(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(elementName(back.root()), "VorpalixBank");
    std::vector<std::string> names;
    for (xmlNode* child : elementChildren(back.root())) {
        names.emplace_back(elementName(child));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"NotPresetParams", "PluginState"}));
    const xmlNode* readParam =
        *elementChildren(state_test::childNamed(back.root(), "NotPresetParams")).begin();
    EXPECT_EQ(attribute(readParam, "name"), "A & B <\"quoted\">");
    EXPECT_EQ(attribute(readParam, "value"), "0.500000");
    EXPECT_FALSE(attribute(readParam, "missing"));
    EXPECT_FALSE(readIntAttribute(readParam, "missing"));
}

TEST(XmlDocumentTree, ElementChildrenSkipTextCommentsAndInstructions) {
    XmlDocument doc = XmlDocument::parseMemory(
        "<r>text<!-- c --><a/> more <?pi x?><![CDATA[z]]><b><inner/></b>tail</r>");
    ASSERT_TRUE(doc);
    std::string seen;
    for (xmlNode* child : elementChildren(doc.root())) {
        seen += std::string(elementName(child)) + ";";
    }
    EXPECT_EQ(seen, "a;b;");
    EXPECT_EQ(elementChildren(nullptr).begin(), elementChildren(nullptr).end());
    // Attributes of non-elements do not exist.
    EXPECT_FALSE(attribute(doc.root()->children, "x"));
    EXPECT_FALSE(attribute(nullptr, "x"));
    EXPECT_FALSE(isElement(doc.root()->children, "text"));
}

TEST(XmlDocumentTree, ParsesTheEmbeddedSettingsByName) {
    XmlDocument settings = XmlDocument::parseResource("settings");
    ASSERT_TRUE(settings);
    std::string order;
    for (xmlNode* child : elementChildren(settings.root())) {
        order += std::string(elementName(child)) + ";";
    }
    EXPECT_EQ(elementName(settings.root()), "VorpalixSettings");
    EXPECT_EQ(order.rfind("PluginState;UserSettings;VSTParameters;MidiCCMap;", 0), 0u) << order;
    EXPECT_FALSE(XmlDocument::parseResource("no such resource"));
}

TEST(XmlDocumentTree, ParsesFilesReadWhole) {
    ScratchFolder folder;
    const std::string name = folder.file("doc.xml");
    writeBytes(name, "<?xml version=\"1.0\"?>\n<Settings><x a=\" 12\"/></Settings>\n");
    XmlDocument doc = XmlDocument::parseFile(name);
    ASSERT_TRUE(doc);
    EXPECT_EQ(elementName(doc.root()), "Settings");
    EXPECT_EQ(readIntAttribute(doc.root()->children, "a"), 12);
}

// ---------------------------------------------------------------------------------------------
// Malformed input: every case gives an empty document and nothing crashes.

TEST(XmlDocumentMalformed, BadBytesGiveNoDocument) {
    EXPECT_FALSE(XmlDocument::parseMemory(std::string_view()));
    EXPECT_FALSE(XmlDocument::parseMemory("   "));
    EXPECT_FALSE(XmlDocument::parseMemory("<VorpalixSettings><VSTParameters>"));
    EXPECT_FALSE(XmlDocument::parseMemory("<a></b>"));
    EXPECT_FALSE(XmlDocument::parseMemory("<a/><b/>"));
    EXPECT_FALSE(XmlDocument::parseMemory("<a x='1' x='2'/>"));
    EXPECT_FALSE(XmlDocument::parseMemory(std::string_view("<a>\0</a>", 8)));
    EXPECT_FALSE(XmlDocument::parseMemory("\xff\xfe\x00<\x00"));
    std::string binary;
    std::mt19937 random(7);
    for (int i = 0; i < 4096; ++i) {
        binary.push_back(static_cast<char>(random()));
    }
    EXPECT_FALSE(XmlDocument::parseMemory(binary));
}

TEST(XmlDocumentMalformed, EveryTruncationOfTheSettingsFailsCleanly) {
    const auto bytes = findResource("settings");
    ASSERT_GT(bytes.size(), 1000u);
    // Cutting anywhere before the closing root tag leaves a document that does not parse.
    const std::size_t closing =
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())
            .rfind("</VorpalixSettings>");
    ASSERT_NE(closing, std::string_view::npos);
    for (std::size_t cut = 0; cut < closing; cut += 97) {
        EXPECT_FALSE(XmlDocument::parseMemory(bytes.first(cut))) << cut;
    }
}

TEST(XmlDocumentMalformed, MissingOrUnreadableFilesGiveNoDocument) {
    ScratchFolder folder;
    EXPECT_FALSE(XmlDocument::parseFile(""));
    EXPECT_FALSE(XmlDocument::parseFile(folder.file("absent.xml")));
    EXPECT_FALSE(XmlDocument::parseFile(folder.path().string())); // a folder
    writeBytes(folder.file("empty.xml"), "");
    EXPECT_FALSE(XmlDocument::parseFile(folder.file("empty.xml")));
    writeBytes(folder.file("half.xml"), "<VorpalixSettings><MidiCCMap><assign param=\"Vol");
    EXPECT_FALSE(XmlDocument::parseFile(folder.file("half.xml")));
}

TEST(XmlDocumentMalformed, PipesAndDevicesAreNotRead) {
    // A FIFO nobody writes to would block a plain read forever; an endless device would be read
    // until memory runs out. Both must give no document at once.
    ScratchFolder folder;
    const std::string fifo = folder.file("Vorpalix.ini.xml");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(XmlDocument::parseFile(fifo));
    EXPECT_FALSE(XmlDocument::parseFile("/dev/zero"));
    EXPECT_FALSE(XmlDocument::parseFile("/dev/null"));
}

TEST(XmlDocumentMalformed, HugeAndHostileDocumentsStayBounded) {
    // Nesting far deeper than any real document.
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    for (int i = 0; i < 100000; ++i)
        deep += "</a>";
    XmlDocument deepDoc = XmlDocument::parseMemory(deep); // refused or accepted, never a crash
    if (deepDoc) {
        EXPECT_EQ(elementName(deepDoc.root()), "a");
    }

    // Exponential entity expansion into an attribute.
    const std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\">"
                               "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c "
                               "\"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
                               "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e "
                               "\"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
                               "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g "
                               "\"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
                               "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\"><!ENTITY i "
                               "\"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">"
                               "]><r v=\"&i;\">&i;</r>";
    XmlDocument laughDoc = XmlDocument::parseMemory(laughs);
    if (laughDoc) {
        const std::optional<std::string> v = attribute(laughDoc.root(), "v");
        EXPECT_LT(v.value_or("").size(), 100000000u);
    }

    // A long but legitimate document: 300000 elements with attributes parse.
    std::string many = "<Bank>";
    for (int i = 0; i < 300000; ++i) {
        many += "<param index=\"" + std::to_string(i) + "\" value=\"0.5\"/>";
    }
    many += "</Bank>";
    XmlDocument manyDoc = XmlDocument::parseMemory(many);
    ASSERT_TRUE(manyDoc);
    int count = 0;
    for (xmlNode* child : elementChildren(manyDoc.root())) {
        count += readIntAttribute(child, "index").has_value() ? 1 : 0;
    }
    EXPECT_EQ(count, 300000);
}

// ---------------------------------------------------------------------------------------------
// Saving: the old file stays intact on every failure and no temporary file is left behind.

XmlDocument sampleDocument(int elements) {
    XmlDocument doc = XmlDocument::create("VorpalixBank");
    for (int i = 0; i < elements; ++i) {
        setIntAttribute(appendElement(doc.root(), "param"), "index", i);
    }
    return doc;
}

TEST(XmlDocumentSave, WritesIndentedUtf8AndReplacesTheOldFile) {
    ScratchFolder folder;
    const std::string name = folder.file("bank.xml");
    writeBytes(name, "old content that is longer than nothing");
    ::chmod(name.c_str(), 0640);

    XmlDocument doc = sampleDocument(3);
    ASSERT_TRUE(doc.saveFile(name));
    const std::string written = readBytes(name);
    EXPECT_EQ(written, doc.dump());
    EXPECT_EQ(
        written.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<VorpalixBank>\n  <param", 0),
        0u)
        << written;
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"bank.xml"});
    struct stat info {};
    ASSERT_EQ(::stat(name.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(XmlDocumentSave, SavingThroughALinkKeepsTheLink) {
    ScratchFolder folder;
    const std::string real = folder.file("real.xml");
    const std::string link = folder.file("link.xml");
    writeBytes(real, "old");
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    XmlDocument doc = sampleDocument(1);
    ASSERT_TRUE(doc.saveFile(link));
    struct stat info {};
    ASSERT_EQ(::lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(readBytes(real), doc.dump());
}

TEST(XmlDocumentSave, FailedWriteLeavesTheOldFileByteIdentical) {
    ScratchFolder folder;
    const std::string name = folder.file("bank.xml");
    const std::string old = "<old>exactly these bytes</old>\n";
    writeBytes(name, old);
    XmlDocument doc = sampleDocument(2000); // far larger than the limit below

    // The save runs in a child process whose file size limit makes the write fail half-way.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{256, 256};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            ::_exit(3);
        }
        ::_exit(doc.saveFile(name) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the save reported success, 3: no size limit";
    EXPECT_EQ(readBytes(name), old);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"bank.xml"});
}

TEST(XmlDocumentSave, ReadOnlyFolderLeavesTheOldFileByteIdentical) {
    if (::geteuid() == 0) {
        GTEST_SKIP()
            << "folder permissions do not bind the superuser; the size-limit case covers it";
    }
    ScratchFolder folder;
    const std::string name = folder.file("bank.xml");
    const std::string old = "<old/>\n";
    writeBytes(name, old);
    ::chmod(folder.path().c_str(), 0555);
    EXPECT_FALSE(sampleDocument(5).saveFile(name));
    ::chmod(folder.path().c_str(), 0755);
    EXPECT_EQ(readBytes(name), old);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"bank.xml"});
}

TEST(XmlDocumentSave, UnwritableTargetsFailWithoutSideEffects) {
    ScratchFolder folder;
    XmlDocument doc = sampleDocument(1);
    // A folder is never replaced.
    std::filesystem::create_directory(folder.path() / "dir.xml");
    writeBytes(folder.file("dir.xml/inside"), "keep");
    EXPECT_FALSE(doc.saveFile(folder.file("dir.xml")));
    EXPECT_EQ(readBytes(folder.file("dir.xml/inside")), "keep");
    // A folder that does not exist.
    EXPECT_FALSE(doc.saveFile(folder.file("missing/bank.xml")));
    // No name writes nothing.
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    EXPECT_FALSE(doc.saveFile(""));
    std::filesystem::current_path(cwd);
    // An empty document writes nothing.
    EXPECT_FALSE(XmlDocument().saveFile(folder.file("none.xml")));
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"dir.xml"});
}

} // namespace
} // namespace vorpalix
