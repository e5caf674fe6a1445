// Conversion between the encodings of encodings.h through the library's converters,
// strict, streamed chunk by chunk.
//
// Each chunk goes through two steps in turn. The bulk step (Route::bulk) converts the
// longest good prefix of what is at hand. Where it stops, the source encoding's own
// decoder (decodeOne) looks at what is there: a character the bulk step left to it, an
// ill-formed sequence (an error, or U+FFFD under --replace), a character the target
// cannot hold, or the incomplete character at the end of the chunk, which waits for
// the next one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "encodings.h"
#include "internal/utf_strict.h"
#include "io.h"
#include "xr/xrconv.h"
#include "xr/xrutf8.h"
#include "xrhost/loader.h"

namespace xrkit {

// One source and target, each in a fixed byte order, bound to the library's functions.
class Route {
  public:
    Route(const xrhost::Library& lib, const Encoding& from, const Encoding& to);

    // Input bytes one bulk step takes at most; it writes at most kGrowth times as many.
    static constexpr std::size_t kMaxInput = std::size_t{64} << 10;
    static constexpr std::size_t kGrowth = 4;
    struct Bulk {
        std::size_t taken, written;
    };
    // The bulk step: converts the longest prefix of in[0, n) that is well-formed in the
    // source and whose characters all have a form in the target, writing the target's
    // bytes at out (room for kGrowth * n). Whatever does the work, the prefix is exactly
    // this one: the bytes before the first sequence that is ill-formed, cut by n, or
    // without a target form.
    Bulk bulk(const std::uint8_t* in, std::size_t n, std::uint8_t* out);

    // One code point in the target (at most 8 bytes at out); returns its length.
    std::size_t encode(std::uint32_t cp, std::uint8_t* out) const;

  private:
    // UTF-8, UTF-16 and UTF-32 at both ends: the library's strict kernels do the bulk step.
    bool strict_ = false;
    xr::strict::Encoding strictFrom_{}, strictTo_{};
    Form sourceForm_;
    std::uint32_t limit_; // the largest code point both ends hold
    XRCvtReader reader_, utf32Reader_;
    XRCvtWriter writer_, utf32Writer_;
    decltype(&ConvertToUTF32) toUtf32_;
    decltype(&ConvertFromUTF32) fromUtf32_;
    XRCvtWriter utf8Writer_;
    decltype(&xrzsu8Encode) modifiedEncode_ = nullptr; // CESU-8 and modified UTF-8 targets
    XRFlags modifiedOptions_ = 0;
    // The code points; UTF-8 written again to prove it strict, or on its way to CESU-8.
    std::vector<std::uint8_t> utf32_, utf8_;

    std::size_t sourceBytes(std::size_t chars) const;
    std::size_t strictUtf8(const std::uint8_t* in, std::size_t& chars);
    std::size_t writeTarget(std::size_t chars, std::uint8_t* out, std::size_t room);
};

struct ConvertSettings {
    bool replace = false;  // U+FFFD for what cannot be converted, and go on
    bool stripBom = false; // drop a byte-order mark at the start of the input
    bool addBom = false;   // start the output with one (and only one) byte-order mark
};

class Transcoder {
  public:
    Transcoder(const xrhost::Library& lib, const Encoding& from, const Encoding& to,
               ConvertSettings settings, std::string inputName);
    // Converts in[0, n), which starts at `offset` in the input, into out, and returns the
    // bytes taken: all of them, unless the input goes on (`ended` false) and they end in
    // an incomplete character. Bad input without --replace throws DataError, after the
    // characters before it were written.
    std::size_t convert(const std::uint8_t* in, std::size_t n, bool ended, std::uint64_t offset,
                        Output& out);
    // After the last chunk: the byte-order mark of an empty --add-bom output.
    void finish(Output& out);

  private:
    const xrhost::Library& lib_;
    const Encoding& from_;
    const Encoding& to_; // as named; target_ is it in its byte order
    const Encoding& target_;
    const Encoding* source_ = nullptr; // from_ in its byte order, once the mark is read
    std::unique_ptr<Route> route_;
    ConvertSettings settings_;
    std::string inputName_;
    bool bomPending_;
    std::size_t window_ = Route::kMaxInput;

    bool start(const std::uint8_t* in, std::size_t n, bool ended, std::size_t& skip);
    std::size_t markInto(std::uint8_t* out);
    void put(std::uint32_t cp, Output& out);
};

} // namespace xrkit
