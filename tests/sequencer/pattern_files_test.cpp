// Pattern files and pattern bank files: the documents as written, round trips, partial and
// oversized banks, safe saving (a failed save keeps the old file byte for byte), and malformed
// input that must change nothing.

#include "EditingTestSupport.h"
#include "sequencer/PatternBank.h"
#include "sequencer/PatternFiles.h"
#include "state/StateTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vorpalix {
namespace {

using state_test::readBytes;
using state_test::ScratchFolder;
using state_test::writeBytes;
using test::rowCodes;
using test::storeRowCodes;

// The 16-step text of every row. Files carry rows as text, where an empty step and an accent
// without a hit both read ".", so patterns are compared in that form.
std::string allRows(const Pattern& p) {
    std::string text;
    for (int row = 0; row < 12; ++row) {
        text += p.formatRow(row, false) + "|";
    }
    return text;
}

void expectSamePattern(const Pattern& a, const Pattern& b) {
    EXPECT_EQ(allRows(a), allRows(b));
    EXPECT_EQ(a.name(), b.name());
    EXPECT_EQ(a.length(), b.length());
    EXPECT_EQ(a.stepsPerBeat(), b.stepsPerBeat());
    EXPECT_EQ(a.shuffle(), b.shuffle());
    EXPECT_EQ(a.flam(), b.flam());
    EXPECT_EQ(a.totalAccent(), b.totalAccent());
}

// A bank whose every slot is recognisable by name and steps.
std::unique_ptr<PatternBank> markedBank(const std::string& prefix) {
    auto bank = std::make_unique<PatternBank>();
    for (int i = 0; i < kPatternCount; ++i) {
        Pattern& p = (*bank)[i];
        p.setName(prefix + std::to_string(i));
        p.setStep(i % 12, i % 16, 5);
        p.setStep((i + 5) % 12, (i * 7) % 16, 2);
    }
    return bank;
}

std::string patternXml(const std::string& name, const std::string& kickRow) {
    return "<Pattern name=\"" + name +
           "\" length=\"16\" stepsPerBeat=\"4\" shuffle=\"0.000000\" flam=\"0.500000\" "
           "totalAccent=\"0.500000\"><BD>" +
           kickRow + "</BD></Pattern>";
}

std::string bankXml(int patterns, const std::string& between = "") {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PatternBank>";
    for (int i = 0; i < patterns; ++i) {
        text += between + patternXml("File " + std::to_string(i), "o...............");
    }
    return text + between + "</PatternBank>\n";
}

// --- Documents as written --------------------------------------------------------------------

TEST(PatternFiles, PatternFileHoldsOnePatternWithRowsOfItsLength) {
    ScratchFolder folder;
    PatternBank bank;
    Pattern& p = bank[7];
    p.setName("Twelve");
    p.setLength(12);
    p.setShuffle(0.25f);
    storeRowCodes(p, 0, "5010000000002222");
    const std::string file = folder.file("twelve.xml");
    ASSERT_TRUE(savePatternFile(bank, 7, file));
    const std::string text = readBytes(file);
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Pattern name=\"Twelve\" "
                         "length=\"12\" stepsPerBeat=\"4\" shuffle=\"0.250000\" flam=\"0.500000\" "
                         "totalAccent=\"0.500000\">\n  <BD>O.o.........</BD>\n",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find("  <TA>............</TA>\n</Pattern>\n"), std::string::npos) << text;
}

TEST(PatternFiles, BankFileHoldsAll96PatternsIndented) {
    ScratchFolder folder;
    auto bank = markedBank("P");
    (*bank)[3].setLength(5);
    const std::string file = folder.file("bank.xml");
    ASSERT_TRUE(saveBankFile(*bank, file));
    const std::string text = readBytes(file);
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PatternBank>\n  <Pattern "
                         "name=\"P0\"",
                         0),
              0u);
    std::size_t count = 0;
    for (std::size_t at = text.find("<Pattern "); at != std::string::npos;
         at = text.find("<Pattern ", at + 1)) {
        ++count;
    }
    EXPECT_EQ(count, 96u);
    EXPECT_NE(text.find("    <BD>.....</BD>"), std::string::npos); // slot 3 written to length 5
}

// --- Round trips -----------------------------------------------------------------------------

TEST(PatternFiles, TwelveStepPatternLoadsBackWithStepsBeyondItsLengthClear) {
    ScratchFolder folder;
    PatternBank bank;
    Pattern& p = bank[0];
    p.setName("Round trip");
    p.setLength(12);
    p.setStepsPerBeat(6);
    p.setFlam(0.75f);
    p.setTotalAccent(0.125f);
    for (int row = 0; row < 12; ++row) {
        storeRowCodes(p, row, "5126010250165555");
    }
    const std::string file = folder.file("p.xml");
    ASSERT_TRUE(savePatternFile(bank, 0, file));

    ASSERT_TRUE(loadPatternFile(bank, 40, file));
    const Pattern& loaded = bank[40];
    EXPECT_EQ(loaded.name(), "Round trip");
    EXPECT_EQ(loaded.length(), 12);
    EXPECT_EQ(loaded.stepsPerBeat(), 6);
    EXPECT_EQ(loaded.flam(), 0.75f);
    EXPECT_EQ(loaded.totalAccent(), 0.125f);
    EXPECT_EQ(rowCodes(loaded, 0), "5126010250160000");
    // Loading over the source itself also clears what lay beyond the length.
    ASSERT_TRUE(loadPatternFile(bank, 0, file));
    EXPECT_EQ(rowCodes(bank[0], 3), "5126010250160000");
}

TEST(PatternFiles, PatternFileReplacesTheWholeTargetPattern) {
    ScratchFolder folder;
    PatternBank bank;
    const std::string file = folder.file("p.xml");
    ASSERT_TRUE(savePatternFile(bank, 0, file)); // a default pattern
    Pattern& target = bank[9];
    target.setName("Old");
    target.setLength(3);
    target.setStepsPerBeat(8);
    target.setShuffle(1.0f);
    storeRowCodes(target, 4, "5555000000000000");
    ASSERT_TRUE(loadPatternFile(bank, 9, file));
    expectSamePattern(bank[9], Pattern{});
}

TEST(PatternFiles, BankRoundTripRestoresEverySlot) {
    ScratchFolder folder;
    auto original = markedBank("Slot ");
    (*original)[95].setLength(9);
    (*original)[95].setStepsPerBeat(3);
    const std::string file = folder.file("bank.xml");
    ASSERT_TRUE(saveBankFile(*original, file));
    auto loaded = markedBank("Other ");
    EXPECT_EQ(loadBankFile(*loaded, file), 96);
    for (int i = 0; i < kPatternCount; ++i) {
        SCOPED_TRACE(i);
        Pattern expected = (*original)[i];
        // Rows are written to the length: steps beyond it do not travel.
        for (int row = 0; row < 12; ++row) {
            for (int step = expected.length(); step < 16; ++step) {
                expected.storeStep(row, step, StepFlags{});
            }
        }
        expectSamePattern((*loaded)[i], expected);
    }
}

TEST(PatternFiles, BankFileWithThreePatternsReplacesOnlyTheFirstThreeSlots) {
    ScratchFolder folder;
    const std::string file = folder.file("three.xml");
    writeBytes(file, bankXml(3));
    auto bank = markedBank("Kept ");
    EXPECT_EQ(loadBankFile(*bank, file), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ((*bank)[i].name(), "File " + std::to_string(i));
        EXPECT_EQ(rowCodes((*bank)[i], 0), "1000000000000000");
    }
    auto untouched = markedBank("Kept ");
    for (int i = 3; i < kPatternCount; ++i) {
        expectSamePattern((*bank)[i], (*untouched)[i]);
    }
}

TEST(PatternFiles, BankFileWithOneHundredPatternsFillsAllSlotsAndIgnoresTheRest) {
    ScratchFolder folder;
    const std::string file = folder.file("hundred.xml");
    writeBytes(file, bankXml(100));
    auto bank = markedBank("Kept ");
    EXPECT_EQ(loadBankFile(*bank, file), 96);
    EXPECT_EQ((*bank)[0].name(), "File 0");
    EXPECT_EQ((*bank)[95].name(), "File 95");
}

TEST(PatternFiles, CommentsAndTextBetweenPatternsReadTheSame) {
    ScratchFolder folder;
    const std::string plain = folder.file("plain.xml");
    const std::string noisy = folder.file("noisy.xml");
    writeBytes(plain, bankXml(5));
    writeBytes(noisy, bankXml(5, "\n  some text <!-- a comment --> <?pi data?>\n"));
    auto a = markedBank("K");
    auto b = markedBank("K");
    EXPECT_EQ(loadBankFile(*a, plain), 5);
    EXPECT_EQ(loadBankFile(*b, noisy), 5);
    for (int i = 0; i < kPatternCount; ++i) {
        expectSamePattern((*a)[i], (*b)[i]);
    }
}

TEST(PatternFiles, OtherElementsInsideABankAreSkipped) {
    ScratchFolder folder;
    const std::string file = folder.file("mixed.xml");
    writeBytes(file, "<PatternBank><Preset/>" + patternXml("A", "O") + "<pattern/>" +
                         patternXml("B", "x") + "</PatternBank>");
    auto bank = markedBank("K");
    EXPECT_EQ(loadBankFile(*bank, file), 2);
    EXPECT_EQ((*bank)[0].name(), "A");
    EXPECT_EQ((*bank)[1].name(), "B");
    EXPECT_EQ((*bank)[2].name(), "K2");
}

// --- Saving never loses the old file ---------------------------------------------------------

TEST(PatternFiles, EmptyFileNameWritesNothing) {
    ScratchFolder folder;
    PatternBank bank;
    const std::string cwd = std::filesystem::current_path().string();
    std::filesystem::current_path(folder.path());
    EXPECT_FALSE(savePatternFile(bank, 0, ""));
    EXPECT_FALSE(saveBankFile(bank, ""));
    std::filesystem::current_path(cwd);
    EXPECT_TRUE(folder.entries().empty());
}

TEST(PatternFiles, PatternIndexOutsideTheBankWritesNothing) {
    ScratchFolder folder;
    PatternBank bank;
    EXPECT_FALSE(savePatternFile(bank, 96, folder.file("a.xml")));
    EXPECT_FALSE(savePatternFile(bank, -1, folder.file("b.xml")));
    EXPECT_TRUE(folder.entries().empty());
}

TEST(PatternFiles, SavingReplacesAnExistingFileCompletely) {
    ScratchFolder folder;
    const std::string file = folder.file("p.xml");
    writeBytes(file, std::string(100000, 'z')); // longer than the new document
    PatternBank bank;
    ASSERT_TRUE(savePatternFile(bank, 0, file));
    const std::string text = readBytes(file);
    EXPECT_EQ(text.find('z'), std::string::npos);
    EXPECT_EQ(folder.entries().size(), 1u);
}

TEST(PatternFiles, SaveIntoAMissingFolderFailsWithoutTraces) {
    ScratchFolder folder;
    auto bank = markedBank("P");
    EXPECT_FALSE(saveBankFile(*bank, folder.file("missing/bank.xml")));
    EXPECT_FALSE(savePatternFile(*bank, 0, folder.file("missing/p.xml")));
    EXPECT_TRUE(folder.entries().empty());
}

TEST(PatternFiles, SaveOverAFolderKeepsTheFolder) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder.path() / "taken.xml");
    auto bank = markedBank("P");
    EXPECT_FALSE(saveBankFile(*bank, folder.file("taken.xml")));
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "taken.xml"));
    EXPECT_EQ(folder.entries().size(), 1u);
}

// Runs a save in a child process whose files may not grow beyond limitBytes, so that the
// document is cut short mid-write. Returns the save's result.
bool saveWithFileSizeLimit(const std::function<bool()>& save, rlim_t limitBytes) {
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead of killing
        rlimit limit{limitBytes, limitBytes};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(save() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(PatternFiles, ShortWriteKeepsTheOldBankFileByteForByte) {
    ScratchFolder folder;
    const std::string file = folder.file("bank.xml");
    auto old = markedBank("Old ");
    ASSERT_TRUE(saveBankFile(*old, file));
    const std::string before = readBytes(file);
    ASSERT_GT(before.size(), 8192u);

    auto other = markedBank("New ");
    const bool saved = saveWithFileSizeLimit([&] { return saveBankFile(*other, file); }, 4096);
    EXPECT_FALSE(saved);
    EXPECT_EQ(readBytes(file), before);
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"bank.xml"})); // no temporary left

    // The same save without the limit goes through.
    EXPECT_TRUE(saveWithFileSizeLimit([&] { return saveBankFile(*other, file); }, RLIM_INFINITY));
    EXPECT_NE(readBytes(file), before);
}

TEST(PatternFiles, ShortWriteKeepsTheOldPatternFileByteForByte) {
    ScratchFolder folder;
    const std::string file = folder.file("p.xml");
    const std::string before = "<Pattern name=\"mine\"/>\n";
    writeBytes(file, before);
    PatternBank bank;
    bank[0].setName("A longer name here");
    const bool saved = saveWithFileSizeLimit([&] { return savePatternFile(bank, 0, file); }, 64);
    EXPECT_FALSE(saved);
    EXPECT_EQ(readBytes(file), before);
    EXPECT_EQ(folder.entries().size(), 1u);
}

// --- Malformed input changes nothing ---------------------------------------------------------

TEST(PatternFiles, MalformedFilesChangeNothing) {
    ScratchFolder folder;
    const std::string good = bankXml(4);
    const std::vector<std::pair<std::string, std::string>> files = {
        {"truncated", good.substr(0, good.size() / 2)},
        {"cut in a tag", good.substr(0, good.find("<Pattern ") + 12)},
        {"empty", ""},
        {"binary", std::string("\x00\xff\xfe\x01<PatternBank>", 17)},
        {"not xml", "PatternBank: 3 patterns"},
        {"wrong root", "<PresetBank>" + patternXml("Intruder", "O") + "</PresetBank>"},
        {"lower-case root", "<patternbank>" + patternXml("Intruder", "O") + "</patternbank>"},
        {"two roots", "<PatternBank/><PatternBank/>"},
    };
    for (const auto& [label, bytes] : files) {
        SCOPED_TRACE(label);
        const std::string file = folder.file("bad.xml");
        writeBytes(file, bytes);
        auto bank = markedBank("K");
        EXPECT_EQ(loadBankFile(*bank, file), 0);
        EXPECT_FALSE(loadPatternFile(*bank, 5, file));
        auto reference = markedBank("K");
        for (int i = 0; i < kPatternCount; ++i) {
            expectSamePattern((*bank)[i], (*reference)[i]);
        }
    }
}

TEST(PatternFiles, WrongRootForEachKindOfFileChangesNothing) {
    ScratchFolder folder;
    const std::string bankFile = folder.file("bank.xml");
    const std::string patternFile = folder.file("pattern.xml");
    writeBytes(bankFile, bankXml(2));
    writeBytes(patternFile, patternXml("Single", "OOOO"));
    auto bank = markedBank("K");
    EXPECT_FALSE(loadPatternFile(*bank, 0, bankFile));     // a bank is not a pattern
    EXPECT_EQ(loadBankFile(*bank, patternFile), 0);        // a pattern is not a bank
    EXPECT_FALSE(loadPatternFile(*bank, 96, patternFile)); // no such slot
    EXPECT_FALSE(loadPatternFile(*bank, 0, folder.file("absent.xml")));
    EXPECT_EQ(loadBankFile(*bank, folder.file("absent.xml")), 0);
    EXPECT_EQ(loadBankFile(*bank, folder.path().string()), 0); // a folder
    auto reference = markedBank("K");
    for (int i = 0; i < kPatternCount; ++i) {
        expectSamePattern((*bank)[i], (*reference)[i]);
    }
}

TEST(PatternFiles, OutOfRangeValuesInAFileFallBackToDefaults) {
    ScratchFolder folder;
    const std::string file = folder.file("odd.xml");
    writeBytes(file, "<Pattern name=\"" + std::string(40, 'n') +
                         "\" length=\"17\" stepsPerBeat=\"5\" shuffle=\"-3\" flam=\"2\" "
                         "totalAccent=\"abc\"><BD>OoXx.?OoXx.?OoXx.?OoXx</BD><SD>o</SD></Pattern>");
    PatternBank bank;
    bank[1].setName("Before");
    ASSERT_TRUE(loadPatternFile(bank, 1, file));
    const Pattern& p = bank[1];
    EXPECT_EQ(p.name(), std::string(18, 'n'));
    EXPECT_EQ(p.length(), 16);
    EXPECT_EQ(p.stepsPerBeat(), 4);
    EXPECT_EQ(p.shuffle(), 0.0f);
    EXPECT_EQ(p.flam(), 1.0f);
    EXPECT_EQ(p.totalAccent(), 0.5f);
    EXPECT_EQ(rowCodes(p, 0), "5162005162005162");
    EXPECT_EQ(rowCodes(p, 1), "1000000000000000");
}

TEST(PatternFiles, HugeBankFileReadsOnly96Patterns) {
    ScratchFolder folder;
    const std::string file = folder.file("huge.xml");
    writeBytes(file, bankXml(5000));
    auto bank = markedBank("K");
    EXPECT_EQ(loadBankFile(*bank, file), 96);
    EXPECT_EQ((*bank)[95].name(), "File 95");
}

} // namespace
} // namespace vorpalix
