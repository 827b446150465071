#pragma once

#include <chrono>
#include <cstdio>

namespace vorpalix::host {

// A one-line progress bar for long renders. It stays hidden during the first second of wall
// time, so short renders print nothing, and it is off when disabled (quiet, or the stream is not
// a terminal).
class ProgressBar {
public:
    ProgressBar(std::FILE* stream, bool enabled);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // True when `stream` is a terminal.
    static bool isTerminal(std::FILE* stream);

    // Reports the fraction done (0..1); redraws at most ten times a second.
    void update(double fraction);
    // Erases the bar if it was shown.
    void finish();
    bool shown() const { return shown_; }

private:
    using Clock = std::chrono::steady_clock;

    std::FILE* stream_;
    bool enabled_;
    bool shown_ = false;
    Clock::time_point started_;
    Clock::time_point lastDraw_;
};

} // namespace vorpalix::host
