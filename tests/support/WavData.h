#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorpalix::testing {

// A sound file read whole through libsndfile.
struct WavData {
    int channels = 0;
    int sampleRate = 0;
    int format = 0; // libsndfile format code (container | sample type)
    std::int64_t frames = 0;
    std::vector<float> interleaved;

    float sample(std::int64_t frame, int channel) const {
        return interleaved[static_cast<std::size_t>(frame * channels + channel)];
    }
    std::vector<float> channel(int ch) const;
};

// Reads a sound file; nothing when it cannot be read.
std::optional<WavData> readWav(const std::string& path);

} // namespace vorpalix::testing
