// The pattern file and pattern bank file readers with arbitrary files.

#include "FuzzSupport.h"
#include "sequencer/PatternFiles.h"
#include "sequencer/PatternSequencer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorpalix;
    DrumPlugin& plugin = fuzz::sharedPlugin();
    PatternBank& bank = plugin.processor().sequencer().patterns();
    const std::string& file = fuzz::inputFile(data, size);
    loadPatternFile(bank, size > 0 ? data[0] % 96 : 0, file);
    loadBankFile(bank, file);
    for (int p = 0; p < kPatternCount; ++p) {
        if (bank[p].length() < 1 || bank[p].length() > 16) {
            std::abort();
        }
    }
    // Play what was read: the internal clock runs the chain player over the patterns.
    plugin.controller().setSequencerSync(kSyncInternal);
    plugin.controller().requestTransport(kTransportPlay);
    fuzz::renderAndCheck(plugin);
    return 0;
}
