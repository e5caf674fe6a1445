#include "recording.h"

#include <algorithm>
#include <tuple>

namespace xrtest {

namespace {

// The values a dump line carries for its code: [prefix] [owner] address, n bytes, n chars.
std::vector<Word> readDumpValues(XRStatus code, va_list values) {
    va_list ap;
    va_copy(ap, values);
    const auto low = static_cast<std::uint32_t>(code) & 0xFFu;
    const int n = static_cast<int>(low & 0x0F) + 1;
    const auto layout = low & 0xF0;
    std::vector<Word> out;
    if (layout == 0x10 || layout == 0x30) out.push_back(word(va_arg(ap, XRChar*))); // prefix
    if (layout == 0x10 || layout == 0x20) out.push_back(word(va_arg(ap, void*)));   // owner
    out.push_back(word(va_arg(ap, void*)));                                         // address
    for (int i = 0; i < 2 * n; ++i)
        out.push_back(word(va_arg(ap, int)));
    va_end(ap);
    return out;
}

std::vector<Word> readShape(const std::string& shape, va_list values) {
    va_list ap;
    va_copy(ap, values);
    std::vector<Word> out;
    for (char k : shape) {
        if (k == 'i') out.push_back(word(va_arg(ap, int)));
        if (k == 'u') out.push_back(word(va_arg(ap, unsigned)));
        if (k == 'l') out.push_back(word(va_arg(ap, std::int64_t)));
        if (k == 'p') out.push_back(word(va_arg(ap, void*)));
        if (k == 'd') out.push_back(word(va_arg(ap, double)));
    }
    va_end(ap);
    return out;
}

} // namespace

void PrintTo(const Call& c, std::ostream* os) {
    *os << c.op << std::hex;
    for (const auto* list : {&c.args, &c.values}) {
        *os << " (";
        for (Word w : *list)
            *os << " " << w;
        *os << " )";
    }
}

std::vector<Call> Recorder::named(const std::string& op) const {
    std::vector<Call> out;
    for (const Call& c : calls)
        if (c.op == op) out.push_back(c);
    return out;
}

Word Recorder::record(const std::string& op, std::vector<Word> args) {
    calls.push_back(Call{op, std::move(args), {}});
    return next(op);
}

Word Recorder::record(const std::string& op, std::vector<Word> args, va_list values,
                      XRStatus status) {
    const bool dump = static_cast<std::uint32_t>(status) >= 0x807FC200u &&
                      static_cast<std::uint32_t>(status) <= 0x807FC23Fu;
    calls.push_back(Call{op, std::move(args),
                         dump ? readDumpValues(status, values) : readShape(shape, values)});
    return next(op);
}

std::vector<Word> dumpLineValues(const XRChar* prefix, const void* owner, const std::uint8_t* p,
                                 std::size_t n) {
    std::vector<Word> v;
    if (prefix) v.push_back(word(prefix));
    if (owner) v.push_back(word(owner));
    v.push_back(word(p));
    v.insert(v.end(), p, p + n);
    for (std::size_t i = 0; i < n; ++i)
        v.push_back(p[i] >= 0x20 && p[i] <= 0x7E ? p[i] : '.');
    return v;
}

// The recording object behind each kind of handle (declared only, for its type).
RecordingJournal* owner(XRJnlh);
RecordingHost* owner(XRHndlp);
RecordingNls* owner(XRExtensionh);
RecordingLogger* owner(Loggerp);
RecordingLocale* owner(XRLocaleh);
RecordingIcu* owner(XRNLSIcup);

namespace {

template <class H> Recorder& of(H h) {
    return *reinterpret_cast<decltype(owner(h))>(h)->recorder;
}
RecordingLogger& loggerOf(Loggerp l) {
    return *reinterpret_cast<RecordingLogger*>(l);
}

template <class R> R as(Word w) {
    if constexpr (std::is_pointer_v<R>)
        return reinterpret_cast<R>(w);
    else
        return static_cast<R>(w);
}

template <std::size_t N> struct Name {
    char s[N];
    constexpr Name(const char (&v)[N]) { std::copy_n(v, N, s); }
};

// An entry that records its name with all its arguments and answers the scripted word.
template <Name Op, class F> struct Thunk;
template <Name Op, class R, class H, class... A> struct Thunk<Op, R (*)(H, A...)> {
    static R call(H h, A... a) { return as<R>(of(h).record(Op.s, words(h, a...))); }
};
// As Thunk, for an entry whose last argument is its va_list; S is the position of the
// message status among the arguments after the handle, or -1 when there is none.
template <Name Op, int S, class F> struct VThunk;
template <Name Op, int S, class R, class H, class... A> struct VThunk<Op, S, R (*)(H, A...)> {
    static R call(H h, A... a) {
        std::vector<Word> args = words(h, a...);
        args.pop_back();
        const XRStatus st = S < 0 ? 0 : static_cast<XRStatus>(args[S + 1]);
        return as<R>(
            of(h).record(Op.s, std::move(args), std::get<sizeof...(A) - 1>(std::tie(a...)), st));
    }
};
#define BIND(m) rec.m = Thunk<#m, decltype(rec.m)>::call
#define VBIND(m, s) rec.m = VThunk<#m, s, decltype(rec.m)>::call

XRChar mapped(XRExtensionh e, const char* op, XRChar c, int32_t count) {
    Recorder& r = of(e);
    const bool scripted = !r.results[op].empty();
    Word w = r.record(op, words(e, c, count));
    return scripted ? static_cast<XRChar>(w) : c;
}

} // namespace

RecordingJournal::RecordingJournal(Recorder& r) : rec{}, recorder(&r) {
    rec.generic = {7, "recording.journal", nullptr};
    BIND(flush);
    VBIND(messageToBuf, -1);
    VBIND(messageToJnl, -1);
    VBIND(statusToBuf, 0);
    VBIND(statusToJnl, 1);
    BIND(concat);
    BIND(tee);
    BIND(hasData);
    BIND(config);
    BIND(getLocale);
}

RecordingHost::RecordingHost(Recorder& r) : rec{}, recorder(&r) {
    BIND(ConfigureSystem);
    BIND(loadExtension);
    VBIND(msgCaptureV, 1);
    VBIND(msgFormatBuffV, -1);
    BIND(msgRender);
    VBIND(msgRenderFmtV, -1);
    VBIND(msgStatusBuffV, 1);
}

RecordingPool::RecordingPool(Recorder& r)
    : rec{{7, "recording.pool", nullptr},
          [](XRPoolh p, XRMemSize size, XRFlags flags) -> XRMemPtr {
              auto* self = reinterpret_cast<RecordingPool*>(p);
              self->recorder->record("memAlloc", words(p, size, flags));
              if (self->refuse) return nullptr;
              self->blocks.emplace_back(static_cast<std::size_t>(size) + 1);
              return self->blocks.back().data();
          }},
      recorder(&r) {}

RecordingNls::RecordingNls(Recorder& r)
    : rec{{{7, "recording.nls", nullptr}, nullptr},
          [](XRExtensionh e, XRChar c, int32_t n) { return mapped(e, "charUpcase", c, n); },
          [](XRExtensionh e, XRChar c, int32_t n) { return mapped(e, "charDowncase", c, n); },
          [](XRExtensionh e, XRNLSIcup* icu, void* reserved) {
              Recorder& rr = of(e);
              const bool scripted = !rr.results["getIcu.object"].empty();
              const auto st = static_cast<XRStatus>(rr.record("getIcu", words(e, icu, reserved)));
              if (scripted) *icu = reinterpret_cast<XRNLSIcup>(rr.next("getIcu.object"));
              return st;
          },
          nullptr,
          nullptr,
          nullptr},
      recorder(&r) {
    BIND(charIsCategory);
}

RecordingLogger::RecordingLogger(Recorder& r, LoggerLevel level, LoggerLevel ancestorlevel)
    : rec{&svcs, level, ancestorlevel},
      svcs{[](Loggerp l, XRStatus st, va_list v) {
               RecordingLogger& self = loggerOf(l);
               const bool scripted = !self.recorder->results["CaptureV"].empty();
               Word w = self.recorder->record("CaptureV", words(l, st), v, st);
               return scripted ? reinterpret_cast<XRZCapturedp>(w) : self.captured;
           },
           VThunk<"RenderV", -1, decltype(svcs.RenderV)>::call,
           Thunk<"IsEnabled", decltype(svcs.IsEnabled)>::call,
           [](Loggerp l, LoggerLevel level, uint32_t flags, void* diag, void* reserved,
              const char* srcLine, const char* srcFile, NLScei ce, XRZRenderedp rendered,
              XRZCapturedp captured) {
               RecordingLogger& self = loggerOf(l);
               self.srcLines.emplace_back(srcLine ? srcLine : "(null)");
               self.srcFiles.emplace_back(srcFile ? srcFile : "(null)");
               self.recorder->record("LogEvent", words(l, level, flags, diag, reserved, srcLine,
                                                       srcFile, ce, rendered, captured));
           }},
      recorder(&r) {}

RecordingLocale::RecordingLocale(Recorder& r) : rec{}, recorder(&r) {
    rec.generic = {7, "recording.locale", nullptr};
    BIND(doubleFormatUWithExOpts);
    BIND(intfastFormatU);
    BIND(intmaxFormatU);
    BIND(uintfastFormatU);
    BIND(uintmaxFormatU);
    BIND(longFormatU);
    BIND(ulongFormatU);
    BIND(intFormatU);
    BIND(uintFormatU);
    BIND(bufToIntfastU);
    BIND(bufToIntmaxU);
    BIND(bufToUintfastU);
    BIND(bufToUintmaxU);
    BIND(bufToLongU);
    BIND(bufToULongU);
    BIND(bufToIntU);
    BIND(bufToUIntU);
    BIND(bufToDoubleU);
    BIND(dateFormatU);
    BIND(datetimeFormatU);
    BIND(timeFormatU);
    BIND(bufToDatetimeU);
    BIND(bufToDateU);
    BIND(bufToTimeU);
}

RecordingIcu::RecordingIcu(Recorder& r)
    : rec{{7, "recording.icu", nullptr}, &vtbl},
      vtbl{Thunk<"normalize", decltype(vtbl.normalize)>::call,
           [](XRNLSIcup i, UTF8ConstStr s1, UTF8ByteLength l1, UTF8ConstStr s2, UTF8ByteLength l2,
              uint32_t opts, int32_t* result) {
               Recorder& rr = of(i);
               const bool scripted = !rr.results["compare.result"].empty();
               const auto st = static_cast<XRStatus>(
                   rr.record("compare", words(i, s1, l1, s2, l2, opts, result)));
               if (scripted) *result = static_cast<int32_t>(rr.next("compare.result"));
               return st;
           }},
      recorder(&r) {}

} // namespace xrtest
