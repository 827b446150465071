#pragma once

// Shared pieces of the fuzz targets: a plug-in object made once per process, and a scratch file
// that the file readers load.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "plugin/DrumPlugin.h"

namespace vorpalix::fuzz {

inline vst::VstIntPtr fuzzHost(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr,
                               void*, float) {
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

// One plug-in object for the whole run; inputs build on the state earlier inputs left.
inline DrumPlugin& sharedPlugin() {
    static DrumPlugin* plugin = new DrumPlugin(&fuzzHost);
    return *plugin;
}

// Writes the input to a file of this process and returns its name. The file is removed when
// the run ends.
inline const std::string& inputFile(const std::uint8_t* data, std::size_t size) {
    struct ScratchFile {
        std::string name = "/tmp/vorpalix-fuzz-" + std::to_string(::getpid()) + ".xml";
        ~ScratchFile() { std::remove(name.c_str()); }
    };
    static const ScratchFile scratch;
    if (std::FILE* file = std::fopen(scratch.name.c_str(), "wb")) {
        if (size > 0) {
            std::fwrite(data, 1, size, file);
        }
        std::fclose(file);
    }
    return scratch.name;
}

// Renders a short block and stops the run when the output is not finite.
void renderAndCheck(DrumPlugin& plugin);

} // namespace vorpalix::fuzz
