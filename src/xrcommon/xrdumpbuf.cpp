// Memory dumps to a journal or a logger, one catalog message per 16-byte line.
#include <type_traits>

#include "internal/dumpline.h"
#include "xr/xrdump.h"
#include "xr/xrformat.h"
#include "xr/xrhost.h"
#include "xr/xrjournal.h"

namespace {

using xr::dump::forwardDump;
using xr::dump::reversedDump;

struct JournalSink {
    XRJnlh jnl;
    template <std::size_t N, class... Args> XRStatus send(XRStatus code, Args... args) {
        return xrlStatusToJnl(jnl, XRSeverityNone, code, args...);
    }
};

const std::uint8_t* bytes(XRMemPtr addr) {
    return static_cast<const std::uint8_t*>(addr);
}

XRStatus dumpBuf2(XRJnlh jnl, XRChar* prefix, XRMemPtr owner, XRMemPtr addr, XRMemSize addrL) {
    JournalSink sink{jnl};
    return forwardDump(sink, XRDumpCodePrefixOwner, bytes(addr), addrL, prefix, owner);
}

XRStatus dumpBuf1Prefix(XRJnlh jnl, XRChar* prefix, XRMemPtr addr, XRMemSize addrL) {
    JournalSink sink{jnl};
    return forwardDump(sink, XRDumpCodePrefix, bytes(addr), addrL, prefix);
}

XRStatus dumpBuf1Owner(XRJnlh jnl, XRMemPtr owner, XRMemPtr addr, XRMemSize addrL) {
    JournalSink sink{jnl};
    return forwardDump(sink, XRDumpCodeOwner, bytes(addr), addrL, owner);
}

XRStatus dumpBuf0(XRJnlh jnl, XRMemPtr addr, XRMemSize addrL) {
    JournalSink sink{jnl};
    return forwardDump(sink, XRDumpCodeNeither, bytes(addr), addrL);
}

XRStatus dumpBuf2R(XRJnlh jnl, XRChar* prefix, XRMemPtr owner, XRMemPtr addr, XRMemSize addrL) {
    JournalSink sink{jnl};
    return reversedDump(sink, XRDumpCodePrefixOwner, bytes(addr), addrL, prefix, owner);
}

XRStatus dumpBuf1PrefixR(XRJnlh jnl, XRChar* prefix, XRMemPtr addr, XRMemSize addrL) {
    JournalSink sink{jnl};
    return reversedDump(sink, XRDumpCodePrefix, bytes(addr), addrL, prefix);
}

XRStatus dumpBuf1OwnerR(XRJnlh jnl, XRMemPtr owner, XRMemPtr addr, XRMemSize addrL) {
    JournalSink sink{jnl};
    return reversedDump(sink, XRDumpCodeOwner, bytes(addr), addrL, owner);
}

XRStatus dumpBuf0R(XRJnlh jnl, XRMemPtr addr, XRMemSize addrL) {
    JournalSink sink{jnl};
    return reversedDump(sink, XRDumpCodeNeither, bytes(addr), addrL);
}

#define XR_TEXT_OF(x) #x
#define XR_LINE_TEXT(x) XR_TEXT_OF(x)
// The event of one line; its source line is where the macro is used.
#define XR_RAISE_EVENT                                                                             \
    return lg->logSvcs->LogEvent(lg, lv, 0, nullptr, nullptr, XR_LINE_TEXT(__LINE__),              \
                                 "xrdumpbuf.cpp", U_L_UCS4_CE, nullptr, cap)

// Every line size has its own raising statement, so an event's source line tells
// which size of line raised it.
void raise(Loggerp lg, LoggerLevel lv, std::size_t n, XRZCapturedp cap) {
    switch (n) {
    case 1:
        XR_RAISE_EVENT;
    case 2:
        XR_RAISE_EVENT;
    case 3:
        XR_RAISE_EVENT;
    case 4:
        XR_RAISE_EVENT;
    case 5:
        XR_RAISE_EVENT;
    case 6:
        XR_RAISE_EVENT;
    case 7:
        XR_RAISE_EVENT;
    case 8:
        XR_RAISE_EVENT;
    case 9:
        XR_RAISE_EVENT;
    case 10:
        XR_RAISE_EVENT;
    case 11:
        XR_RAISE_EVENT;
    case 12:
        XR_RAISE_EVENT;
    case 13:
        XR_RAISE_EVENT;
    case 14:
        XR_RAISE_EVENT;
    case 15:
        XR_RAISE_EVENT;
    default:
        XR_RAISE_EVENT;
    }
}

struct LoggerSink {
    Loggerp logger;
    LoggerLevel level;
    template <std::size_t N, class... Args> XRStatus send(XRStatus code, Args... args) {
        if (XRZCapturedp cap = LoggerCapture(logger, code, args...)) raise(logger, level, N, cap);
        return 0;
    }
};

// Read through volatile: a level changed during a dump counts from the next line on.
// Read as the enum's unsigned underlying type: a host may store any 32-bit value.
unsigned levelOf(const LoggerLevel& member) {
    using Raw = std::underlying_type_t<LoggerLevel>;
    static_assert(std::is_unsigned_v<Raw> && sizeof(Raw) == 4);
    return *reinterpret_cast<const volatile Raw*>(&member);
}

bool enabled(Loggerp logger, LoggerLevel level) {
    const unsigned wanted = static_cast<unsigned>(level);
    if (unsigned own = levelOf(logger->level); own != LL_Null) return wanted >= own;
    if (unsigned inherited = levelOf(logger->ancestorlevel); inherited != LL_Null)
        return wanted >= inherited;
    return logger->logSvcs->IsEnabled(logger, level) != 0;
}

// Forward order; a disabled line is skipped before any of its bytes is read, and no
// line's outcome stops the dump.
template <bool Forced, class... Lead>
XRStatus loggerDump(Loggerp logger, LoggerLevel level, XRStatus base, XRMemPtr addr, XRMemSize len,
                    Lead... lead) {
    LoggerSink sink{logger, level};
    const std::uint8_t* p = bytes(addr);
    for (; len >= xr::dump::kLineBytes; p += xr::dump::kLineBytes, len -= xr::dump::kLineBytes)
        if (Forced || enabled(logger, level))
            xr::dump::sendLineOf<xr::dump::kLineBytes>(sink, base, p, lead...);
    if (len && (Forced || enabled(logger, level)))
        xr::dump::sendLine(sink, base, p, static_cast<std::size_t>(len), lead...);
    return 0;
}

XRStatus dumpBuf2Log(Loggerp logger, LoggerLevel level, XRChar* prefix, XRMemPtr owner,
                     XRMemPtr addr, XRMemSize addrL) {
    return loggerDump<false>(logger, level, XRDumpCodePrefixOwner, addr, addrL, prefix, owner);
}

XRStatus dumpBuf1PrefixLog(Loggerp logger, LoggerLevel level, XRChar* prefix, XRMemPtr addr,
                           XRMemSize addrL) {
    return loggerDump<false>(logger, level, XRDumpCodePrefix, addr, addrL, prefix);
}

XRStatus dumpBuf1OwnerLog(Loggerp logger, LoggerLevel level, XRMemPtr owner, XRMemPtr addr,
                          XRMemSize addrL) {
    return loggerDump<false>(logger, level, XRDumpCodeOwner, addr, addrL, owner);
}

XRStatus dumpBuf0Log(Loggerp logger, LoggerLevel level, XRMemPtr addr, XRMemSize addrL) {
    return loggerDump<false>(logger, level, XRDumpCodeNeither, addr, addrL);
}

XRStatus dumpBuf2LogForce(Loggerp logger, XRChar* prefix, XRMemPtr owner, XRMemPtr addr,
                          XRMemSize addrL) {
    return loggerDump<true>(logger, LL_Uninitialized, XRDumpCodePrefixOwner, addr, addrL, prefix,
                            owner);
}

XRStatus dumpBuf1PrefixLogForce(Loggerp logger, XRChar* prefix, XRMemPtr addr, XRMemSize addrL) {
    return loggerDump<true>(logger, LL_Uninitialized, XRDumpCodePrefix, addr, addrL, prefix);
}

XRStatus dumpBuf1OwnerLogForce(Loggerp logger, XRMemPtr owner, XRMemPtr addr, XRMemSize addrL) {
    return loggerDump<true>(logger, LL_Uninitialized, XRDumpCodeOwner, addr, addrL, owner);
}

XRStatus dumpBuf0LogForce(Loggerp logger, XRMemPtr addr, XRMemSize addrL) {
    return loggerDump<true>(logger, LL_Uninitialized, XRDumpCodeNeither, addr, addrL);
}

} // namespace

extern "C" {

XRStatus dumpBuffer(XRJnlh jnl, XRChar* prefix, XRMemPtr owner, XRMemPtr addr, XRMemSize addrL) {
    if (prefix && owner) return dumpBuf2(jnl, prefix, owner, addr, addrL);
    if (prefix) return dumpBuf1Prefix(jnl, prefix, addr, addrL);
    if (owner) return dumpBuf1Owner(jnl, owner, addr, addrL);
    return dumpBuf0(jnl, addr, addrL);
}

XRStatus dumpBufferReversed(XRJnlh jnl, XRChar* prefix, XRMemPtr owner, XRMemPtr addr,
                            XRMemSize addrL) {
    if (prefix && owner) return dumpBuf2R(jnl, prefix, owner, addr, addrL);
    if (prefix) return dumpBuf1PrefixR(jnl, prefix, addr, addrL);
    if (owner) return dumpBuf1OwnerR(jnl, owner, addr, addrL);
    return dumpBuf0R(jnl, addr, addrL);
}

XRStatus dumpBufferLogger(Loggerp logger, LoggerLevel level, XRChar* prefix, XRMemPtr owner,
                          XRMemPtr addr, XRMemSize addrL) {
    if (prefix && owner) return dumpBuf2Log(logger, level, prefix, owner, addr, addrL);
    if (prefix) return dumpBuf1PrefixLog(logger, level, prefix, addr, addrL);
    if (owner) return dumpBuf1OwnerLog(logger, level, owner, addr, addrL);
    return dumpBuf0Log(logger, level, addr, addrL);
}

XRStatus dumpBufferLoggerForce(Loggerp logger, XRChar* prefix, XRMemPtr owner, XRMemPtr addr,
                               XRMemSize addrL) {
    if (prefix && owner) return dumpBuf2LogForce(logger, prefix, owner, addr, addrL);
    if (prefix) return dumpBuf1PrefixLogForce(logger, prefix, addr, addrL);
    if (owner) return dumpBuf1OwnerLogForce(logger, owner, addr, addrL);
    return dumpBuf0LogForce(logger, addr, addrL);
}

} // extern "C"
