#include "ProgressBar.h"

#include <unistd.h>

#include <algorithm>
#include <string>

namespace vorpalix::host {

namespace {
constexpr int kBarWidth = 40;
constexpr auto kHiddenFor = std::chrono::seconds(1);
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
} // namespace

ProgressBar::ProgressBar(std::FILE* stream, bool enabled)
    : stream_(stream), enabled_(enabled && stream != nullptr), started_(Clock::now()) {}

ProgressBar::~ProgressBar() {
    finish();
}

bool ProgressBar::isTerminal(std::FILE* stream) {
    return stream != nullptr && isatty(fileno(stream)) == 1;
}

void ProgressBar::update(double fraction) {
    if (!enabled_)
        return;
    const auto now = Clock::now();
    if (now - started_ < kHiddenFor)
        return;
    if (shown_ && now - lastDraw_ < kRedrawEvery)
        return;
    lastDraw_ = now;
    shown_ = true;
    fraction = std::clamp(fraction, 0.0, 1.0);
    const int filled = static_cast<int>(fraction * kBarWidth);
    const int percent = static_cast<int>(fraction * 100.0);
    std::string line = "\r[" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] " +
                       std::to_string(percent) + "%";
    std::fputs(line.c_str(), stream_);
    std::fflush(stream_);
}

void ProgressBar::finish() {
    enabled_ = false;
    if (!shown_)
        return;
    // Blank the line so that a following message starts clean.
    std::fputs(("\r" + std::string(kBarWidth + 8, ' ') + "\r").c_str(), stream_);
    std::fflush(stream_);
    shown_ = false;
}

} // namespace vorpalix::host
