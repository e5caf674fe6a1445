// ConvertToUTF32 and ConvertFromUTF32 with the library's own converters beside ICU
// (ucnv_convertEx between the two encodings, and the u_strFromUTF8/u_strToUTF32 pair
// through UTF-16) and glibc iconv, on every corpus file and the large text, in one run.
// Counters: input GB/s for each, "x_best" = how many times faster than the best peer.
#include <benchmark/benchmark.h>
#include <iconv.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <string>
#include <vector>

#include "bench_support.h"
#include "xr/xrconv.h"

namespace {

struct Direction {
    const char* name;
    const char* from; // ICU and iconv names
    const char* to;
    bool toUtf32;
    XRCvtReader reader;
    XRCvtWriter writer;
};

const Direction kDirections[] = {
    {"UTF8_to_UTF32BE", "UTF-8", "UTF-32BE", true, UTF8_UTF32, COPY_UTF32},
    {"UTF32BE_to_UTF8", "UTF-32BE", "UTF-8", false, COPY_UTF32b, UTF32_UTF8},
    {"UTF16LE_to_UTF32LE", "UTF-16LE", "UTF-32LE", true, UTF16_UTF32_SWAP, COPY_UTF32_SWAP},
    {"UTF32LE_to_UTF16LE", "UTF-32LE", "UTF-16LE", false, COPY_UTF32b_SWAP, UTF32_UTF16s},
};

std::string viaIconv(const char* from, const char* to, const std::string& in) {
    iconv_t cd = iconv_open(to, from);
    std::string out(in.size() * 4 + 16, '\0');
    char* ip = const_cast<char*>(in.data());
    char* op = out.data();
    std::size_t il = in.size(), ol = out.size();
    iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    out.resize(out.size() - ol);
    return out;
}

struct Peers {
    UConverter* icuFrom;
    UConverter* icuTo;
    iconv_t cd;
    explicit Peers(const Direction& d) {
        UErrorCode e = U_ZERO_ERROR;
        icuFrom = ucnv_open(d.from, &e);
        icuTo = ucnv_open(d.to, &e);
        cd = iconv_open(d.to, d.from);
    }
    ~Peers() {
        ucnv_close(icuFrom);
        ucnv_close(icuTo);
        iconv_close(cd);
    }
    Peers(const Peers&) = delete;
    Peers& operator=(const Peers&) = delete;
};

// The u_str pair for UTF-8 <-> UTF-32 (in the machine's order): UTF-16 in between.
struct Ustr {
    std::vector<UChar> u16;
    explicit Ustr(std::size_t n) : u16(n + 16) {}
    int32_t toUtf32(const std::string& in, std::vector<char>& out) {
        UErrorCode e = U_ZERO_ERROR;
        int32_t n16 = 0, n32 = 0;
        u_strFromUTF8(u16.data(), int32_t(u16.size()), &n16, in.data(), int32_t(in.size()), &e);
        u_strToUTF32(reinterpret_cast<UChar32*>(out.data()), int32_t(out.size() / 4), &n32,
                     u16.data(), n16, &e);
        return U_FAILURE(e) ? -1 : n32;
    }
    int32_t fromUtf32(const std::string& in, std::vector<char>& out) {
        UErrorCode e = U_ZERO_ERROR;
        int32_t n16 = 0, n8 = 0;
        u_strFromUTF32(u16.data(), int32_t(u16.size()), &n16,
                       reinterpret_cast<const UChar32*>(in.data()), int32_t(in.size() / 4), &e);
        u_strToUTF8(out.data(), int32_t(out.size()), &n8, u16.data(), n16, &e);
        return U_FAILURE(e) ? -1 : n8;
    }
};

void Convert(benchmark::State& state, const Direction& d, const std::string& name,
             const std::string& utf8) {
    const std::string input = viaIconv("UTF-8", d.from, utf8);
    const std::string native = viaIconv("UTF-8", "UTF-32LE", utf8); // for the u_str pair
    std::vector<char> out(input.size() * 4 + 64);
    Peers peers(d);
    Ustr ustr(input.size());
    auto* src = reinterpret_cast<XRUtf8*>(const_cast<char*>(input.data()));
    auto* dest = reinterpret_cast<XRUtf8*>(out.data());
    const auto ours = [&] {
        XRMemSize used = 0;
        const XRStatus rc =
            d.toUtf32
                ? ConvertToUTF32(src, input.size(), dest, out.size(), &used, d.reader, d.writer)
                : ConvertFromUTF32(src, input.size(), dest, out.size(), &used, d.writer, d.reader);
        if (rc != 0) state.SkipWithError("conversion failed");
        return used;
    };
    const auto icu = [&] {
        UErrorCode e = U_ZERO_ERROR;
        char* target = out.data();
        const char* source = input.data();
        ucnv_convertEx(peers.icuTo, peers.icuFrom, &target, out.data() + out.size(), &source,
                       input.data() + input.size(), nullptr, nullptr, nullptr, nullptr, true, true,
                       &e);
        return target;
    };
    const auto iconvRun = [&] {
        char* ip = const_cast<char*>(input.data());
        char* op = out.data();
        std::size_t il = input.size(), ol = out.size();
        iconv(peers.cd, nullptr, nullptr, nullptr, nullptr);
        return iconv(peers.cd, &ip, &il, &op, &ol);
    };
    state.SetLabel(name);
    const auto bytes = static_cast<double>(input.size());
    const bool utf8Pair = std::string(d.from) == "UTF-8" || std::string(d.to) == "UTF-8";
    if (utf8Pair) {
        const auto pair = [&] {
            return d.toUtf32 ? ustr.toUtf32(utf8, out) : ustr.fromUtf32(native, out);
        };
        xrbench::sideBySide(state, bytes, xrbench::kGBps, 1, ours, xrbench::Peer{"icu", icu},
                            xrbench::Peer{"ustr", pair}, xrbench::Peer{"iconv", iconvRun});
    } else {
        xrbench::sideBySide(state, bytes, xrbench::kGBps, 1, ours, xrbench::Peer{"icu", icu},
                            xrbench::Peer{"iconv", iconvRun});
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
}

const bool kRegistered = [] {
    for (const Direction& d : kDirections) {
        for (const xrbench::CorpusFile& f : xrbench::corpus())
            benchmark::RegisterBenchmark(
                (std::string(d.name) + "/" + f.name).c_str(),
                [&d, &f](benchmark::State& s) { Convert(s, d, f.name, f.bytes); })
                ->UseManualTime()
                ->MinTime(xrbench::kMinTime);
        benchmark::RegisterBenchmark(
            (std::string(d.name) + "/large").c_str(),
            [&d](benchmark::State& s) { Convert(s, d, "large", xrbench::largeText()); })
            ->UseManualTime()
            ->MinTime(xrbench::kMinTime);
    }
    return true;
}();

} // namespace
