#include "xrhost/message.h"

#include <cstddef>
#include <cstring>
#include <vector>

#include "xrhost/format.h"

namespace xrhost {
namespace {

// Reads from a va_list like VaArgs and keeps each value with its type.
class CapturingArgs final : public ArgSource {
  public:
    explicit CapturingArgs(va_list args) : in_(args) {}
    std::vector<XRZMsgArg> args;
    std::vector<std::vector<char>> copies; // one per string value, in order

    int nextInt() override { return static_cast<int>(keep(xrzf_msg_int, in_.nextInt()).uix); }
    long long nextIntmax() override {
        const long long v = in_.nextIntmax();
        add(xrzf_msg_intmax).umx = static_cast<std::uint64_t>(v);
        return v;
    }
    XRChar nextChar() override {
        return static_cast<XRChar>(keep(xrzf_msg_xrch, in_.nextChar()).uix);
    }
    void* nextPointer() override {
        void* p = in_.nextPointer();
        add(xrzf_msg_ptr).ptr = reinterpret_cast<std::uintptr_t>(p);
        return p;
    }
    double nextDouble() override { return add(xrzf_msg_double).dbl = in_.nextDouble(); }
    long double nextLongDouble() override {
        return add(xrzf_msg_ldouble).ldbl = in_.nextLongDouble();
    }
    const XRChar* nextXRString() override {
        const XRChar* s = in_.nextXRString();
        std::size_t n = 0;
        while (s && s[n])
            ++n;
        copy(xrzf_msg_xr_str, s, s ? (n + 1) * sizeof(XRChar) : 0);
        return s;
    }
    const char* nextCharString() override {
        const char* s = in_.nextCharString();
        copy(xrzf_msg_ch_str, s, s ? std::strlen(s) + 1 : 0);
        return s;
    }

  private:
    VaArgs in_;
    decltype(XRZMsgArg::argVal)& add(XRZMsgArgType type) {
        XRZMsgArg& a = args.emplace_back();
        std::memset(&a, 0, sizeof a);
        a.argType = type;
        return a.argVal;
    }
    decltype(XRZMsgArg::argVal)& keep(XRZMsgArgType type, int v) {
        auto& val = add(type);
        val.uix = static_cast<unsigned>(v);
        return val;
    }
    void copy(XRZMsgArgType type, const void* s, std::size_t bytes) {
        add(type).str.ptr = reinterpret_cast<std::intptr_t>(s);
        args.back().argVal.str.buffSz = bytes;
        copies.emplace_back(static_cast<const char*>(s), static_cast<const char*>(s) + bytes);
    }
};

// Replays the values of a captured record; a value of another type reads as zero.
class CapturedArgs final : public ArgSource {
  public:
    explicit CapturedArgs(const XRZCaptured_S& c) : c_(c) {}
    int nextInt() override { return static_cast<int>(take(xrzf_msg_int).uix); }
    long long nextIntmax() override { return static_cast<long long>(take(xrzf_msg_intmax).umx); }
    XRChar nextChar() override { return static_cast<XRChar>(take(xrzf_msg_xrch).uix); }
    void* nextPointer() override { return reinterpret_cast<void*>(take(xrzf_msg_ptr).ptr); }
    double nextDouble() override { return take(xrzf_msg_double).dbl; }
    long double nextLongDouble() override { return take(xrzf_msg_ldouble).ldbl; }
    const XRChar* nextXRString() override {
        return reinterpret_cast<const XRChar*>(take(xrzf_msg_xr_str).str.buff);
    }
    const char* nextCharString() override { return take(xrzf_msg_ch_str).str.buff; }

  private:
    const XRZCaptured_S& c_;
    int next_ = 0;
    decltype(XRZMsgArg::argVal) zero_{};
    const decltype(XRZMsgArg::argVal)& take(XRZMsgArgType type) {
        if (next_ >= c_.count) return zero_;
        const XRZMsgArg& a = c_.args()[next_++];
        return a.argType == type ? a.argVal : zero_;
    }
};

constexpr std::size_t roundUp(std::size_t n) {
    return (n + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) *
           alignof(std::max_align_t);
}

} // namespace

XRZCapturedp capture(const Catalog& catalog, XRPoolh pool, XRStatus code, va_list args) {
    CapturingArgs values(args);
    if (const XRText* tmpl = catalog.find(code)) {
        XRText ignored;
        formatTo(ignored, tmpl->data(), tmpl->size(), values);
    }
    const std::size_t head =
        roundUp(sizeof(XRZCaptured_S) + values.args.size() * sizeof(XRZMsgArg));
    std::size_t size = head;
    for (const auto& c : values.copies)
        size += roundUp(c.size());
    auto* block = static_cast<unsigned char*>(pool->memAlloc(pool, size, 0));
    if (!block) return nullptr;
    auto* rec = new (block) XRZCaptured_S{
        {1, "xrhost.captured", nullptr}, pool, code, static_cast<int>(values.args.size())};
    unsigned char* strings = block + head;
    std::size_t copy = 0;
    for (std::size_t i = 0; i < values.args.size(); ++i) {
        XRZMsgArg& a = rec->args()[i];
        a = values.args[i];
        if (a.argType != xrzf_msg_xr_str && a.argType != xrzf_msg_ch_str) continue;
        const auto& bytes = values.copies[copy++];
        a.argVal.str.buff = bytes.empty() ? nullptr : reinterpret_cast<char*>(strings);
        std::memcpy(strings, bytes.data(), bytes.size());
        strings += roundUp(bytes.size());
    }
    return rec;
}

XRText renderText(const Catalog& catalog, const XRZCaptured_S& captured) {
    CapturedArgs values(captured);
    return catalog.render(captured.status, values);
}

XRZRenderedp makeRendered(XRPoolh pool, const XRText& text) {
    std::vector<std::pair<std::size_t, std::size_t>> spans; // start, length
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i)
        if (i == text.size() || text[i] == '\n') {
            spans.emplace_back(start, i - start);
            start = i + 1;
        }
    const std::size_t head = roundUp(sizeof(XRZRendered_S) + spans.size() * sizeof(XRZMessageLine));
    auto* block =
        static_cast<unsigned char*>(pool->memAlloc(pool, head + text.size() * sizeof(XRChar), 0));
    if (!block) return nullptr;
    auto* rec = new (block)
        XRZRendered_S{{1, "xrhost.rendered", nullptr}, pool, 0, static_cast<int>(spans.size())};
    auto* units = reinterpret_cast<XRChar*>(block + head);
    if (!text.empty()) std::memcpy(units, text.data(), text.size() * sizeof(XRChar));
    for (std::size_t i = 0; i < spans.size(); ++i)
        rec->lines()[i] = {units + spans[i].first, static_cast<XRStrSize>(spans[i].second)};
    return rec;
}

XRText joinLines(const XRZRendered_S& rendered) {
    XRText text;
    for (int i = 0; i < rendered.count; ++i) {
        if (i) text.push_back('\n');
        text.insert(text.end(), rendered.lines()[i].line,
                    rendered.lines()[i].line + rendered.lines()[i].lineL);
    }
    return text;
}

} // namespace xrhost
