// Walks UTF-8 input character by character with the library's validating size. The
// size reads up to five bytes past a lead, so the last bytes of the input are sized
// from a copy that ends in a NUL: nothing past the input is ever read.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "xr/xrutf8.h"
#include "xrhost/loader.h"

namespace xrkit {

class Utf8Walk {
  public:
    Utf8Walk(const xrhost::Library& lib, const std::uint8_t* data, std::uint64_t size)
        : size_fn_(lib.fn<decltype(xrzsu8CharSize)>("xrzsu8CharSize")), data_(data), size_(size) {}

    // Sizes the character at pos; false at the end of the input.
    bool next(std::uint64_t pos, int& size, bool& valid) const {
        if (pos >= size_) return false;
        XRBoolean v = 0;
        if (size_ - pos > kTail) {
            size = size_fn_(const_cast<std::uint8_t*>(data_ + pos), &v);
        } else {
            std::uint8_t tail[kTail + 1] = {};
            std::memcpy(tail, data_ + pos, size_ - pos);
            size = size_fn_(tail, &v);
            size = static_cast<int>(std::min<std::uint64_t>(size, size_ - pos));
        }
        valid = v != 0;
        return true;
    }

  private:
    static constexpr std::uint64_t kTail = 6;
    decltype(xrzsu8CharSize)* size_fn_;
    const std::uint8_t* data_;
    std::uint64_t size_;
};

} // namespace xrkit
