#include "sequencer/MersenneTwister.h"

namespace vorpalix {

namespace {

constexpr int kShift = 397;
constexpr std::uint32_t kMatrixA = 0x9908B0DFu;
constexpr std::uint32_t kUpperMask = 0x80000000u;
constexpr std::uint32_t kLowerMask = 0x7FFFFFFFu;

constexpr std::uint32_t twist(std::uint32_t upper, std::uint32_t lower, std::uint32_t far) {
    const std::uint32_t y = (upper & kUpperMask) | (lower & kLowerMask);
    return far ^ (y >> 1) ^ ((y & 1u) != 0 ? kMatrixA : 0u);
}

} // namespace

void MersenneTwister::setSeed(std::uint32_t seed) {
    state_[0] = seed;
    for (int i = 1; i < kStateSize; ++i) {
        state_[i] = 69069u * state_[i - 1]; // unsigned arithmetic wraps mod 2^32
    }
    index_ = kStateSize;
}

void MersenneTwister::setState(const State& words) {
    state_ = words;
    index_ = kStateSize;
}

void MersenneTwister::regenerate() {
    int k = 0;
    for (; k < kStateSize - kShift; ++k) {
        state_[k] = twist(state_[k], state_[k + 1], state_[k + kShift]);
    }
    for (; k < kStateSize - 1; ++k) {
        state_[k] = twist(state_[k], state_[k + 1], state_[k + kShift - kStateSize]);
    }
    state_[kStateSize - 1] = twist(state_[kStateSize - 1], state_[0], state_[kShift - 1]);
    index_ = 0;
}

std::uint32_t MersenneTwister::next() {
    if (index_ >= kStateSize) {
        regenerate();
    }
    std::uint32_t y = state_[index_++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

} // namespace vorpalix
