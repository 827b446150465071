#include "support/WavData.h"

#include <sndfile.h>

namespace vorpalix::testing {

std::vector<float> WavData::channel(int ch) const {
    std::vector<float> samples;
    samples.reserve(static_cast<std::size_t>(frames));
    for (std::int64_t i = 0; i < frames; ++i)
        samples.push_back(sample(i, ch));
    return samples;
}

std::optional<WavData> readWav(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return std::nullopt;
    WavData data;
    data.channels = info.channels;
    data.sampleRate = info.samplerate;
    data.format = info.format;
    data.frames = info.frames;
    data.interleaved.resize(static_cast<std::size_t>(info.frames * info.channels));
    const sf_count_t read = sf_readf_float(file, data.interleaved.data(), info.frames);
    sf_close(file);
    if (read != info.frames)
        return std::nullopt;
    return data;
}

} // namespace vorpalix::testing
