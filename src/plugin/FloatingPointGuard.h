#pragma once

#include <xmmintrin.h>

namespace vorpalix {

// Sets flush-to-zero and denormals-are-zero for the lifetime of the guard and restores the
// caller's floating-point control word afterwards. Writing the control word stalls the
// processor, so a host that already flushes (as many do on their audio threads) is left alone.
// Audio thread.
class FloatingPointGuard {
public:
    FloatingPointGuard() : saved_(_mm_getcsr()) {
        if ((saved_ & kFlush) != kFlush) {
            _mm_setcsr(saved_ | kFlush);
        }
    }
    ~FloatingPointGuard() {
        if ((saved_ & kFlush) != kFlush) {
            _mm_setcsr(saved_);
        }
    }
    FloatingPointGuard(const FloatingPointGuard&) = delete;
    FloatingPointGuard& operator=(const FloatingPointGuard&) = delete;

private:
    static constexpr unsigned kFlushToZero = 0x8000;
    static constexpr unsigned kDenormalsAreZero = 0x0040;
    static constexpr unsigned kFlush = kFlushToZero | kDenormalsAreZero;
    unsigned saved_;
};

} // namespace vorpalix
