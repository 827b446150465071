#pragma once

// The tags of the panel's controls. A described control takes the index of the parameter whose
// name it bears, so the panel-only controls 86..192 share the parameter table's name space; the
// tags from 193 on exist only inside the editor (the About box and the preset browser).

#include "dsp/Instruments.h"
#include "dsp/ParameterIndex.h"

namespace vorpalix {

enum PanelTag : int {
    kTagPattAttrFlam = 86,
    kTagPattAttrShuffle = 87,
    kTagPattAttrTotalAccent = 88,
    kTagPattTriggerAttr = 89,
    kTagPattRandomizer = 90,
    kTagPattRandUndo = 91,
    kTagIntSeqState = 92,
    kTagIntSeqSync = 93,
    kTagIntSeqMode = 94,
    kTagPlay = 95,
    kTagStopCont = 96,
    kTagPattAutoFollow = 97,
    kTagClearPattern = 98,
    kTagCopyPattern = 99,
    kTagFlamMode = 100,
    kTagLastStepMode = 101,
    kTagNextPattern = 102,
    kTagPastePattern = 103,
    kTagPrevPattern = 104,
    kTagRescalePattern = 105,
    kTagScalePattern = 106,
    kTagShiftPatternLeft = 107,
    kTagShiftPatternRight = 108,
    kTagTapMode = 109,
    kTagWriteMode = 110,
    kTagFirstStep = 111,   // Step 1 .. Step 16: 111..126
    kTagFirstSelect = 127, // BD Select .. RD Select: 127..137
    kTagInstrumentSelector = 138,
    kTagDigit01 = 139,
    kTagDigit1 = 140,
    kTagDigit10 = 141,
    kTagDigit100 = 142,
    kTagAbout = 143,
    kTagMidiLearn = 144,
    kTagPatternName = 145,
    kTagPatternLoad = 146,
    kTagPatternSave = 147,
    kTagPatternLoadBank = 148,
    kTagPatternSaveBank = 149,
    kTagPresetName = 150,
    kTagPresetSelect = 151,
    kTagPresetUp = 152,
    kTagPresetDown = 153,
    kTagPresetLoad = 154,
    kTagPresetSave = 155,
    kTagPresetLoadSet = 156,
    kTagPresetSaveSet = 157,
    kTagPresetLoadBank = 158,
    kTagPresetSaveBank = 159,
    kTagFirstOutNum = 160,           // BD Out Num .. RD Out Num: 160..170
    kTagFirstPresetInstrument = 171, // BD Preset Select .. RD Preset Select: 171..181
    kTagFirstLevelKnobMode = 182,    // BD Level Knob Mode .. RD Level Knob Mode: 182..192

    // Editor-only tags.
    kTagAboutClose = 193,
    kTagFirstPresetSlot = 195,     // the browser's 32 preset slots: 195..226
    kTagFirstPresetSlotName = 227, // their name fields: 227..258
    kTagBrowserClose = 260,
};

inline constexpr int kNumSteps = 16;
inline constexpr int kNumPresetSlots = 32;
inline constexpr int kNumPanelTags = 261; // 0..260

} // namespace vorpalix
