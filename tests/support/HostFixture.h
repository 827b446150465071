#pragma once

#include "PluginHost.h"
#include "support/AudioChecks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace vorpalix::testing {

// Loads the built vorpalix.so through the bundled host, or fails the test with the loader's
// message. The host is started (open, sample rate, block size, resume) unless `start` is false.
std::unique_ptr<host::PluginHost> loadVorpalix(host::HostOptions options = {}, bool start = true);

// A test fixture holding a started Vorpalix plug-in at 44100 Hz with 256-frame blocks.
// Override hostOptions() to change the host before loading. render() keeps its result, so
// channel() and firstNonZeroSample() read the latest render.
class HostFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    virtual host::HostOptions hostOptions() const { return {}; }

    host::PluginHost& host() { return *host_; }
    // Renders `frames` frames in blocks of at most `block` and keeps every channel.
    const host::ChannelBuffers& render(std::int64_t frames, int block = 256);
    const std::vector<float>& channel(int ch) const;
    // The first sample of `ch` at or after `from` louder than `threshold`, or -1.
    std::int64_t firstNonZeroSample(int ch, std::int64_t from = 0, float threshold = 0.0f) const;

    std::unique_ptr<host::PluginHost> host_;
    host::ChannelBuffers rendered_;
};

} // namespace vorpalix::testing
