#pragma once

#include <array>
#include <string_view>

namespace vorpalix {

// The eleven instruments, in the fixed order used by parameters, outputs, patterns and presets.
enum Instrument : int {
    kBD = 0, // bass drum
    kSD,     // snare drum
    kLT,     // low tom
    kMT,     // mid tom
    kHT,     // high tom
    kRS,     // rim shot
    kHC,     // hand clap
    kCH,     // closed hi-hat
    kOH,     // open hi-hat
    kCR,     // crash
    kRD,     // ride
};

constexpr int kNumInstruments = 11;

// Two-letter codes as they appear in parameter names, XML element names and output labels.
constexpr std::array<std::string_view, kNumInstruments> kInstrumentCodes = {
    "BD", "SD", "LT", "MT", "HT", "RS", "HC", "CH", "OH", "CR", "RD"};

constexpr bool isValidInstrument(int i) {
    return i >= 0 && i < kNumInstruments;
}

} // namespace vorpalix
