// ConvertToUTF32 and ConvertFromUTF32 with the library's own converters beside ICU
// (ucnv_convertEx) and glibc iconv, on each corpus file. Every iteration runs all three
// over the same bytes; counters give input MB/s for each and the ratios of our time to
// theirs (below 1: ours is faster).
#include <benchmark/benchmark.h>
#include <iconv.h>
#include <unicode/ucnv.h>

#include <chrono>
#include <string>
#include <vector>

#include "bench_support.h"
#include "xr/xrconv.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Direction {
    const char* name;
    const char* from; // ICU and iconv names
    const char* to;
    bool toUtf32;
    XRCvtReader reader;
    XRCvtWriter writer;
};

const Direction kDirections[] = {
    {"UTF8_to_UTF32", "UTF-8", "UTF-32LE", true, UTF8_UTF32, COPY_UTF32_SWAP},
    {"UTF16_to_UTF32", "UTF-16LE", "UTF-32LE", true, UTF16_UTF32_SWAP, COPY_UTF32_SWAP},
    {"UTF32_to_UTF8", "UTF-32LE", "UTF-8", false, COPY_UTF32b_SWAP, UTF32_UTF8},
    {"UTF32_to_UTF16", "UTF-32LE", "UTF-16LE", false, COPY_UTF32b_SWAP, UTF32_UTF16s},
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
    Peers(const Direction& d) {
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
};

void Convert(benchmark::State& state, const Direction& d, const xrbench::CorpusFile& file) {
    const std::string input = viaIconv("UTF-8", d.from, file.bytes);
    std::vector<char> out(input.size() * 4 + 64);
    Peers peers(d);
    auto* src = reinterpret_cast<XRUtf8*>(const_cast<char*>(input.data()));
    auto* dest = reinterpret_cast<XRUtf8*>(out.data());
    double tOurs = 0, tIcu = 0, tIconv = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        XRMemSize used = 0;
        const XRStatus rc =
            d.toUtf32
                ? ConvertToUTF32(src, input.size(), dest, out.size(), &used, d.reader, d.writer)
                : ConvertFromUTF32(src, input.size(), dest, out.size(), &used, d.writer, d.reader);
        benchmark::DoNotOptimize(rc);
        benchmark::ClobberMemory();
        const auto t1 = Clock::now();
        UErrorCode e = U_ZERO_ERROR;
        char* target = out.data();
        const char* source = input.data();
        ucnv_convertEx(peers.icuTo, peers.icuFrom, &target, out.data() + out.size(), &source,
                       input.data() + input.size(), nullptr, nullptr, nullptr, nullptr, true, true,
                       &e);
        benchmark::ClobberMemory();
        const auto t2 = Clock::now();
        char* ip = const_cast<char*>(input.data());
        char* op = out.data();
        std::size_t il = input.size(), ol = out.size();
        iconv(peers.cd, nullptr, nullptr, nullptr, nullptr);
        iconv(peers.cd, &ip, &il, &op, &ol);
        benchmark::ClobberMemory();
        const auto t3 = Clock::now();
        const double a = std::chrono::duration<double>(t1 - t0).count();
        tOurs += a;
        tIcu += std::chrono::duration<double>(t2 - t1).count();
        tIconv += std::chrono::duration<double>(t3 - t2).count();
        state.SetIterationTime(a);
        if (rc != 0 || U_FAILURE(e)) state.SkipWithError("conversion failed");
    }
    const double bytes =
        static_cast<double>(input.size()) * static_cast<double>(state.iterations());
    state.counters["ours_MBps"] = bytes / tOurs / 1e6;
    state.counters["icu_MBps"] = bytes / tIcu / 1e6;
    state.counters["iconv_MBps"] = bytes / tIconv / 1e6;
    state.counters["vs_icu"] = tOurs / tIcu;
    state.counters["vs_iconv"] = tOurs / tIconv;
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

const bool kRegistered = [] {
    for (const Direction& d : kDirections)
        for (const xrbench::CorpusFile& f : xrbench::corpus())
            benchmark::RegisterBenchmark((std::string(d.name) + "/" + f.name).c_str(),
                                         [&d, &f](benchmark::State& s) { Convert(s, d, f); })
                ->UseManualTime();
    return true;
}();

} // namespace
