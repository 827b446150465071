#pragma once

#include <xmmintrin.h>

namespace vorpalix {

// Sets flush-to-zero and denormals-are-zero for the lifetime of the guard and restores the
// caller's floating-point control word afterwards. Audio thread.
class FloatingPointGuard {
public:
    FloatingPointGuard() : saved_(_mm_getcsr()) {
        _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero);
    }
    ~FloatingPointGuard() { _mm_setcsr(saved_); }
    FloatingPointGuard(const FloatingPointGuard&) = delete;
    FloatingPointGuard& operator=(const FloatingPointGuard&) = delete;

private:
    static constexpr unsigned kFlushToZero = 0x8000;
    static constexpr unsigned kDenormalsAreZero = 0x0040;
    unsigned saved_;
};

} // namespace vorpalix
