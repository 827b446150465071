#pragma once

// A plug-in object created in-process for the preset and state tests, and small document
// builders.

#include <memory>
#include <string>

#include "plugin/DrumPlugin.h"
#include "presets/PresetBank.h"
#include "state/XmlDocument.h"

namespace vorpalix::test {

inline vst::VstIntPtr presetTestHost(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32,
                                     vst::VstIntPtr, void*, float) {
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

// A fresh plug-in object with the embedded settings applied.
inline std::unique_ptr<DrumPlugin> makePlugin() {
    return std::make_unique<DrumPlugin>(&presetTestHost);
}

// "<BDPreset name="n"><param name="BD Decay" value="0.25"/>...</BDPreset>" for quick documents.
inline std::string presetXml(const std::string& element, const std::string& name,
                             const std::string& params = "") {
    return "<" + element + " name=\"" + name + "\">" + params + "</" + element + ">";
}

inline std::string paramXml(const std::string& name, const std::string& value) {
    return "<param name=\"" + name + "\" value=\"" + value + "\"/>";
}

} // namespace vorpalix::test
