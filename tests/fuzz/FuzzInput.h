#pragma once
// Reads a fuzzer's byte string as a stream of values; past the end every read
// gives zero bytes, so a target never reads outside the input.

#include <cstddef>
#include <cstdint>
#include <cstring>

class FuzzInput {
public:
    FuzzInput(const uint8_t *data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return offset_ >= size_; }

    uint8_t byte() {
        return offset_ < size_ ? data_[offset_++] : 0;
    }

    uint32_t u32() {
        uint32_t value = 0;
        for (int b = 0; b < 4; ++b) value |= static_cast<uint32_t>(byte()) << (8 * b);
        return value;
    }

    // Any bit pattern: not-a-number, infinities, subnormals and negative zero included.
    float anyFloat() {
        const uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // Mostly the values a running fire has, sometimes any bit pattern: a tag
    // byte picks a small integer, a scaled integer, a huge value or raw bits.
    float mixedFloat() {
        const uint8_t tag = byte();
        switch (tag % 4) {
            case 0: return static_cast<float>(static_cast<int8_t>(byte()));
            case 1: return static_cast<float>(static_cast<int16_t>(u32() & 0xFFFFu)) / 64.0f;
            case 2: return static_cast<float>(static_cast<int32_t>(u32())) * 1.0e3f;
            default: return anyFloat();
        }
    }

private:
    const uint8_t *data_;
    std::size_t size_;
    std::size_t offset_ = 0;
};
