#pragma once

#include "plugin/VstInterface.h"

#include <cstdint>
#include <optional>

namespace vorpalix::host {

// The host's song transport as a plug-in sees it through audioMasterGetTime: a playing flag, a
// song position in samples and quarter notes, a tempo and a time signature. The position moves
// only while playing and only when the host advances it after a processed block.
class Transport {
public:
    // How the time request is answered. Real hosts differ; these switches emulate the odd ones.
    struct Quirks {
        bool answerNull = false; // answer 0 instead of a record
        bool omitTempo = false;  // never set kVstTempoValid
        bool omitPpq = false;    // never set kVstPpqPosValid (nor bars)
        bool ignoreMask = false; // fill every group whatever the request asked for
        // Report these values instead of the real ones (0, negative, NaN or infinite allowed), to
        // see how a plug-in copes with nonsense; positions still move at the real tempo.
        std::optional<double> reportedTempo;
        std::optional<double> reportedPpq;
    };

    void setSampleRate(double rate);
    void setTempo(double bpm);
    void setPlaying(bool playing);
    void setTimeSignature(int numerator, int denominator);
    // Moves the song position; the ppq position follows from the current tempo.
    void locate(double samplePosition);
    // Sets both positions as another clock reports them (a JACK transport with bars and beats);
    // unlike locate, this is no jump of its own.
    void setPosition(double samplePosition, double ppqPosition);
    void setQuirks(const Quirks& quirks) { quirks_ = quirks; }
    const Quirks& quirks() const { return quirks_; }

    double sampleRate() const { return sampleRate_; }
    double tempo() const { return tempo_; }
    bool playing() const { return playing_; }
    double samplePosition() const { return samplePos_; }
    // Song position in quarter notes: exact from the last tempo change, never accumulated.
    double ppqPosition() const;
    // Samples per quarter note at the current tempo and rate.
    double samplesPerBeat() const { return sampleRate_ * 60.0 / tempo_; }

    // Moves the song position on by a processed block (only while playing).
    void advance(std::int64_t frames);

    // Answers a time request with the groups the request mask asks for. The transport bits are
    // always reported; kVstTransportChanged is set when the playing state or position differs
    // from what the previous answer implied. Returns null in the answerNull quirk.
    const vst::VstTimeInfo* answer(vst::VstInt32 requestMask);

private:
    double sampleRate_ = 44100.0;
    double tempo_ = 120.0;
    bool playing_ = false;
    int numerator_ = 4;
    int denominator_ = 4;
    double samplePos_ = 0.0;
    // The ppq position is anchorPpq_ at anchorSample_ and moves linearly from there.
    double anchorSample_ = 0.0;
    double anchorPpq_ = 0.0;
    Quirks quirks_;

    // What the previous answer reported, to derive kVstTransportChanged.
    bool lastPlaying_ = false;
    bool located_ = false;

    vst::VstTimeInfo info_{};
};

} // namespace vorpalix::host
