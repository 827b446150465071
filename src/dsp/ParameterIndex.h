#pragma once

// The one place that names the host parameter indices. The engine, the sequencer, the documents,
// the plug-in and the panel all read parameter numbers from here; no other file spells them.

#include "dsp/Instruments.h"

namespace vorpalix {

// Instrument knobs: six each for BD, SD and the three toms, three each for the others.
enum KnobParameter : int {
    kParamBDLevel = 0,
    kParamBDTune = 1,
    kParamBDPitch = 2,
    kParamBDAttack = 3,
    kParamBDDecay = 4,
    kParamBDTuneDepth = 5,
    kParamSDLevel = 6,
    kParamSDTune = 7,
    kParamSDTone = 8,
    kParamSDTuneDepth = 9,
    kParamSDDecay = 10,
    kParamSDSnappy = 11,
    kParamLTLevel = 12, // LT, MT and HT: Level, Tune, Tone, Tune Depth, Decay, Tune Decay
    kParamMTLevel = 18,
    kParamHTLevel = 24,
    kParamRSLevel = 30, // RS: Level, Tune, Decay
    kParamRSTune = 31,
    kParamRSDecay = 32,
    kParamHCLevel = 33, // HC: Level, Tune, Reverb
    kParamHCTune = 34,
    kParamHCReverb = 35,
    kParamCHLevel = 36, // CH, OH, CR, RD: Level, Tune, Decay
    kParamOHLevel = 39,
    kParamCRLevel = 42,
    kParamRDLevel = 45,
};

// Offsets of a tom's knobs from its Level knob.
enum TomKnob : int {
    kTomLevel = 0,
    kTomTune = 1,
    kTomTone = 2,
    kTomTuneDepth = 3,
    kTomDecay = 4,
    kTomTuneDecay = 5,
    kTomKnobCount = 6,
};

// Offsets of a hat's or cymbal's knobs from its Level knob.
enum SampleKnob : int { kSampleLevel = 0, kSampleTune = 1, kSampleDecay = 2, kSampleKnobCount = 3 };

inline constexpr int kNumKnobs = 48; // instrument knobs 0..47

// Mix, mode and randomizer values.
enum MixParameter : int {
    kParamTempo = 48,
    kParamVolume = 49,
    kParamFlam = 50,
    kParamShuffle = 51,
    kParamTotalAccent = 52,
    kParamFirstMute = 53,      // BD Mute .. RD Mute: 53..63
    kParamFirstSolo = 64,      // BD Solo .. RD Solo: 64..74
    kParamFirstThreshold = 75, // BD .. RD Rand Threshold: 75..85
};

inline constexpr int kNumEngineParameters = kParamFirstSolo + kNumInstruments;    // 0..74
inline constexpr int kNumHostParameters = kParamFirstThreshold + kNumInstruments; // 0..85
inline constexpr int kNumMixValues = kNumHostParameters - kNumKnobs;              // 48..85
inline constexpr int kNumNamedControls = 193; // host parameters and panel controls 0..192

// The Mute and Solo switches of instrument i (0..10).
constexpr int muteParameter(int instrument) {
    return kParamFirstMute + instrument;
}
constexpr int soloParameter(int instrument) {
    return kParamFirstSolo + instrument;
}

// The Level knob of each instrument.
inline constexpr int kLevelParameter[kNumInstruments] = {
    kParamBDLevel, kParamSDLevel, kParamLTLevel, kParamMTLevel, kParamHTLevel, kParamRSLevel,
    kParamHCLevel, kParamCHLevel, kParamOHLevel, kParamCRLevel, kParamRDLevel};

// Number of knobs of each instrument.
inline constexpr int kKnobCount[kNumInstruments] = {6, 6, 6, 6, 6, 3, 3, 3, 3, 3, 3};

static_assert(static_cast<int>(kParamRDLevel) + kSampleKnobCount == kNumKnobs);
static_assert(kNumEngineParameters == 75 && kNumHostParameters == 86);

} // namespace vorpalix
