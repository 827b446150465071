#pragma once

#include <atomic>

namespace vorpalix {

// A single value written by one thread (parameter changes from the host or the editor) and read by
// the audio thread. Every access is a relaxed atomic load or store, which costs the same as a
// plain access on x86 but keeps the exchange free of data races.
template <typename T> class RelaxedAtomic {
public:
    constexpr RelaxedAtomic(T value = T{}) noexcept : value_(value) {}
    RelaxedAtomic(const RelaxedAtomic&) = delete;
    RelaxedAtomic& operator=(const RelaxedAtomic&) = delete;

    RelaxedAtomic& operator=(T value) noexcept {
        value_.store(value, std::memory_order_relaxed);
        return *this;
    }
    operator T() const noexcept { return value_.load(std::memory_order_relaxed); }
    T load() const noexcept { return value_.load(std::memory_order_relaxed); }

private:
    static_assert(std::atomic<T>::is_always_lock_free);
    std::atomic<T> value_;
};

} // namespace vorpalix
