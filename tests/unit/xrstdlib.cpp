// Byte and XRChar primitives: exact edge results, every fast kernel against a planted hit,
// and the overlap-tolerant copy against memmove.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "internal/memkernels.h"
#include "recording.h"
#include "xr/xrmem.h"

namespace {

using xr::mem::Want;
constexpr XRMemSize kNotFound = ~XRMemSize{0};
constexpr unsigned char kJunk = 0xA5;

// Every length up to 200 at alignments of 0..3 units, with the first hit planted at each
// position (or none), perhaps a second one at the end, and one just past the end that must
// not be seen. The dispatched kernel, the scalar one, SSE2 and (where the CPU has it) AVX2.
template <Want W, class T> void sweepScans(T background, T other) {
    std::mt19937 rng(7);
    std::vector<T> buf(220);
    const T ch = W == Want::Differ ? background : other;
    for (std::size_t from = 0; from < 4; ++from)
        for (std::size_t n = 0; n <= 200; ++n)
            for (std::size_t hit = 0; hit <= n; ++hit) {
                std::fill(buf.begin(), buf.end(), background);
                if (hit < n) buf[from + hit] = other;
                if (hit + 1 < n && rng() % 2) buf[from + n - 1] = other;
                buf[from + n] = other;
                const T* p = buf.data() + from;
                for (std::size_t got :
                     {xr::mem::scan<W>(p, n, ch), xr::mem::scanScalar<W>(p, n, ch),
                      xr::mem::scanSse2<W>(p, n, ch),
                      xr::mem::hasAvx2() ? xr::mem::scanAvx2<W>(p, n, ch) : hit})
                    ASSERT_EQ(got, hit) << "n=" << n << " from=" << from << " differ=" << int(W);
            }
}
template <class T> void sweepBoth(T background, T other) {
    sweepScans<Want::Equal>(background, other);
    sweepScans<Want::Differ>(background, other);
}

TEST(ScanKernels, EveryKernelFindsTheFirstHitAtEveryLengthAndAlignment) {
    sweepBoth<std::uint8_t>(0x20, 0xA0);
    sweepBoth<std::uint8_t>(0xFF, 0x00);
    sweepBoth<XRChar>(0x20, 0x120); // low byte equal: a byte-wise compare would miss it
    sweepBoth<XRChar>(-1, 0x7FFFFFFF);
}

TEST(ScanKernels, EveryMismatchKernelFindsTheFirstDifference) {
    std::mt19937 rng(11);
    for (std::size_t n = 0; n <= 140; ++n)
        for (std::size_t at = 0; at <= n; ++at) {
            std::vector<XRChar> a(n + 1), b(n + 1);
            for (std::size_t i = 0; i <= n; ++i)
                a[i] = b[i] = static_cast<XRChar>(rng());
            if (at < n) b[at] ^= 1 << (rng() % 32);
            b[n] = a[n] + 1;
            const XRChar *x = a.data(), *y = b.data();
            for (std::size_t got : {xr::mem::mismatch(x, y, n), xr::mem::mismatchScalar(x, y, n),
                                    xr::mem::mismatchSse2(x, y, n),
                                    xr::mem::hasAvx2() ? xr::mem::mismatchAvx2(x, y, n) : at})
                ASSERT_EQ(got, at) << "n=" << n;
        }
}

TEST(Scans, NotFoundValuesNullsAndAllSameTests) {
    const char b[] = "aaab";
    const unsigned char high[] = {0x80, 0x80, 0xFF};
    const XRChar blanks[] = {' ', ' ', ' ', 'x'}, mixed[] = {' ', ' ', 'a', ' '};
    const XRMemSize bytes[][2] = {
        {skMemScan(nullptr, 4, 'a'), kNotFound},  {skMemScan(b, 0, 'a'), kNotFound},
        {skMemScan(b, 4, 'z'), kNotFound},        {skMemScan(b, 4, 'b'), 3},
        {skMemNScan(nullptr, 4, 'a'), kNotFound}, {skMemNScan(b, 0, 'a'), kNotFound},
        {skMemNScan(b, 3, 'a'), kNotFound},       {skMemNScan(b, 4, 'a'), 3},
        {skMemScan(high, 3, int8_t(-1)), 2},      {skMemNScan(high, 3, int8_t(-128)), 2}};
    for (const auto& c : bytes)
        EXPECT_EQ(c[0], c[1]) << "row " << &c - bytes;
    const XRStrSize units[][2] = {{skMemTNScan(blanks, 4, ' '), 3},
                                  {skMemTNScan(blanks, 3, ' '), -1},
                                  {skMemTNScan(blanks, 0, ' '), -1},
                                  {skMemTNScan(blanks, -5, 'x'), -1},
                                  {skMemTNScan(nullptr, 4, ' '), -1}};
    for (const auto& c : units)
        EXPECT_EQ(c[0], c[1]) << "row " << &c - units;
    EXPECT_EQ(xrmemchr(b, 'b', 4), b + 3);
    EXPECT_EQ(xrmemchr(b, 'b', 0), nullptr);
    EXPECT_EQ(xrmemchr(nullptr, 'b', 4), nullptr);
    EXPECT_EQ(xrmemchr(high, 0xFF, 3), high + 2);
    const XRBoolean same[][2] = {
        {skMemTNot(' ', blanks, 3), XR_TRUE}, {skMemTNot(' ', blanks, 4), XR_FALSE},
        {skMemTNot(' ', mixed, 4), XR_FALSE}, {skMemTNot(' ', mixed, 2), XR_TRUE},
        {skMemTNot('x', mixed, 0), XR_TRUE},  {skMemTNot('x', mixed, -1), XR_TRUE},
        {skMemNot('x', "xxxx", 4), XR_TRUE},  {skMemNot('x', "xxyx", 4), XR_FALSE},
        {skMemNot('x', "abc", 0), XR_TRUE},   {skMemNot(int8_t(0x80), high, 2), XR_TRUE}};
    for (const auto& c : same)
        EXPECT_EQ(c[0], c[1]) << "row " << &c - same;
}

TEST(Compare, ByteCompareIsExactSignOfUnsignedDifference) {
    std::mt19937 rng(3);
    for (int t = 0; t < 20000; ++t) {
        unsigned char a[40], b[40];
        const std::size_t n = rng() % 40;
        for (std::size_t i = 0; i < n; ++i)
            a[i] = b[i] = static_cast<unsigned char>(rng());
        if (n && rng() % 4) b[rng() % n] = static_cast<unsigned char>(rng());
        const int r = std::memcmp(a, b, n);
        EXPECT_EQ(skMemCmp(a, b, n), (r > 0) - (r < 0));
        EXPECT_EQ((xrmemcmp(a, b, n) > 0) - (xrmemcmp(a, b, n) < 0), (r > 0) - (r < 0));
    }
}

TEST(Compare, UnitCompareUsesWrapAroundDifferenceAndCountsUnits) {
    struct Case {
        XRChar a, b;
        int want;
    } cases[] = {
        {'a', 'b', -1},     {'b', 'a', 1},      {0x10FFFF, 0, 1},           {0, 0x10FFFF, -1},
        {-1, 0, -1},        {0, -1, 1},         {INT32_MAX, -1, -1},        {INT32_MIN, 1, 1},
        {INT32_MIN, 0, -1}, {0, INT32_MIN, -1}, {INT32_MAX, INT32_MIN, -1},
    };
    for (const Case& c : cases) {
        const XRChar a[] = {7, 7, c.a, 0}, b[] = {7, 7, c.b, 1};
        EXPECT_EQ(skWMemCmp(a, b, 3), c.want) << c.a << " vs " << c.b;
        EXPECT_EQ(skWMemCmp(a, b, 2), 0);
        EXPECT_EQ(skWMemCmp(b, a, 0), 0);
    }
}

// Source at offset 40 of 96 bytes, destination at every offset: both overlap directions,
// every shift and disjoint regions.
TEST(Copy, TolerantCopyEqualsMemmoveAndForwardCopyGoesByteByByte) {
    std::vector<unsigned char> init(96);
    for (std::size_t i = 0; i < init.size(); ++i)
        init[i] = static_cast<unsigned char>(i * 7 + 1);
    for (std::size_t len = 0; len <= 40; ++len)
        for (std::size_t d = 0; d + len <= 96; ++d) {
            auto tolerant = init, forward = init, moved = init, byteLoop = init;
            skMemSCpy(tolerant.data() + 40, tolerant.data() + d, len);
            skMemCpy(forward.data() + 40, forward.data() + d, len);
            std::memmove(moved.data() + d, moved.data() + 40, len);
            for (std::size_t i = 0; i < len; ++i)
                byteLoop[d + i] = byteLoop[40 + i];
            ASSERT_EQ(tolerant, moved) << "len=" << len << " d=" << d;
            ASSERT_EQ(forward, byteLoop) << "len=" << len << " d=" << d;
        }
}

TEST(Copy, WrappersKeepDestinationFirstAndReturnIt) {
    unsigned char buf[12];
    std::memset(buf, kJunk, sizeof buf);
    EXPECT_EQ(xrmemcpy(buf, "abcd", 4), buf);
    EXPECT_EQ(xrmemmove(buf + 1, buf, 4), buf + 1);
    EXPECT_EQ(0, std::memcmp(buf, "aabcd", 5));
    EXPECT_EQ(xrmemset(buf + 5, 0xEE, 3), buf + 5);
    EXPECT_EQ(buf[7], 0xEE);
    EXPECT_EQ(buf[8], kJunk);
}

TEST(Fill, FillsExactlyLenUnits) {
    unsigned char b[10];
    std::memset(b, kJunk, sizeof b);
    skMemSet(b, 0x1234, 6);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(b[i], i < 6 ? 0x34 : kJunk);
    XRChar u[6] = {9, 9, 9, 9, 9, 9};
    skMemTSet(u, -7, 4);
    skMemTSet(u, 5, 0);
    skMemTSet(u, 5, -3);
    EXPECT_EQ(std::vector<XRChar>(u, u + 6), (std::vector<XRChar>{-7, -7, -7, -7, 9, 9}));
}

// Copies stop after the terminator; a null source copies an empty string, a null
// destination copies nothing.
TEST(Strings, LengthsAndCopiesWithTheirNullRules) {
    const XRChar t[] = {'a', 0x10000, -1, 0, 'b'};
    EXPECT_EQ(skStrLen(nullptr), 0u);
    EXPECT_EQ(skStrLen("abc"), 3u);
    EXPECT_EQ(skStrTLen(nullptr), 0);
    EXPECT_EQ(skStrTLen(t), 3);
    int8_t dst[6];
    std::memset(dst, kJunk, sizeof dst);
    skStrCpy(nullptr, dst + 4);
    skStrCpy(reinterpret_cast<const int8_t*>("abc"), dst);
    skStrCpy(reinterpret_cast<const int8_t*>("abc"), nullptr);
    EXPECT_EQ(0, std::memcmp(dst, "abc\0\0\xA5", 6));
    XRChar u[6] = {5, 5, 5, 5, 5, 5};
    skStrTCpy(t, u + 1);
    skStrTCpy(nullptr, u);
    skStrTCpy(t, nullptr);
    EXPECT_EQ(std::vector<XRChar>(u, u + 6), (std::vector<XRChar>{0, 'a', 0x10000, -1, 0, 5}));
}

TEST(Strings, CaseChangesOnlyAsciiLettersOverExactlyLenBytes) {
    for (bool up : {true, false}) {
        int8_t all[257];
        for (int i = 0; i < 256; ++i)
            all[i] = static_cast<int8_t>(i);
        all[256] = 'q';
        (up ? skStrUp : skStrLow)(all, 256);
        const int first = up ? 'a' : 'A';
        for (int i = 0; i < 256; ++i)
            EXPECT_EQ(static_cast<unsigned char>(all[i]),
                      i >= first && i < first + 26 ? i ^ 0x20 : i);
        EXPECT_EQ(all[256], 'q');
    }
    int8_t embedded[] = {'a', 'b', 'c', 0, 'x', 'y', 'z'};
    skStrUp(embedded, 7);
    EXPECT_EQ(0, std::memcmp(embedded, "ABC\0XYZ", 7));
}

TEST(MissingValues, AnyNaNIsMissingAndNothingElseIs) {
    for (std::uint64_t bits :
         {0x7FF0000000000001u, 0x7FF8000000000000u, 0x7FFFFFFFFFFFFFFFu, 0xFFF0000000000001u,
          0xFFF8000000000000u, 0xFFFFFFFFFFFFFFFFu, 0x7FF4000000000000u, 0xFFF0000080000000u}) {
        double arr[5] = {1.0, 2.0, std::bit_cast<double>(bits), 3.0, 4.0};
        EXPECT_EQ(skMissArray(arr, 5), XR_TRUE) << std::hex << bits;
        EXPECT_EQ(skMissArray(arr, 2), XR_FALSE);
    }
    using lim = std::numeric_limits<double>;
    double others[] = {INFINITY, -INFINITY, 0.0, -0.0, -1e308, lim::denorm_min(), lim::max()};
    EXPECT_EQ(skMissArray(others, 7), XR_FALSE);
    EXPECT_EQ(skMissArray(nullptr, 0), XR_FALSE);
}

TEST(Unsupported, IsTheOneStatus) {
    EXPECT_EQ(skUnsup(), static_cast<XRStatus>(-2143305724));
}

TEST(Dup, AsksThePoolForLenBytesWithFlagsZeroAndCopies) {
    xrtest::Recorder r;
    xrtest::RecordingPool pool(r);
    const char src[] = "hello, pool";
    void* block = skMemDup(src, 11, pool.handle());
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(0, std::memcmp(block, src, 11));
    EXPECT_EQ(skMemDup(nullptr, 11, pool.handle()), nullptr);
    EXPECT_EQ(skMemDup(src, 11, nullptr), nullptr);
    pool.refuse = true;
    EXPECT_EQ(skMemDup(src, 3, pool.handle()), nullptr);
    ASSERT_EQ(r.named("memAlloc").size(), 2u);
    EXPECT_EQ(r.calls[0].args, xrtest::words(pool.handle(), XRMemSize{11}, XRFlags{0}));
    EXPECT_EQ(r.calls[1].args, xrtest::words(pool.handle(), XRMemSize{3}, XRFlags{0}));
}

} // namespace
