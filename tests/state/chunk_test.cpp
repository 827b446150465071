// The host chunk as a host sees it: the built plug-in loaded through the bundled host.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "PluginHost.h"
#include "state/XmlDocument.h"

namespace vorpalix::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::unique_ptr<host::PluginHost> loadPlugin() {
    auto result = host::PluginHost::load(VORPALIX_PLUGIN_PATH);
    EXPECT_TRUE(result) << result.message;
    if (result.host) {
        result.host->start();
    }
    return std::move(result.host);
}

std::string text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}
Bytes bytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

xmlNode* child(const xmlNode* parent, std::string_view name) {
    for (xmlNode* c : elementChildren(parent)) {
        if (isElement(c, name)) {
            return c;
        }
    }
    return nullptr;
}

xmlNode* nthChild(const xmlNode* parent, int n) {
    for (xmlNode* c : elementChildren(parent)) {
        if (n-- == 0) {
            return c;
        }
    }
    return nullptr;
}

// The element whose attribute has this value among the children of parent.
xmlNode* childWith(const xmlNode* parent, const char* attributeName, std::string_view value) {
    for (xmlNode* c : elementChildren(parent)) {
        if (attribute(c, attributeName) == value) {
            return c;
        }
    }
    return nullptr;
}

// Sets the text of the first element child of row-holding element `row` of a Pattern.
void setRow(xmlNode* pattern, const char* row, const char* steps) {
    xmlNode* r = child(pattern, row);
    ASSERT_NE(r, nullptr);
    xmlNodeSetContent(r, reinterpret_cast<const xmlChar*>(steps));
}

class ChunkTest : public ::testing::Test {
protected:
    std::unique_ptr<host::PluginHost> plugin = loadPlugin();

    std::string chunkText() { return text(plugin->getChunk()); }
    void processBlock() { plugin->processBlock(64); }
};

TEST_F(ChunkTest, DocumentListsItsFiveParts) {
    const XmlDocument document = XmlDocument::parseMemory(chunkText());
    ASSERT_TRUE(isElement(document.root(), "VorpalixBank"));
    std::vector<std::string> names;
    for (const xmlNode* c : elementChildren(document.root())) {
        names.emplace_back(elementName(c));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"NotPresetParams", "PluginState", "PatternBank",
                                               "InstrumentPresetBank", "MidiCCMap"}));
    const xmlNode* values = child(document.root(), "NotPresetParams");
    int count = 0;
    for (const xmlNode* p : elementChildren(values)) {
        EXPECT_TRUE(isElement(p, "param"));
        ++count;
    }
    EXPECT_EQ(count, 38);
    EXPECT_EQ(attribute(nthChild(values, 0), "name"), "Tempo");
    EXPECT_EQ(attribute(nthChild(values, 37), "name"), "RD Rand Threshold");
    EXPECT_EQ(attribute(nthChild(values, 1), "value"), "0.500000");

    int patterns = 0;
    for (const xmlNode* p : elementChildren(child(document.root(), "PatternBank"))) {
        xmlChar* row = xmlNodeGetContent(nthChild(p, 0));
        EXPECT_EQ(xmlStrlen(row), 16) << "rows are always 16 steps";
        xmlFree(row);
        ++patterns;
    }
    EXPECT_EQ(patterns, 96);
    const xmlNode* presets = child(document.root(), "InstrumentPresetBank");
    EXPECT_EQ(attribute(presets, "BDIndex"), "0");
    EXPECT_EQ(attribute(presets, "RDIndex"), "0");
    int assigns = 0;
    for (const xmlNode* a : elementChildren(child(document.root(), "MidiCCMap"))) {
        EXPECT_NE(attribute(a, "CC"), "-1") << "the embedded map assigns every parameter";
        ++assigns;
    }
    EXPECT_EQ(assigns, 86);
}

TEST_F(ChunkTest, WrittenAndAppliedAgainKeepsTheWholeStateByteForByte) {
    // Change every kind of state through a chunk of our own making.
    XmlDocument document = XmlDocument::parseMemory(chunkText());
    xmlNode* root = document.root();
    ASSERT_NE(root, nullptr);

    xmlNode* state = child(root, "PluginState");
    setAttribute(child(state, "InternalSequencer"), "mode", "normal");
    setAttribute(child(state, "InternalSequencer"), "sync", "internal");
    setAttribute(child(state, "PatternRange"), "from", "13");
    setAttribute(child(state, "PatternRange"), "to", "20");
    setAttribute(child(child(state, "Outputs"), "CR"), "out", "3");

    xmlNode* pattern = nthChild(child(root, "PatternBank"), 5);
    setAttribute(pattern, "length", "4");
    setAttribute(pattern, "name", "Beyond length");
    setRow(pattern, "BD", "o...o...o..Xo.oo");

    xmlNode* presets = child(root, "InstrumentPresetBank");
    setAttribute(presets, "SDIndex", "7");
    xmlNode* sdPreset = nthChild(presets, 32 + 7);
    setAttribute(sdPreset, "name", "Restored Snare");
    setAttribute(childWith(sdPreset, "name", "SD Snappy"), "value", "0.937500");

    setAttribute(childWith(child(root, "MidiCCMap"), "param", "Volume"), "CC", "3");
    setAttribute(childWith(child(root, "NotPresetParams"), "name", "Shuffle"), "value", "0.250000");

    ASSERT_EQ(plugin->setChunk(bytes(document.dump())), 1);
    processBlock();
    const std::string first = chunkText();

    // Every change is in the written block.
    const XmlDocument written = XmlDocument::parseMemory(first);
    const xmlNode* writtenState = child(written.root(), "PluginState");
    EXPECT_EQ(attribute(child(writtenState, "InternalSequencer"), "mode"), "normal");
    EXPECT_EQ(attribute(child(writtenState, "InternalSequencer"), "sync"), "internal");
    EXPECT_EQ(attribute(child(writtenState, "PatternRange"), "from"), "13");
    EXPECT_EQ(attribute(child(writtenState, "PatternRange"), "to"), "20");
    EXPECT_EQ(attribute(child(child(writtenState, "Outputs"), "CR"), "out"), "3");
    const xmlNode* writtenPattern = nthChild(child(written.root(), "PatternBank"), 5);
    EXPECT_EQ(attribute(writtenPattern, "length"), "4");
    xmlChar* row = xmlNodeGetContent(child(writtenPattern, "BD"));
    EXPECT_STREQ(reinterpret_cast<const char*>(row), "o...o...o..Xo.oo")
        << "steps beyond the length survive";
    xmlFree(row);
    const xmlNode* writtenPresets = child(written.root(), "InstrumentPresetBank");
    EXPECT_EQ(attribute(writtenPresets, "SDIndex"), "7");
    EXPECT_EQ(attribute(nthChild(writtenPresets, 39), "name"), "Restored Snare");
    EXPECT_EQ(attribute(childWith(child(written.root(), "MidiCCMap"), "param", "Volume"), "CC"),
              "3");
    EXPECT_FLOAT_EQ(plugin->getParameter(11), 0.9375f) << "the selected preset is on the knobs";
    EXPECT_FLOAT_EQ(plugin->getParameter(51), 0.25f);

    // A fresh plug-in given this block writes the same block again.
    auto other = loadPlugin();
    ASSERT_EQ(other->setChunk(bytes(first)), 1);
    other->processBlock(64);
    EXPECT_EQ(text(other->getChunk()), first);
    // And so does the first one after a second round.
    ASSERT_EQ(plugin->setChunk(bytes(first)), 1);
    processBlock();
    EXPECT_EQ(chunkText(), first);
}

TEST_F(ChunkTest, ModeChosenWithoutProcessingIsStillWritten) {
    // A host that restores a project and saves it again before any audio block.
    XmlDocument document = XmlDocument::parseMemory(chunkText());
    setAttribute(child(child(document.root(), "PluginState"), "InternalSequencer"), "mode", "free");
    plugin->setChunk(bytes(document.dump()));
    const XmlDocument written = XmlDocument::parseMemory(chunkText());
    EXPECT_EQ(attribute(child(child(written.root(), "PluginState"), "InternalSequencer"), "mode"),
              "free");
}

TEST_F(ChunkTest, KnobsComeBackThroughTheSelectedPresets) {
    plugin->setParameter(4, 0.8125f); // BD Decay, into BD's selected preset 0
    const Bytes saved = plugin->getChunk();
    auto other = loadPlugin();
    other->setChunk(saved);
    EXPECT_FLOAT_EQ(other->getParameter(4), 0.8125f);
}

TEST_F(ChunkTest, ChunkWithOnlyTempoChangesTheTempoAndNothingElse) {
    processBlock();
    const std::string before = chunkText();
    const std::string block = "<VorpalixBank><NotPresetParams>"
                              "<param name=\"Tempo\" value=\"0.750000\"/>"
                              "</NotPresetParams></VorpalixBank>";
    ASSERT_EQ(plugin->setChunk(bytes(block)), 1);
    processBlock();
    const std::string after = chunkText();
    EXPECT_FLOAT_EQ(plugin->getParameter(48), 0.75f);

    // The two blocks differ in exactly one line: the Tempo value.
    auto lines = [](const std::string& s) {
        std::vector<std::string> out;
        std::size_t start = 0;
        for (std::size_t end; (end = s.find('\n', start)) != std::string::npos; start = end + 1) {
            out.push_back(s.substr(start, end - start));
        }
        return out;
    };
    const auto a = lines(before);
    const auto b = lines(after);
    ASSERT_EQ(a.size(), b.size());
    std::vector<std::string> changed;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) {
            changed.push_back(b[i]);
        }
    }
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_NE(changed[0].find("name=\"Tempo\" value=\"0.750000\""), std::string::npos);
}

TEST_F(ChunkTest, ParamsOutsideTheMixValuesAreSkippedAndValuesPassedAsRead) {
    const std::string block = "<VorpalixBank><NotPresetParams>"
                              "<param name=\"BD Level\" value=\"0.9\"/>"
                              "<param name=\"Patt Attr Flam\" value=\"0.9\"/>"
                              "<param name=\"No Such\" value=\"0.9\"/>"
                              "<param name=\"Volume\"/>"
                              "<param name=\"Shuffle\" value=\"7\"/>"
                              "<param name=\"Flam\" value=\"nan\"/>"
                              "</NotPresetParams></VorpalixBank>";
    const float bdLevel = plugin->getParameter(0);
    const float flam = plugin->getParameter(50);
    plugin->setChunk(bytes(block));
    EXPECT_FLOAT_EQ(plugin->getParameter(0), bdLevel);
    EXPECT_FLOAT_EQ(plugin->getParameter(49), 0.0f) << "a missing value reads 0.0";
    EXPECT_FLOAT_EQ(plugin->getParameter(51), 1.0f) << "setParameter clamps";
    EXPECT_FLOAT_EQ(plugin->getParameter(50), flam) << "setParameter ignores NaN";
}

TEST_F(ChunkTest, ControllerMapOfMinusOnesLeavesTheAssignments) {
    std::string block = "<VorpalixBank><MidiCCMap>";
    for (int i = 0; i < 86; ++i) {
        block += "<assign param=\"" + plugin->parameterName(i) + "\" CC=\"-1\"/>";
    }
    block += "<assign param=\"Volume\" CC=\"200\"/></MidiCCMap></VorpalixBank>";
    const std::string before = chunkText();
    plugin->setChunk(bytes(block));
    EXPECT_EQ(chunkText(), before);
}

TEST_F(ChunkTest, ProgramChunksAreNeitherWrittenNorRead) {
    void* data = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(plugin->dispatch(vst::effGetChunk, 1, 0, &data), 0);
    EXPECT_EQ(data, reinterpret_cast<void*>(0x1234)) << "the host's pointer is untouched";

    const std::string before = chunkText();
    const std::string block = "<VorpalixBank><NotPresetParams>"
                              "<param name=\"Tempo\" value=\"0.1\"/>"
                              "</NotPresetParams></VorpalixBank>";
    EXPECT_EQ(plugin->setChunk(bytes(block), true), 1);
    EXPECT_EQ(chunkText(), before);
}

TEST_F(ChunkTest, BlockStaysValidUntilTheNextCall) {
    void* first = nullptr;
    const auto size = plugin->dispatch(vst::effGetChunk, 0, 0, &first);
    ASSERT_GT(size, 0);
    const std::string copy(static_cast<const char*>(first), static_cast<std::size_t>(size));
    plugin->processBlock(256);
    plugin->setParameter(48, 0.2f);
    EXPECT_EQ(std::memcmp(first, copy.data(), copy.size()), 0);
}

// --- Malformed blocks -----------------------------------------------------------------------

class MalformedChunkTest : public ChunkTest {
protected:
    void SetUp() override {
        processBlock();
        before_ = chunkText();
    }
    void expectUnchanged(const Bytes& block) {
        EXPECT_EQ(plugin->setChunk(block), 1);
        processBlock();
        EXPECT_EQ(chunkText(), before_);
    }
    std::string before_;
};

TEST_F(MalformedChunkTest, GarbageTruncatedEmptyAndNullBlocksChangeNothing) {
    expectUnchanged(bytes("this is not XML at all"));
    expectUnchanged(Bytes{0x00, 0xFF, 0xFE, 0x3C, 0x3C, 0x00});
    const std::string valid = before_;
    std::string changed = valid;
    const std::size_t at = changed.find("name=\"Tempo\" value=\"0.500000\"");
    ASSERT_NE(at, std::string::npos);
    changed.replace(at, 30, "name=\"Tempo\" value=\"0.900000\"");
    expectUnchanged(bytes(changed.substr(0, changed.size() / 2)));
    expectUnchanged(Bytes{});
    EXPECT_EQ(plugin->dispatch(vst::effSetChunk, 0, 4096, nullptr), 1);
    std::uint8_t one = '<';
    EXPECT_EQ(plugin->dispatch(vst::effSetChunk, 0, -5, &one), 1);
    EXPECT_EQ(chunkText(), before_);
}

TEST_F(MalformedChunkTest, OtherRootsChangeNothing) {
    expectUnchanged(bytes("<VorpalixSettings><NotPresetParams><param name=\"Tempo\" "
                          "value=\"0.9\"/></NotPresetParams></VorpalixSettings>"));
    expectUnchanged(bytes("<vorpalixbank><NotPresetParams><param name=\"Tempo\" "
                          "value=\"0.9\"/></NotPresetParams></vorpalixbank>"));
}

TEST_F(MalformedChunkTest, WrongTypesInsideAKnownRootAreSkipped) {
    expectUnchanged(bytes("<VorpalixBank>"
                          "<PluginState><InternalSequencer state=\"maybe\" mode=\"7\"/>"
                          "<PatternRange from=\"x\" to=\"200\"/><Outputs><XX out=\"2\"/>"
                          "</Outputs></PluginState>"
                          "<PatternBank>text only</PatternBank>"
                          "<InstrumentPresetBank BDIndex=\"zero\"><Foo/></InstrumentPresetBank>"
                          "<MidiCCMap><assign param=\"Volume\" CC=\"abc\"/></MidiCCMap>"
                          "<Unknown/></VorpalixBank>"));
    // A value that is there but not a number leaves the parameter alone.
    expectUnchanged(bytes("<VorpalixBank><NotPresetParams><param name=\"Volume\" value=\"abc\"/>"
                          "<param name=\"Tempo\" value=\"\"/></NotPresetParams></VorpalixBank>"));
}

TEST_F(MalformedChunkTest, EnormousBlocksChangeNothingAndDoNotCrash) {
    // 40 MB of one unterminated attribute value.
    std::string huge = "<VorpalixBank><NotPresetParams><param name=\"";
    huge.append(40u << 20, 'a');
    expectUnchanged(bytes(huge));
    // Nesting far deeper than any document of ours.
    std::string deep;
    for (int i = 0; i < 100000; ++i) {
        deep += "<VorpalixBank>";
    }
    expectUnchanged(bytes(deep));
    // A well-formed block with a million entries that name nothing.
    std::string many = "<VorpalixBank><NotPresetParams>";
    for (int i = 0; i < 1000000; ++i) {
        many += "<param name=\"x\"/>";
    }
    many += "</NotPresetParams></VorpalixBank>";
    expectUnchanged(bytes(many));
}

} // namespace
} // namespace vorpalix::test
