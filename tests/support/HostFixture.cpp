#include "support/HostFixture.h"

namespace vorpalix::testing {

std::unique_ptr<host::PluginHost> loadVorpalix(host::HostOptions options, bool start) {
    host::LoadResult loaded = host::PluginHost::load(VORPALIX_PLUGIN_PATH, std::move(options));
    EXPECT_TRUE(loaded) << loaded.message;
    if (loaded && start)
        loaded.host->start();
    return std::move(loaded.host);
}

void HostFixture::SetUp() {
    host_ = loadVorpalix(hostOptions());
    ASSERT_NE(host_, nullptr) << "the plug-in at " << VORPALIX_PLUGIN_PATH << " did not load";
}

void HostFixture::TearDown() {
    host_.reset();
}

const host::ChannelBuffers& HostFixture::render(std::int64_t frames, int block) {
    rendered_ = host_->render(frames, block);
    return rendered_;
}

const std::vector<float>& HostFixture::channel(int ch) const {
    static const std::vector<float> kEmpty;
    if (ch < 0 || ch >= static_cast<int>(rendered_.size()))
        return kEmpty;
    return rendered_[static_cast<std::size_t>(ch)];
}

std::int64_t HostFixture::firstNonZeroSample(int ch, std::int64_t from, float threshold) const {
    return testing::firstNonZeroSample(channel(ch), from, threshold);
}

} // namespace vorpalix::testing
