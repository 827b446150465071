#include "Transport.h"

#include <cmath>

namespace vorpalix::host {

void Transport::setSampleRate(double rate) {
    if (rate > 0.0) {
        anchorPpq_ = ppqPosition();
        anchorSample_ = samplePos_;
        sampleRate_ = rate;
    }
}

void Transport::setTempo(double bpm) {
    if (bpm > 0.0) {
        anchorPpq_ = ppqPosition();
        anchorSample_ = samplePos_;
        tempo_ = bpm;
    }
}

void Transport::setPlaying(bool playing) {
    playing_ = playing;
}

void Transport::setTimeSignature(int numerator, int denominator) {
    if (numerator > 0 && denominator > 0) {
        numerator_ = numerator;
        denominator_ = denominator;
    }
}

void Transport::locate(double samplePosition) {
    samplePos_ = samplePosition;
    anchorSample_ = samplePosition;
    anchorPpq_ = samplePosition / samplesPerBeat();
    located_ = true;
}

void Transport::setPosition(double samplePosition, double ppqPosition) {
    samplePos_ = samplePosition;
    anchorSample_ = samplePosition;
    anchorPpq_ = ppqPosition;
}

double Transport::ppqPosition() const {
    return anchorPpq_ + (samplePos_ - anchorSample_) / samplesPerBeat();
}

void Transport::advance(std::int64_t frames) {
    if (playing_ && frames > 0)
        samplePos_ += static_cast<double>(frames);
}

const vst::VstTimeInfo* Transport::answer(vst::VstInt32 requestMask) {
    if (quirks_.answerNull)
        return nullptr;
    const vst::VstInt32 mask = quirks_.ignoreMask ? ~vst::VstInt32{0} : requestMask;

    info_ = vst::VstTimeInfo{};
    info_.samplePos = samplePos_;
    info_.sampleRate = sampleRate_;
    vst::VstInt32 flags = 0;
    if (playing_)
        flags |= vst::kVstTransportPlaying;
    if (playing_ != lastPlaying_ || located_)
        flags |= vst::kVstTransportChanged;
    lastPlaying_ = playing_;
    located_ = false;

    const double ppq = ppqPosition();
    if ((mask & vst::kVstPpqPosValid) && !quirks_.omitPpq) {
        info_.ppqPos = quirks_.reportedPpq.value_or(ppq);
        flags |= vst::kVstPpqPosValid;
    }
    if ((mask & vst::kVstTempoValid) && !quirks_.omitTempo) {
        info_.tempo = quirks_.reportedTempo.value_or(tempo_);
        flags |= vst::kVstTempoValid;
    }
    if ((mask & vst::kVstBarsValid) && !quirks_.omitPpq) {
        // Quarter notes per bar for n/d time is n * 4 / d.
        const double barLength = numerator_ * 4.0 / denominator_;
        info_.barStartPos = std::floor(ppq / barLength + 1e-9) * barLength;
        flags |= vst::kVstBarsValid;
    }
    if (mask & vst::kVstTimeSigValid) {
        info_.timeSigNumerator = numerator_;
        info_.timeSigDenominator = denominator_;
        flags |= vst::kVstTimeSigValid;
    }
    info_.flags = flags;
    return &info_;
}

} // namespace vorpalix::host
