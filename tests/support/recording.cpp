#include "recording.h"

namespace xrtest {

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
        switch (k) {
        case 'i':
            out.push_back(word(va_arg(ap, int)));
            break;
        case 'u':
            out.push_back(word(va_arg(ap, unsigned)));
            break;
        case 'l':
            out.push_back(word(va_arg(ap, std::int64_t)));
            break;
        case 'p':
            out.push_back(word(va_arg(ap, void*)));
            break;
        case 'd':
            out.push_back(word(va_arg(ap, double)));
            break;
        default:
            break;
        }
    }
    va_end(ap);
    return out;
}

namespace {

Recorder& of(XRJnlh j) {
    return *reinterpret_cast<RecordingJournal*>(j)->recorder;
}
Recorder& of(XRHndlp h) {
    return *reinterpret_cast<RecordingHost*>(h)->recorder;
}
Recorder& of(XRExtensionh e) {
    return *reinterpret_cast<RecordingNls*>(e)->recorder;
}
RecordingLogger& loggerOf(Loggerp l) {
    return *reinterpret_cast<RecordingLogger*>(l);
}
Recorder& of(XRLocaleh l) {
    return *reinterpret_cast<RecordingLocale*>(l)->recorder;
}
Recorder& of(XRNLSIcup i) {
    return *reinterpret_cast<RecordingIcu*>(i)->recorder;
}

// A locale entry: records op with all its arguments and answers the scripted status.
template <class... A> XRStatus localeEntry(const char* op, XRLocaleh l, A... a) {
    return static_cast<XRStatus>(of(l).record(op, words(l, a...)));
}

XRChar mapped(XRExtensionh e, const char* op, XRChar c, int32_t count) {
    Recorder& r = of(e);
    const bool scripted = !r.results[op].empty();
    Word w = r.record(op, words(e, c, count));
    return scripted ? static_cast<XRChar>(w) : c;
}

} // namespace

RecordingJournal::RecordingJournal(Recorder& r)
    : rec{{7, "recording.journal", nullptr},
          [](XRJnlh j) { return XRStatus(of(j).record("flush", words(j))); },
          [](XRJnlh j, const XRChar* fmt, XRStrSize fmtL, XRChar* msg, XRStrSize msgL,
             XRStrSize* cnvL, va_list v) {
              return XRStatus(
                  of(j).record("messageToBuf", words(j, fmt, fmtL, msg, msgL, cnvL), v));
          },
          [](XRJnlh j, XRSeverity sev, const XRChar* fmt, XRStrSize fmtL, va_list v) {
              return XRStatus(of(j).record("messageToJnl", words(j, sev, fmt, fmtL), v));
          },
          [](XRJnlh j, XRStatus st, XRChar* msg, XRStrSize msgL, XRStrSize* cnvL, va_list v) {
              return XRStatus(of(j).record("statusToBuf", words(j, st, msg, msgL, cnvL), v, st));
          },
          [](XRJnlh j, XRSeverity sev, XRStatus st, va_list v) {
              return XRStatus(of(j).record("statusToJnl", words(j, sev, st), v, st));
          },
          [](XRJnlh j, XRJnlh o) { return XRStatus(of(j).record("concat", words(j, o))); },
          [](XRJnlh j, XRJnlh o) { return XRStatus(of(j).record("tee", words(j, o))); },
          [](XRJnlh j) { return XRBoolean(of(j).record("hasData", words(j))); },
          [](XRJnlh j, XRFlags f, void* d) {
              return XRStatus(of(j).record("config", words(j, f, d)));
          },
          [](XRJnlh j) { return reinterpret_cast<XRLocaleh>(of(j).record("getLocale", words(j))); },
          nullptr},
      recorder(&r) {}

RecordingHost::RecordingHost(Recorder& r)
    : rec{nullptr,
          nullptr,
          [](XRHndlp h, int32_t service, void* data, XRFlags flags) {
              return XRStatus(of(h).record("ConfigureSystem", words(h, service, data, flags)));
          },
          [](XRHndlp h, const char* name, XRMemSize nameL, XRJnlh jnl) {
              return reinterpret_cast<XRExtensionh>(
                  of(h).record("loadExtension", words(h, name, nameL, jnl)));
          },
          [](XRHndlp h, XRPoolh pool, XRStatus st, va_list v) {
              return reinterpret_cast<XRZCapturedp>(
                  of(h).record("msgCaptureV", words(h, pool, st), v, st));
          },
          [](XRHndlp h, XRZFmtInfop info, const XRChar* fmt, XRStrSize fmtL, XRChar* dest,
             XRStrSize destL, XRStrSize* cnvL, void* reserved, va_list v) {
              return XRStatus(of(h).record(
                  "msgFormatBuffV", words(h, info, fmt, fmtL, dest, destL, cnvL, reserved), v));
          },
          [](XRHndlp h, XRZFmtInfop info, XRPoolh pool, XRZCapturedp cap) {
              return reinterpret_cast<XRZRenderedp>(
                  of(h).record("msgRender", words(h, info, pool, cap)));
          },
          [](XRHndlp h, XRZFmtInfop info, XRPoolh pool, const XRChar* fmt, XRStrSize fmtL,
             va_list v) {
              return reinterpret_cast<XRZRenderedp>(
                  of(h).record("msgRenderFmtV", words(h, info, pool, fmt, fmtL), v));
          },
          [](XRHndlp h, XRZFmtInfop info, XRStatus st, XRChar* dest, XRStrSize destL,
             XRStrSize* cnvL, va_list v) {
              return XRStatus(
                  of(h).record("msgStatusBuffV", words(h, info, st, dest, destL, cnvL), v, st));
          }},
      recorder(&r) {}

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
          [](XRExtensionh e, XRChar c, XRUnidataGC mask) {
              return static_cast<XRBoolean>(of(e).record("charIsCategory", words(e, c, mask)));
          },
          nullptr,
          nullptr},
      recorder(&r) {}

RecordingLogger::RecordingLogger(Recorder& r, LoggerLevel level, LoggerLevel ancestorlevel)
    : rec{&svcs, level, ancestorlevel},
      svcs{[](Loggerp l, XRStatus st, va_list v) {
               RecordingLogger& self = loggerOf(l);
               const bool scripted = !self.recorder->results["CaptureV"].empty();
               Word w = self.recorder->record("CaptureV", words(l, st), v, st);
               return scripted ? reinterpret_cast<XRZCapturedp>(w) : self.captured;
           },
           [](Loggerp l, XRLocaleh locale, const XRChar* msg, XRStrSize msgL, va_list v) {
               return reinterpret_cast<XRZRenderedp>(
                   loggerOf(l).recorder->record("RenderV", words(l, locale, msg, msgL), v));
           },
           [](Loggerp l, LoggerLevel level) {
               return static_cast<XRBoolean>(
                   loggerOf(l).recorder->record("IsEnabled", words(l, level)));
           },
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

RecordingLocale::RecordingLocale(Recorder& r)
    : rec{{7, "recording.locale", nullptr},
          nullptr,
          [](XRLocaleh l, double v, int32_t w, int32_t p, XRFlags o, UTF8Str s, UTF8ByteLength sL,
             UTF8ByteLength* cvtL, const void* ex) {
              return localeEntry("doubleFormatUWithExOpts", l, v, w, p, o, s, sL, cvtL, ex);
          },
          [](XRLocaleh l, intfast_t v, int32_t w, int32_t p, XRFlags o, UTF8Str s,
             UTF8ByteLength sL, UTF8ByteLength* cvtL) {
              return localeEntry("intfastFormatU", l, v, w, p, o, s, sL, cvtL);
          },
          [](XRLocaleh l, intmax_t v, int32_t w, int32_t p, XRFlags o, UTF8Str s, UTF8ByteLength sL,
             UTF8ByteLength* cvtL) {
              return localeEntry("intmaxFormatU", l, v, w, p, o, s, sL, cvtL);
          },
          [](XRLocaleh l, uintfast_t v, int32_t w, int32_t p, XRFlags o, UTF8Str s,
             UTF8ByteLength sL, UTF8ByteLength* cvtL) {
              return localeEntry("uintfastFormatU", l, v, w, p, o, s, sL, cvtL);
          },
          [](XRLocaleh l, uintmax_t v, int32_t w, int32_t p, XRFlags o, UTF8Str s,
             UTF8ByteLength sL, UTF8ByteLength* cvtL) {
              return localeEntry("uintmaxFormatU", l, v, w, p, o, s, sL, cvtL);
          },
          [](XRLocaleh l, long v, int32_t w, int32_t p, XRFlags o, UTF8Str s, UTF8ByteLength sL,
             UTF8ByteLength* cvtL) {
              return localeEntry("longFormatU", l, v, w, p, o, s, sL, cvtL);
          },
          [](XRLocaleh l, unsigned long v, int32_t w, int32_t p, XRFlags o, UTF8Str s,
             UTF8ByteLength sL, UTF8ByteLength* cvtL) {
              return localeEntry("ulongFormatU", l, v, w, p, o, s, sL, cvtL);
          },
          [](XRLocaleh l, int v, int32_t w, int32_t p, XRFlags o, UTF8Str s, UTF8ByteLength sL,
             UTF8ByteLength* cvtL) {
              return localeEntry("intFormatU", l, v, w, p, o, s, sL, cvtL);
          },
          [](XRLocaleh l, unsigned int v, int32_t w, int32_t p, XRFlags o, UTF8Str s,
             UTF8ByteLength sL, UTF8ByteLength* cvtL) {
              return localeEntry("uintFormatU", l, v, w, p, o, s, sL, cvtL);
          },
          [](XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o, intfast_t* v,
             UTF8ByteLength* cvtL) { return localeEntry("bufToIntfastU", l, b, bL, o, v, cvtL); },
          [](XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o, intmax_t* v,
             UTF8ByteLength* cvtL) { return localeEntry("bufToIntmaxU", l, b, bL, o, v, cvtL); },
          [](XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o, uintfast_t* v,
             UTF8ByteLength* cvtL) { return localeEntry("bufToUintfastU", l, b, bL, o, v, cvtL); },
          [](XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o, uintmax_t* v,
             UTF8ByteLength* cvtL) { return localeEntry("bufToUintmaxU", l, b, bL, o, v, cvtL); },
          [](XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o, long* v,
             UTF8ByteLength* cvtL) { return localeEntry("bufToLongU", l, b, bL, o, v, cvtL); },
          [](XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o, unsigned long* v,
             UTF8ByteLength* cvtL) { return localeEntry("bufToULongU", l, b, bL, o, v, cvtL); },
          [](XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o, int* v,
             UTF8ByteLength* cvtL) { return localeEntry("bufToIntU", l, b, bL, o, v, cvtL); },
          [](XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o, unsigned int* v,
             UTF8ByteLength* cvtL) { return localeEntry("bufToUIntU", l, b, bL, o, v, cvtL); },
          [](XRLocaleh l, UTF8Str s, UTF8ByteLength sL, double* v, UTF8ByteLength* cvtL,
             void* pipeline) { return localeEntry("bufToDoubleU", l, s, sL, v, cvtL, pipeline); },
          [](XRLocaleh l, uint32_t m, uint32_t d, uint32_t y, XRFlags o, UTF8Str s,
             UTF8ByteLength sL, UTF8ByteLength* cnvL) {
              return localeEntry("dateFormatU", l, m, d, y, o, s, sL, cnvL);
          },
          [](XRLocaleh l, double v, XRFlags o, UTF8Str s, UTF8ByteLength sL, UTF8ByteLength* cnvL) {
              return localeEntry("datetimeFormatU", l, v, o, s, sL, cnvL);
          },
          [](XRLocaleh l, double v, XRFlags o, UTF8Str s, UTF8ByteLength sL, UTF8ByteLength* cnvL) {
              return localeEntry("timeFormatU", l, v, o, s, sL, cnvL);
          },
          [](XRLocaleh l, const UTF8Str s, UTF8ByteLength sL, XRFlags o, double* v,
             UTF8ByteLength* usedL) {
              return localeEntry("bufToDatetimeU", l, s, sL, o, v, usedL);
          },
          [](XRLocaleh l, const UTF8Str s, UTF8ByteLength sL, XRFlags o, uint32_t* m, uint32_t* d,
             uint32_t* y, UTF8ByteLength* usedL) {
              return localeEntry("bufToDateU", l, s, sL, o, m, d, y, usedL);
          },
          [](XRLocaleh l, const UTF8Str s, UTF8ByteLength sL, XRFlags o, double* v,
             UTF8ByteLength* usedL) { return localeEntry("bufToTimeU", l, s, sL, o, v, usedL); }},
      recorder(&r) {}

RecordingIcu::RecordingIcu(Recorder& r)
    : rec{{7, "recording.icu", nullptr}, &vtbl},
      vtbl{[](XRNLSIcup i, UTF8ConstStr in, UTF8ByteLength inL, XRNLSUNormMode mode, int32_t opts,
              UTF8Str out, UTF8ByteLength outL, UTF8ByteLength* cvtL) {
               return static_cast<XRStatus>(
                   of(i).record("normalize", words(i, in, inL, mode, opts, out, outL, cvtL)));
           },
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
