#pragma once

#include <memory>
#include <vector>

#include "dsp/DrumEngine.h"
#include "plugin/DrumPlugin.h"
#include "presets/PresetBank.h"

namespace vorpalix::test {

// A plug-in object created in-process with a minimal host (version 2400, no time information)
// and the panel's editor object, as the module makes it, then resumed. Lets tests reach the
// operations the panel uses (audition, output numbers) that a host cannot.
struct DirectPlugin {
    static vst::VstIntPtr hostCallback(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32,
                                       vst::VstIntPtr, void*, float) {
        return opcode == vst::audioMasterVersion ? 2400 : 0;
    }

    explicit DirectPlugin(EditorFactory factory = panelEditorFactory())
        : plugin(std::make_unique<DrumPlugin>(&hostCallback, factory)) {
        plugin->dispatcher(vst::effMainsChanged, 0, 1, nullptr, 0.0f);
    }

    // Renders `frames` frames in blocks of `block` into one vector per output channel.
    std::vector<std::vector<float>> render(int frames, int block, bool replacing = true,
                                           float prefill = 0.0f) {
        const int count = plugin->aeffect()->numOutputs;
        std::vector<std::vector<float>> out(count, std::vector<float>(frames, prefill));
        std::vector<float*> pointers(count);
        for (int done = 0; done < frames;) {
            const int n = std::min(block, frames - done);
            for (int c = 0; c < count; ++c) {
                pointers[c] = out[c].data() + done;
            }
            if (replacing) {
                plugin->processReplacing(nullptr, pointers.data(), n);
            } else {
                plugin->process(nullptr, pointers.data(), n);
            }
            done += n;
        }
        return out;
    }

    void processEmptyBlock() { plugin->processReplacing(nullptr, nullptr, 0); }

    std::unique_ptr<DrumPlugin> plugin;
};

inline float peak(const std::vector<float>& channel) {
    float p = 0.0f;
    for (float v : channel) {
        p = std::max(p, std::abs(v));
    }
    return p;
}

} // namespace vorpalix::test
