#include "dsp/DrumEngine.h"

#include "dsp/LookupTables.h"
#include "dsp/ParameterIndex.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include <emmintrin.h>

namespace vorpalix {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// Largest velocity accepted by the trigger operations; sequenced hits reach about 0.88.
constexpr float kMaxVelocity = 1.0f;

// Converts two engine values to output samples at once: non-finite values become silence,
// values too small for a normal float are flushed to 0, and runaway values are bounded. Each lane
// gives exactly what the comparisons and the float conversion would give one value at a time.
__m128 toSamples(__m128d v) {
    const __m128d kTiny = _mm_set1_pd(1e-30);
    const __m128d kLimit = _mm_set1_pd(1000.0);
    const __m128d kNegLimit = _mm_set1_pd(-1000.0);
    const __m128d a = _mm_andnot_pd(_mm_set1_pd(-0.0), v);
    const __m128d keep = _mm_cmpge_pd(a, kTiny); // false for NaN
    // max(v, -L) is (v > -L ? v : -L) and min(x, L) is (x < L ? x : L): infinities reach +-L.
    const __m128d bounded = _mm_min_pd(_mm_max_pd(v, kNegLimit), kLimit);
    return _mm_cvtpd_ps(_mm_and_pd(keep, bounded));
}

} // namespace

DrumEngine::DrumEngine()
    : voices_{&bd_, &sd_, &lt_, &mt_, &ht_, &rs_, &hc_, &ch_, &oh_, &cr_, &rd_}, sampleVoices_{
                                                                                     &ch_, &oh_,
                                                                                     &cr_, &rd_} {
    for (int i = 0; i < kNumInstruments; ++i) {
        mute_[i] = false;
        solo_[i] = false;
    }
    // The shared tables are normally filled at load time; make sure, never on the audio thread.
    LookupTables::build();
    setSampleRate(44100.0f);
}

void DrumEngine::setSampleRate(float rate) {
    if (!std::isfinite(rate) || rate <= 0.0f) {
        return;
    }
    rate = std::clamp(rate, kMinSampleRate, kMaxSampleRate);
    rate_ = SampleRateInfo::fromRate(rate);
    for (Voice* v : voices_) {
        v->setSampleRate(rate);
    }
    tomCountdown_ = 0;
    tomL_ = 0.0;
    tomE_ = 0.0;
    std::fill(std::begin(mix_), std::end(mix_), 0.0);
    noiseA_ = 0x67452301u;
    noiseB_ = 0xEFCDAB89u;
    noise_ = 0.0;
    tomLowPassState_ = 0.0;
    tomNoise_ = 0.0;
    tomHighPass_.clear();
    tomLowPassPole_ = std::exp(-kTwoPi * 640.0 / rate_.rate);
    tomHighPass_.setHighPass(800.0, 1.2, rate_.rate);
    tomK_ = followerCoefficient(0.8, rate_.c);
}

void DrumEngine::setEngineParameter(int index, float value) {
    if (index < 0 || index >= kNumEngineParameters || !std::isfinite(value)) {
        return;
    }
    if (index >= kParamFirstSolo) {
        solo_[index - kParamFirstSolo] = value > 0.5f;
        return;
    }
    if (index >= kParamFirstMute) {
        mute_[index - kParamFirstMute] = value > 0.5f;
        return;
    }
    const double x = std::clamp(static_cast<double>(value), 0.0, 1.0);
    if (index == kParamVolume) {
        masterGain_ = 2.0 * x * x;
        return;
    }
    // Tempo, Flam, Shuffle and Total Accent belong to the sequencer.
    if (index >= kNumKnobs) {
        return;
    }
    switch (index) {
    case kParamBDLevel:
        bd_.setLevel(x);
        return;
    case kParamBDTune:
        bd_.setTune(x);
        return;
    case kParamBDPitch:
        bd_.setPitch(x);
        return;
    case kParamBDAttack:
        bd_.setAttack(x);
        return;
    case kParamBDDecay:
        bd_.setDecay(x);
        return;
    case kParamBDTuneDepth:
        bd_.setTuneDepth(x);
        return;
    case kParamSDLevel:
        sd_.setLevel(x);
        return;
    case kParamSDTune:
        sd_.setTune(x);
        return;
    case kParamSDTone:
        sd_.setTone(x);
        return;
    case kParamSDTuneDepth:
        sd_.setTuneDepth(x);
        return;
    case kParamSDDecay:
        sd_.setDecay(x);
        return;
    case kParamSDSnappy:
        sd_.setSnappy(x);
        return;
    case kParamRSLevel:
        rs_.setLevel(x);
        return;
    case kParamRSTune:
        rs_.setTune(x);
        return;
    case kParamRSDecay:
        rs_.setDecay(x);
        return;
    case kParamHCLevel:
        hc_.setLevel(x);
        return;
    case kParamHCTune:
        hc_.setTune(x);
        return;
    case kParamHCReverb:
        hc_.setReverb(x);
        return;
    default:
        break;
    }
    for (const int t : {kLT, kMT, kHT}) {
        const int knob = index - kLevelParameter[t];
        if (knob >= 0 && knob < kTomKnobCount) {
            setTomKnob(t == kLT ? lt_ : (t == kMT ? mt_ : ht_), knob, x);
            return;
        }
    }
    for (const int h : {kCH, kOH, kCR, kRD}) {
        const int knob = index - kLevelParameter[h];
        if (knob >= 0 && knob < kSampleKnobCount) {
            setSampleKnob(*sampleVoices_[h - kCH], knob, x);
            return;
        }
    }
}

void DrumEngine::setTomKnob(TomVoice& tom, int knob, double x) {
    switch (knob) {
    case kTomLevel:
        tom.setLevel(x);
        break;
    case kTomTune:
        tom.setTune(x);
        break;
    case kTomTone:
        tom.setTone(x);
        break;
    case kTomTuneDepth:
        tom.setTuneDepth(x);
        break;
    case kTomDecay:
        tom.setDecay(x);
        break;
    default:
        tom.setTuneDecay(x);
        break;
    }
}

void DrumEngine::setSampleKnob(SampleVoice& voice, int knob, double x) {
    switch (knob) {
    case kSampleLevel:
        voice.setLevel(x);
        break;
    case kSampleTune:
        voice.setTune(x);
        break;
    default:
        voice.setDecay(x);
        break;
    }
}

void DrumEngine::setTotalAccent(double value) {
    if (std::isfinite(value)) {
        totalAccent_ = std::clamp(value, 0.0, 1.0);
    }
}

bool DrumEngine::isMuted(int instrument) const {
    return isValidInstrument(instrument) && mute_[instrument];
}

bool DrumEngine::isSoloed(int instrument) const {
    return isValidInstrument(instrument) && solo_[instrument];
}

// With any instrument soloed only the soloed ones play and mute is ignored; otherwise every
// instrument that is not muted plays. Derived on demand so that it can never go stale.
bool DrumEngine::isEnabled(int instrument) const {
    if (!isValidInstrument(instrument)) {
        return false;
    }
    for (int i = 0; i < kNumInstruments; ++i) {
        if (solo_[i]) {
            return solo_[instrument];
        }
    }
    return !mute_[instrument];
}

bool DrumEngine::isPlaying(int instrument) const {
    return isValidInstrument(instrument) && voices_[instrument]->isPlaying();
}

const Voice& DrumEngine::voice(int instrument) const {
    return *voices_[std::clamp(instrument, 0, kNumInstruments - 1)];
}

const TomVoice& DrumEngine::tom(int instrument) const {
    return instrument == kMT ? mt_ : (instrument == kHT ? ht_ : lt_);
}

double DrumEngine::voiceOutput(int instrument) const {
    return isValidInstrument(instrument) ? mix_[1 + instrument] : 0.0;
}

void DrumEngine::triggerVoice(int instrument, float velocity) {
    if (!isValidInstrument(instrument) || !std::isfinite(velocity) || !isEnabled(instrument)) {
        return;
    }
    velocity = std::clamp(velocity, 0.0f, kMaxVelocity);
    preTrigger(instrument, velocity);
    voices_[instrument]->trigger(velocity);
}

void DrumEngine::triggerStep(int instrument, bool accent, bool totalAccent) {
    float v = kPlainVelocity;
    if (accent) {
        v += kAccentStep;
    }
    if (totalAccent) {
        v += static_cast<float>(totalAccent_) * kAccentStep;
    }
    triggerVoice(instrument, v);
}

void DrumEngine::triggerStepPlain(int instrument, bool /*ignored*/, bool totalAccent) {
    float v = kPlainVelocity;
    if (totalAccent) {
        v += static_cast<float>(totalAccent_) * kAccentStep;
    }
    triggerVoice(instrument, v);
}

void DrumEngine::triggerStepAccented(int instrument, bool /*ignored*/, bool totalAccent) {
    float v = kAccentedVelocity;
    if (totalAccent) {
        v += static_cast<float>(totalAccent_) * kAccentStep;
    }
    triggerVoice(instrument, v);
}

// Runs before every accepted hit, whatever the voice's Level: any hit cancels a pending tom-noise
// burst, a tom hit schedules a new one 2 ms ahead, and the hi-hats choke each other.
void DrumEngine::preTrigger(int instrument, float velocity) {
    tomL_ = 0.0;
    if (instrument == kLT || instrument == kMT || instrument == kHT) {
        tomL_ = std::max(static_cast<double>(velocity), 0.0);
        tomCountdown_ = static_cast<int>(rate_.rate * 0.002);
        tomK_ = followerCoefficient(0.8, rate_.c);
    }
    if (instrument == kCH) {
        ch_.setChoked(false);
        oh_.setChoked(true);
    } else if (instrument == kOH) {
        oh_.setChoked(false);
        ch_.setChoked(true);
    }
}

// White noise in -0.5..0.5 from two 32-bit words.
void DrumEngine::stepNoise() {
    noise_ = static_cast<double>(static_cast<std::int32_t>(noiseB_)) * 0x1p-32;
    noiseA_ ^= noiseB_;
    noiseB_ += noiseA_;
}

// Band-limited noise for the toms, raised by a burst envelope that starts 2 ms after a tom hit.
void DrumEngine::stepTomNoise() {
    const double p = tomLowPassPole_;
    tomLowPassState_ = noise_ * (1.0 - p) + p * tomLowPassState_;
    const double h = tomHighPass_.process(tomLowPassState_, 0.0);
    if (tomCountdown_ == 0) {
        tomK_ = 0.04 * rate_.c;
        tomE_ = tomL_;
    }
    // The countdown stops just below zero instead of running on until it wraps around.
    if (tomCountdown_ >= 0) {
        --tomCountdown_;
    }
    tomE_ = tomE_ - (tomE_ * tomK_ + 1e-24);
    tomNoise_ = (8.0 * tomE_ + 1.0) * h * (-0.25);
}

void DrumEngine::renderFrame(OutputFrame& out) {
    stepNoise();
    stepTomNoise();
    const FrameInputs in{noise_, tomNoise_};

    mix_[1 + kRS] = rs_.render(in);
    mix_[1 + kHC] = hc_.render(in);
    mix_[1 + kCH] = ch_.render(in);
    mix_[1 + kOH] = oh_.render(in);
    mix_[1 + kRD] = rd_.render(in);
    mix_[1 + kCR] = cr_.render(in);
    mix_[1 + kBD] = bd_.render(in);
    mix_[1 + kSD] = sd_.render(in);
    mix_[1 + kLT] = lt_.render(in);
    mix_[1 + kMT] = mt_.render(in);
    mix_[1 + kHT] = ht_.render(in);

    double sum = 0.0;
#pragma GCC unroll 16
    for (int i = 0; i < kNumInstruments; ++i) {
        sum += mix_[1 + i];
    }
    mix_[OutputFrame::kMaster] = sum;

    // Master gain and conversion, two channels at a time.
    static_assert(OutputFrame::kSize % 2 == 0);
    const __m128d G = _mm_set1_pd(masterGain_);
#pragma GCC unroll 8
    for (int i = 0; i < OutputFrame::kSize; i += 2) {
        const __m128 pair = toSamples(_mm_mul_pd(G, _mm_load_pd(mix_ + i)));
        _mm_storel_pi(reinterpret_cast<__m64*>(out.values + i), pair);
    }
}

} // namespace vorpalix
