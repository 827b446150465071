// The pattern file and pattern bank file readers with arbitrary files, read into a bank of their
// own and then loaded by the plug-in and played.

#include <memory>

#include "FuzzSupport.h"
#include "sequencer/PatternFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorpalix;
    DrumPlugin& plugin = fuzz::sharedPlugin();
    const std::string& file = fuzz::inputFile(data, size);
    const int index = size > 0 ? data[0] % kPatternCount : 0;
    auto bank = std::make_unique<PatternBank>();
    loadPatternFile(*bank, index, file);
    loadBankFile(*bank, file);
    for (int p = 0; p < kPatternCount; ++p) {
        if ((*bank)[p].length() < 1 || (*bank)[p].length() > kPatternSteps) {
            std::abort();
        }
    }
    // The same files through the plug-in, then played: the internal clock runs the chain player
    // over the patterns.
    plugin.controller().loadPatternFile(index, file);
    plugin.controller().loadBankFile(file);
    plugin.controller().setSequencerSync(kSyncInternal);
    plugin.controller().requestTransport(kTransportPlay);
    fuzz::renderAndCheck(plugin);
    return 0;
}
