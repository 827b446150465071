#pragma once

// A blink timed by the frame's millisecond tick, shared by the blinking controls: an on part and
// an off part repeated for a duration, or until stopped. It starts at its first tick.

#include <cstdint>

namespace vorpalix {

class Blink {
public:
    static constexpr std::uint32_t kForever = 0xFFFFFFFFu;

    void start(std::uint32_t onMs, std::uint32_t offMs, std::uint32_t durationMs) {
        on_ = onMs;
        off_ = offMs;
        duration_ = durationMs;
        active_ = true;
        started_ = false;
    }
    void stop() { active_ = false; }

    // Advances to tick `now`. Returns true when what the control shows changed: the phase
    // turned, or the blink ran out its duration (it then stops).
    bool tick(std::uint32_t now) {
        if (!active_)
            return false;
        if (!started_) {
            started_ = true;
            start_ = now;
        }
        const std::uint32_t elapsed = now - start_; // wraps like the tick count
        if (elapsed > duration_) {
            active_ = false;
            return true;
        }
        // A period of 0 ms (both parts 0) would divide by zero: such a blink stays in its on part.
        const std::uint64_t period = std::uint64_t{on_} + off_;
        const bool phase = period == 0 || on_ >= elapsed % period;
        const bool changed = phase != phase_;
        phase_ = phase;
        return changed;
    }

    bool active() const { return active_; }
    // True in the on part of the period.
    bool phase() const { return phase_; }
    // The control shows its blink image now.
    bool showsOffImage() const { return active_ && !phase_; }

private:
    bool active_ = false;
    bool started_ = false;
    bool phase_ = false;
    std::uint32_t start_ = 0;
    std::uint32_t on_ = 500;
    std::uint32_t off_ = 500;
    std::uint32_t duration_ = kForever;
};

} // namespace vorpalix
