#include "StemPlan.h"

#include "PluginHost.h"

#include <array>
#include <cstring>

namespace vorpalix::host {

namespace {

constexpr const char* kMasterLabel = "VX Master";

} // namespace

std::optional<OutputLayout> layoutFromPins(const std::vector<PinDescription>& pins) {
    OutputLayout layout;
    layout.masterChannels = 0;
    while (layout.masterChannels < static_cast<int>(pins.size()) &&
           pins[static_cast<std::size_t>(layout.masterChannels)].label == kMasterLabel)
        ++layout.masterChannels;
    const int rest = static_cast<int>(pins.size()) - layout.masterChannels;
    if (layout.masterChannels > 2 || (rest != kInstrumentCount && rest != 2 * kInstrumentCount))
        return std::nullopt;
    layout.instrumentsStereo = rest == 2 * kInstrumentCount;
    return layout;
}

const std::string& instrumentStemName(int instrument) {
    static const std::array<std::string, kInstrumentCount> kNames{
        "bass-drum", "snare-drum", "low-tom",  "mid-tom", "high-tom", "rim-shot",
        "hand-clap", "closed-hat", "open-hat", "crash",   "ride"};
    return kNames[static_cast<std::size_t>(
        instrument < 0 || instrument >= kInstrumentCount ? 0 : instrument)];
}

std::vector<StemFile> planStems(const OutputLayout& layout, const ChunkSummary& routing) {
    std::vector<StemFile> files;
    if (layout.masterChannels > 0) {
        StemFile master{"master.wav", {}};
        for (int c = 0; c < layout.masterChannels; ++c)
            master.channels.push_back(c);
        files.push_back(std::move(master));
    }
    const int width = layout.instrumentsStereo ? 2 : 1;
    for (int slot = 0; slot < kInstrumentCount; ++slot) {
        int routed = 0;
        int only = -1;
        for (int i = 0; i < kInstrumentCount; ++i) {
            if (routing.outputSlots[static_cast<std::size_t>(i)] == slot) {
                ++routed;
                only = i;
            }
        }
        if (routed == 0)
            continue;
        StemFile file;
        file.name = routed == 1 ? instrumentStemName(only) + ".wav"
                                : "out-" + std::to_string(slot + 1) + ".wav";
        for (int c = 0; c < width; ++c)
            file.channels.push_back(layout.masterChannels + width * slot + c);
        files.push_back(std::move(file));
    }
    return files;
}

std::vector<PinDescription> outputPinsOf(PluginHost& host) {
    std::vector<PinDescription> pins;
    for (int pin = 0; pin < host.numOutputs(); ++pin) {
        const auto properties = host.outputProperties(pin);
        if (!properties) {
            pins.push_back({});
            continue;
        }
        pins.push_back(
            {std::string(properties->label, strnlen(properties->label, sizeof properties->label)),
             (properties->flags & vst::kVstPinIsStereo) != 0});
    }
    return pins;
}

} // namespace vorpalix::host
