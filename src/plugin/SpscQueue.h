#pragma once

// A fixed-capacity queue between exactly one producer thread and one consumer thread. Lock-free
// and wait-free on both sides; the storage is allocated once, at construction, so neither push
// nor pop ever allocates. A full queue refuses the item and says so; an accepted item is never
// lost or overwritten.

#include <atomic>
#include <cstddef>
#include <memory>
#include <type_traits>

namespace vorpalix {

template <typename T> class SpscQueue {
    static_assert(std::is_trivially_copyable_v<T>, "items are copied between threads");

public:
    explicit SpscQueue(std::size_t capacity)
        : capacity_(capacity), items_(std::make_unique<T[]>(capacity)) {}
    SpscQueue(const SpscQueue&) = delete;
    SpscQueue& operator=(const SpscQueue&) = delete;

    std::size_t capacity() const { return capacity_; }

    // Producer. False (and the item not taken) when the queue is full.
    bool push(const T& item) {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) >= capacity_) {
            return false;
        }
        items_[tail % capacity_] = item;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Producer. Items that can be pushed before the queue is full (the consumer may make more
    // room meanwhile, never less).
    std::size_t freeSpace() const {
        return capacity_ -
               (tail_.load(std::memory_order_relaxed) - head_.load(std::memory_order_acquire));
    }

    // Consumer. The oldest item, or null when the queue is empty; valid until pop.
    const T* front() const {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) {
            return nullptr;
        }
        return &items_[head % capacity_];
    }

    // Consumer. Removes the oldest item; nothing when the queue is empty.
    void pop() {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head != tail_.load(std::memory_order_acquire)) {
            head_.store(head + 1, std::memory_order_release);
        }
    }

    // Consumer. Moves the oldest item into item; false when the queue is empty.
    bool pop(T& item) {
        const T* first = front();
        if (first == nullptr) {
            return false;
        }
        item = *first;
        pop();
        return true;
    }

private:
    const std::size_t capacity_;
    std::unique_ptr<T[]> items_;
    // Counts of items ever pushed (tail) and popped (head); each written by one side only.
    alignas(64) std::atomic<std::size_t> head_{0};
    alignas(64) std::atomic<std::size_t> tail_{0};
};

} // namespace vorpalix
