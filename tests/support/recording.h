// The recording host: host records whose operations record every call, with its
// named arguments and the values behind its va_list, and answer from a script.
#pragma once

#include <bit>
#include <cstdarg>
#include <cstdint>
#include <deque>
#include <map>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

#include "xr/xrhost.h"

namespace xrtest {

// Every recorded argument as one 64-bit word: integers sign- or zero-extended from
// their own type, pointers as addresses, doubles by their bits.
using Word = std::uint64_t;
template <class T> Word word(T v) {
    if constexpr (std::is_pointer_v<T> || std::is_null_pointer_v<T>)
        return reinterpret_cast<std::uintptr_t>(v);
    else if constexpr (std::is_floating_point_v<T>)
        return std::bit_cast<std::uint64_t>(static_cast<double>(v));
    else if constexpr (std::is_enum_v<T>)
        return word(static_cast<std::underlying_type_t<T>>(v));
    else if constexpr (std::is_signed_v<T>)
        return static_cast<Word>(static_cast<std::int64_t>(v));
    else
        return static_cast<Word>(v);
}
template <class... T> std::vector<Word> words(T... v) {
    return {word(v)...};
}

struct Call {
    std::string op;
    std::vector<Word> args;   // the named arguments, the record's handle first
    std::vector<Word> values; // what the va_list carried
    bool operator==(const Call&) const = default;
};
void PrintTo(const Call& c, std::ostream* os); // for test failure messages

class Recorder {
  public:
    std::vector<Call> calls;
    // How to read a va_list whose status is not a dump code: one letter per value,
    // i int, u unsigned, l int64, p pointer, d double.
    std::string shape;
    // Scripted results per operation, taken in order; when none is left, 0 (or null).
    std::map<std::string, std::deque<Word>> results;

    Word next(const std::string& op) {
        auto& q = results[op];
        if (q.empty()) return 0;
        Word w = q.front();
        q.pop_front();
        return w;
    }
    void script(const std::string& op, Word w) { results[op].push_back(w); }
    std::vector<Call> named(const std::string& op) const;

    // Records op; status is the message code when there is one (dump codes are
    // decoded by their layout and line size), otherwise the shape decides.
    Word record(const std::string& op, std::vector<Word> args);
    Word record(const std::string& op, std::vector<Word> args, va_list values, XRStatus status = 0);
};

// What a dump line of n bytes at p must carry: [prefix] [owner] p, the n bytes, and their n
// renderings (0x20..0x7E as themselves, any other byte as '.').
std::vector<Word> dumpLineValues(const XRChar* prefix, const void* owner, const std::uint8_t* p,
                                 std::size_t n);

// A journal whose operations record.
struct RecordingJournal {
    XR_JNL_S rec;
    Recorder* recorder;
    explicit RecordingJournal(Recorder& r);
    XRJnlh handle() { return &rec; }
};

// A host handle whose operations record; xrnls and sknls_global start null.
struct RecordingHost {
    XR_HNDL_S rec;
    Recorder* recorder;
    explicit RecordingHost(Recorder& r);
    XRHndlp handle() { return &rec; }
};

// A pool whose memAlloc records and hands out real memory, unless refuse is set.
struct RecordingPool {
    XR_POOL_S rec;
    Recorder* recorder;
    bool refuse = false;
    std::vector<std::vector<unsigned char>> blocks;
    explicit RecordingPool(Recorder& r);
    XRPoolh handle() { return &rec; }
};

// An NLS extension whose services record; the results come from the script (the
// character services answer with their argument when nothing is scripted for them).
// ext.hndl, icu and unidataExt start null.
struct RecordingNls {
    XRNLS_EXT_S rec;
    Recorder* recorder;
    explicit RecordingNls(Recorder& r);
    XRExtensionh handle() { return &rec.ext; }
};

// A logger whose services record. CaptureV returns the scripted value, else
// `captured` (non-null, so that dumps raise events); RenderV and IsEnabled answer from
// the script. LogEvent records its ten arguments; srcLine and srcFile are kept as text.
struct RecordingLogger {
    Logger_S rec;
    LoggerServices_S svcs;
    Recorder* recorder;
    XRZCapturedp captured = reinterpret_cast<XRZCapturedp>(std::uintptr_t{0xCA0});
    std::vector<std::string> srcLines, srcFiles;
    explicit RecordingLogger(Recorder& r, LoggerLevel level = LL_Null,
                             LoggerLevel ancestorlevel = LL_Null);
    Loggerp handle() { return &rec; }
};

// A locale whose 25 UTF-8 entries record their arguments (doubles by their bits) and
// answer with the scripted status; xrnls is null until set.
struct RecordingLocale {
    XRNLS_LOCALE_S rec;
    Recorder* recorder;
    explicit RecordingLocale(Recorder& r);
    XRLocaleh handle() { return &rec; }
};

// An ICU service object whose normalize and compare record and answer from the script;
// compare stores the scripted "compare.result" into *result when one is scripted.
struct RecordingIcu {
    XRNLS_COLLATE_S rec;
    ICURawFuncVtbl vtbl;
    Recorder* recorder;
    explicit RecordingIcu(Recorder& r);
    XRNLSIcup handle() { return &rec; }
};

} // namespace xrtest
