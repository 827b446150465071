#pragma once

#include <array>
#include <cstdint>

#include "plugin/VstInterface.h"

namespace vorpalix {

class DrumEngine;

// One sequenced hit of the last block: the frame it sounded at (offset from the block start),
// the instrument (0..10) and the velocity the engine played it with (0..1, accents included).
struct HitRecord {
    std::int32_t frame = 0;
    std::int32_t instrument = 0;
    float velocity = 0.0f;
};

// What a host passes with effVendorSpecific and kHitReportIndex to read the hits of the last
// processed block: `records` with room for `capacity` hits. The plug-in fills `count` with the
// hits it copied and `lost` with those that did not fit (in its own record or in the host's).
struct HitReportQuery {
    HitRecord* records = nullptr;
    std::int32_t capacity = 0;
    std::int32_t count = 0;
    std::int32_t lost = 0;
};

// effVendorSpecific index of the hit report ('VxHt'); the dispatcher answers 1 when it filled
// the query, 0 for any other index or a null pointer.
inline constexpr vst::VstInt32 kHitReportIndex = vst::fourCharCode('V', 'x', 'H', 't');

// The sequenced hits of the current block, so that a host can write what the sequencer played
// as notes (MIDI export). A fixed-capacity record that the block routine clears at block start
// and the step triggers fill; hits beyond the capacity are counted, not kept.
//
// Audio thread: beginBlock, setFrame, recordStep and the query all run on the thread that
// processes (a host reads the report between blocks). No allocation, no locks.
class HitReport {
public:
    // Generous: at the fastest tempo, 65536-frame blocks hold a few thousand hits.
    static constexpr int kCapacity = 8192;

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
    bool answer(HitReportQuery* query) const;

    int count() const { return count_; }

private:
    std::array<HitRecord, kCapacity> records_{};
    int count_ = 0;
    int lost_ = 0;
    int frame_ = 0;
};

} // namespace vorpalix
