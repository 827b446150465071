#include "sequencer/PatternSequencer.h"

namespace vorpalix {

PatternSequencer::PatternSequencer(DrumPlugin& plugin, DrumEngine& engine)
    : plugin_(plugin), engine_(engine) {}

void PatternSequencer::beginBlock() {}
void PatternSequencer::startBlock() {}
void PatternSequencer::runFrame() {}
void PatternSequencer::endFrame() {}
void PatternSequencer::queueEvents(const vst::VstEvents*) {}
void PatternSequencer::readPatternBank(const xmlNode*) {}

} // namespace vorpalix
