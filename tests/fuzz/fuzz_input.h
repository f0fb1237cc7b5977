// Takes values off the front of a fuzzer's input; what is missing reads as
// zeros, so that every input is a valid case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    template <typename T>
    T Take() {
        T value{};
        std::size_t n = std::min(sizeof value, size_);
        if (n > 0) std::memcpy(&value, data_, n);
        data_ += n;
        size_ -= n;
        return value;
    }
    std::vector<std::uint8_t> TakeBytes(std::size_t count) {
        std::size_t n = std::min(count, size_);
        std::vector<std::uint8_t> bytes(data_, data_ + n);
        data_ += n;
        size_ -= n;
        return bytes;
    }
    std::vector<std::uint8_t> Rest() { return TakeBytes(size_); }
    std::size_t Left() const { return size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// Stops the fuzzer with a message when a property of the code under test
// does not hold.
#define FUZZ_CHECK(condition)                                                        \
    do {                                                                             \
        if (!(condition)) {                                                          \
            __builtin_printf("check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            __builtin_trap();                                                        \
        }                                                                            \
    } while (false)
