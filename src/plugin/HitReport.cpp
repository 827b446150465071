#include "plugin/HitReport.h"

#include <algorithm>

#include "dsp/DrumEngine.h"

namespace vorpalix {

void HitReport::recordStep(const DrumEngine& engine, int instrument, float baseVelocity,
                           bool totalAccent) {
    if (!engine.isEnabled(instrument)) {
        return;
    }
    if (count_ >= kCapacity) {
        ++lost_;
        return;
    }
    float velocity = baseVelocity;
    if (totalAccent) {
        velocity += static_cast<float>(engine.totalAccent()) * DrumEngine::kAccentStep;
    }
    records_[static_cast<std::size_t>(count_++)] = {frame_, instrument,
                                                    std::clamp(velocity, 0.0f, 1.0f)};
}

bool HitReport::answer(vst::HitReportQuery* query) const {
    if (query == nullptr) {
        return false;
    }
    const int room = query->records != nullptr ? std::max(query->capacity, 0) : 0;
    const int copied = std::min(count_, room);
    std::copy_n(records_.begin(), copied, query->records);
    query->count = copied;
    query->lost = lost_ + (count_ - copied);
    return true;
}

} // namespace vorpalix
