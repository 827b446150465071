#include "dsp/DrumEngine.h"

#include "dsp/LookupTables.h"
#include "dsp/ParameterIndex.h"
#include "dsp/ResonatorLanes.h"
#include "dsp/SimdLanes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include <immintrin.h>

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

// White noise in -0.5..0.5 from two 32-bit words, one value per frame, and from it the band-limited
// noise for the toms, raised by a burst envelope that starts 2 ms after a tom hit. One loop for
// both: the tom noise's filters are a chain of dependent steps, and the generator's work fits in
// between them.
void DrumEngine::renderNoise(int frames) {
    std::uint32_t a = noiseA_;
    std::uint32_t b = noiseB_;
    const double p = tomLowPassPole_;
    const double burstK = 0.04 * rate_.c;
    double s = tomLowPassState_;
    Biquad highPass = tomHighPass_;
    int countdown = tomCountdown_;
    double E = tomE_;
    double k = tomK_;
    const double L = tomL_;
    for (int n = 0; n < frames; ++n) {
        const double white = static_cast<double>(static_cast<std::int32_t>(b)) * 0x1p-32;
        noiseSpan_[n] = white;
        a ^= b;
        b += a;
        s = white * (1.0 - p) + p * s;
        // The high-pass's sum is never -0: the white noise converted from an integer is never -0,
        // so neither is s nor the filter's state (which starts at +0), and a sum or difference
        // is -0 only when its first term is. Its unbiased form therefore equals process(s, 0.0).
        const double h = highPass.processUnbiased(s);
        if (countdown == 0) {
            k = burstK;
            E = L;
        }
        // The countdown stops just below zero instead of running on until it wraps around.
        if (countdown >= 0) {
            --countdown;
        }
        E = E - (E * k + 1e-24);
        tomNoiseSpan_[n] = (8.0 * E + 1.0) * h * (-0.25);
    }
    noiseA_ = a;
    noiseB_ = b;
    noise_ = noiseSpan_[frames - 1];
    tomLowPassState_ = s;
    tomHighPass_ = highPass;
    tomCountdown_ = countdown;
    tomE_ = E;
    tomK_ = k;
    tomNoise_ = tomNoiseSpan_[frames - 1];
}

void DrumEngine::beginBlock() {
    std::fill(std::begin(sounding_), std::end(sounding_), false);
}

void DrumEngine::silenceChannel(int k, int offset, int frames) {
    if (sounding_[k]) {
        std::fill_n(out_[k] + offset, frames, 0.0f);
    }
}

namespace {

// A voice's span into the master sum (a copy for the first voice), and with the master gain into
// output samples, as toSamples, a vector of V at a time (F holds as many floats). Built three
// times: AVX-512 eight values per step, AVX2 four, SSE2 two (below).
template <class V, class F>
[[gnu::always_inline]] inline void mixAndConvertLanes(const double* values, double* sum, bool first,
                                                      float* out, int frames, double gain) {
    using namespace lanes;
    constexpr int kWidth = kCountOf<V>;
    const V G = splat<V>(gain);
    int n = 0;
    for (; n + kWidth <= frames; n += kWidth) {
        const V v = load<V>(values + n);
        if (sum != nullptr) {
            store(sum + n, first ? v : load<V>(sum + n) + v);
        }
        const V x = G * v;
        // |x| >= 1e-30, false for NaN.
        const auto keep = select(x < 0.0, -x, x) >= 1e-30;
        const V bounded = atMost(atLeast(x, -1000.0), 1000.0);
        const F samples = __builtin_convertvector(select(keep, bounded, V{}), F);
        __builtin_memcpy(out + n, &samples, sizeof samples);
    }
    for (; n < frames; ++n) {
        if (sum != nullptr) {
            sum[n] = first ? values[n] : sum[n] + values[n];
        }
        out[n] = _mm_cvtss_f32(toSamples(_mm_mul_pd(_mm_set1_pd(gain), _mm_set1_pd(values[n]))));
    }
}

using Floats8 = float __attribute__((vector_size(32)));
using Floats4 = float __attribute__((vector_size(16)));

[[VORPALIX_AVX512]] void mixAndConvertAvx512(const double* values, double* sum, bool first,
                                             float* out, int frames, double gain) {
    mixAndConvertLanes<lanes::Eight::V, Floats8>(values, sum, first, out, frames, gain);
}

[[gnu::target("avx2")]] void mixAndConvertAvx2(const double* values, double* sum, bool first,
                                               float* out, int frames, double gain) {
    mixAndConvertLanes<lanes::Four::V, Floats4>(values, sum, first, out, frames, gain);
}

void mixAndConvertBase(const double* values, double* sum, bool first, float* out, int frames,
                       double gain) {
    const __m128d G = _mm_set1_pd(gain);
    int n = 0;
    for (; n + 2 <= frames; n += 2) {
        const __m128d v = _mm_loadu_pd(values + n);
        if (sum != nullptr) {
            _mm_storeu_pd(sum + n, first ? v : _mm_add_pd(_mm_loadu_pd(sum + n), v));
        }
        _mm_storel_pi(reinterpret_cast<__m64*>(out + n), toSamples(_mm_mul_pd(G, v)));
    }
    for (; n < frames; ++n) {
        if (sum != nullptr) {
            sum[n] = first ? values[n] : sum[n] + values[n];
        }
        out[n] = _mm_cvtss_f32(toSamples(_mm_mul_pd(G, _mm_set1_pd(values[n]))));
    }
}

} // namespace

void mixAndConvert(const double* values, double* sum, bool first, float* out, int frames,
                   double gain) {
    if (lanes::hasAvx512()) {
        mixAndConvertAvx512(values, sum, first, out, frames, gain);
    } else if (lanes::hasAvx2()) {
        mixAndConvertAvx2(values, sum, first, out, frames, gain);
    } else {
        mixAndConvertBase(values, sum, first, out, frames, gain);
    }
}

void DrumEngine::writeChannel(int k, const double* values, double* sum, bool first, int offset,
                              int frames) {
    float* out = out_[k];
    if (!sounding_[k]) {
        std::fill_n(out, offset, 0.0f);
        sounding_[k] = true;
    }
    mixAndConvert(values, sum, first, out + offset, frames, masterGain_);
}

void DrumEngine::mixVoice(int k, const double* values, int offset, int frames, bool first) {
    // The master sum takes the voices in instrument order, as a frame-by-frame sum would; a
    // silent voice adds exact zeros and is left out.
    writeChannel(k, values, sumSpan_, first, offset, frames);
    mix_[k] = values[frames - 1];
}

namespace {

// The rim shot's three resonators and the clap's one in the four lanes of one vector, while both
// play: the same operations as stepping them one by one, in a quarter of the instructions. The
// clap's stage has an output gain of 1, so its lane's output is its y1 - y4. Returns the frames
// stepped.
[[gnu::target("avx2")]] int
stepResonatorsAvx2(RimShotVoice::Strike& strikeState, RimShotVoice::Tone& toneState,
                   HandClapVoice::Resonance& resonanceState, HandClapVoice::Shape& shapeState,
                   const double* noise, double* rimShot, double* clap, int frames) {
    using V = lanes::Four::V;
    // Local copies: the outputs written through pointers could otherwise alias the voices' state,
    // and the compiler would reload it after every store.
    RimShotVoice::Strike strike = strikeState;
    RimShotVoice::Tone tone = toneState;
    HandClapVoice::Resonance resonance = resonanceState;
    HandClapVoice::Shape shape = shapeState;
    auto& rimShotStages = strike.resonators();
    ResonatorStage* const stages[4] = {&rimShotStages[0], &rimShotStages[1], &rimShotStages[2],
                                       &resonance.resonator()};
    ResonatorLanes<V> resonators(stages);
    const V bias{kAntiDenormal, kAntiDenormal, kAntiDenormal, 0.0};
    int n = 0;
    while (n < frames && strike.playing() && resonance.playing()) {
        const double E = strike.excite();
        resonance.beginStep();
        resonators.advance(V{E, E, E, noise[n]}, bias);
        const V& out = resonators.out;
        rimShot[n] = tone.step(strike.endStep(out[0], out[1], out[2]));
        double P2 = 0.0, T1 = 0.0;
        resonance.endStep(P2, T1);
        clap[n] = shape.step(out[3], P2, T1);
        ++n;
    }
    resonators.store(stages);
    strikeState = strike;
    toneState = tone;
    resonanceState = resonance;
    shapeState = shape;
    return n;
}

} // namespace

// The rim shot's and the clap's resonators are feedback loops that take most of a frame's time
// one after the other; stepped side by side in one loop their frames overlap, and the filters
// after them run in the same loop, in the time the feedback leaves free.
void DrumEngine::renderRimShotAndClap(int frames) {
    rsSounding_ = rs_.isPlaying();
    hcSounding_ = hc_.isPlaying();
    if (!rsSounding_ && !hcSounding_) {
        return;
    }
    RimShotVoice::Strike strike(rs_);
    RimShotVoice::Tone tone(rs_);
    HandClapVoice::Resonance resonance(hc_);
    HandClapVoice::Shape shape(hc_);
    const auto stepRimShot = [&](int n) { rimShotSpan_[n] = tone.step(strike.step()); };
    const auto stepClap = [&](int n) {
        double P2 = 0.0, T1 = 0.0;
        const double r = resonance.step(noiseSpan_[n], P2, T1);
        clapSpan_[n] = shape.step(r, P2, T1);
    };
    int n = 0;
    if (lanes::hasAvx2()) {
        n = stepResonatorsAvx2(strike, tone, resonance, shape, noiseSpan_, rimShotSpan_, clapSpan_,
                               frames);
    }
    for (; n < frames && strike.playing() && resonance.playing(); ++n) {
        stepRimShot(n);
        stepClap(n);
    }
    int rimShotFrames = n;
    for (; rimShotFrames < frames && strike.playing(); ++rimShotFrames) {
        stepRimShot(rimShotFrames);
    }
    int clapFrames = n;
    for (; clapFrames < frames && resonance.playing(); ++clapFrames) {
        stepClap(clapFrames);
    }
    strike.finish();
    tone.finish();
    resonance.finish();
    shape.finish();
    if (rsSounding_) {
        std::fill(rimShotSpan_ + rimShotFrames, rimShotSpan_ + frames, 0.0);
    }
    if (hcSounding_) {
        std::fill(clapSpan_ + clapFrames, clapSpan_ + frames, 0.0);
    }
}

void DrumEngine::render(int offset, int frames) {
    if (frames <= 0) {
        return;
    }
    renderNoise(frames);
    // With no voice playing none would render: every channel reads as silence.
    const Voice* const voices[] = {&bd_, &sd_, &lt_, &mt_, &ht_, &rs_,
                                   &hc_, &ch_, &oh_, &cr_, &rd_};
    if (std::none_of(std::begin(voices), std::end(voices),
                     [](const Voice* v) { return v->isPlaying(); })) {
        rsSounding_ = hcSounding_ = false;
        for (int k = 0; k < OutputFrame::kSize; ++k) {
            if (sounding_[k]) {
                std::fill_n(out_[k] + offset, frames, 0.0f);
            }
            mix_[k] = 0.0;
        }
        return;
    }
    const SpanInputs in{noiseSpan_, tomNoiseSpan_};

    bool any = false;
    auto mix = [&](bool playing, int instrument, const double* values) {
        const int k = 1 + instrument;
        if (playing) {
            mixVoice(k, values, offset, frames, !any);
            any = true;
        } else {
            silenceChannel(k, offset, frames);
            mix_[k] = 0.0;
        }
    };
    auto voice = [&](auto& v, int instrument) {
        mix(v.render(in, voiceSpan_, frames), instrument, voiceSpan_);
    };
    voice(bd_, kBD);
    voice(sd_, kSD);
    // The three toms side by side.
    TomVoice* const toms[3] = {&lt_, &mt_, &ht_};
    double* const tomOut[3] = {tomSpan_[0], tomSpan_[1], tomSpan_[2]};
    const bool tomPlaying[3] = {lt_.isPlaying(), mt_.isPlaying(), ht_.isPlaying()};
    TomVoice::renderGroup(toms, tomOut, 3, in, frames);
    for (int j = 0; j < 3; ++j) {
        mix(tomPlaying[j], kLT + j, tomOut[j]);
    }
    renderRimShotAndClap(frames);
    mix(rsSounding_, kRS, rimShotSpan_);
    mix(hcSounding_, kHC, clapSpan_);
    // The hats and cymbals side by side.
    SampleVoice* const samples[4] = {&ch_, &oh_, &cr_, &rd_};
    double* const sampleOut[4] = {sampleSpan_[0], sampleSpan_[1], sampleSpan_[2], sampleSpan_[3]};
    const bool samplePlaying[4] = {ch_.isSounding(), oh_.isSounding(), cr_.isSounding(),
                                   rd_.isSounding()};
    SampleVoice::renderGroup(samples, sampleOut, 4, in, frames);
    for (int j = 0; j < 4; ++j) {
        mix(samplePlaying[j], kCH + j, sampleOut[j]);
    }

    if (any) {
        writeChannel(OutputFrame::kMaster, sumSpan_, nullptr, false, offset, frames);
        mix_[OutputFrame::kMaster] = sumSpan_[frames - 1];
    } else {
        silenceChannel(OutputFrame::kMaster, offset, frames);
        mix_[OutputFrame::kMaster] = 0.0;
    }
}

void DrumEngine::renderFrame(OutputFrame& out) {
    beginBlock();
    render(0, 1);
    for (int k = 0; k < OutputFrame::kSize; ++k) {
        out.values[k] = sounding_[k] ? out_[k][0] : 0.0f;
    }
}

} // namespace vorpalix
