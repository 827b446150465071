#pragma once

#include <array>
#include <cstdint>

#include "plugin/VstInterface.h"

namespace vorpalix {

class DrumEngine;

// The sequenced hits of the current block, so that a host can write what the sequencer played
// as notes (MIDI export). A fixed-capacity record that the block routine clears at block start
// and the step triggers fill; hits beyond the capacity are counted, not kept.
//
// Audio thread: beginBlock, setFrame, recordStep and the query all run on the thread that
// processes (a host reads the report between blocks). No allocation, no locks.
class HitReport {
public:
    static constexpr int kCapacity = vst::kHitReportCapacity;

    void beginBlock() {
        count_ = 0;
        lost_ = 0;
        frame_ = 0;
    }
    // The frame of the block the sequencer is working on.
    void setFrame(int frame) { frame_ = frame; }
    // A sequenced hit handed to the engine with this base velocity (plain or accented step) and
    // total-accent flag. Hits the engine refuses (a muted instrument, or another one soloed) are
    // not played and not recorded; the velocity is worked out as the engine's step triggers do.
    void recordStep(const DrumEngine& engine, int instrument, float baseVelocity, bool totalAccent);
    // Fills a host's query; false for a null query.
    bool answer(vst::HitReportQuery* query) const;

    int count() const { return count_; }

private:
    std::array<vst::HitRecord, kCapacity> records_{};
    int count_ = 0;
    int lost_ = 0;
    int frame_ = 0;
};

} // namespace vorpalix
