// The module's entry point: the only symbols the plug-in exports.

#include <new>

#include "plugin/DrumPlugin.h"

extern "C" {

// Host's loading thread. Creates the instrument with the panel's editor object, or returns null
// for hosts that report no version.
__attribute__((visibility("default"))) vst::AEffect* VSTPluginMain(vst::HostCallback host) {
    if (host == nullptr || host(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) {
        return nullptr;
    }
    auto* plugin = new (std::nothrow) vorpalix::DrumPlugin(host, vorpalix::panelEditorFactory());
    return plugin != nullptr ? plugin->aeffect() : nullptr;
}

// Older hosts look for "main"; it is the same entry under a second name.
__attribute__((visibility("default"))) vst::AEffect*
vorpalixMainAlias(vst::HostCallback host) __asm__("main") __attribute__((alias("VSTPluginMain")));
}
