// Memory dumps to a journal, one catalog message per 16-byte line.
#include "internal/dumpline.h"
#include "xr/xrdump.h"
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

const std::uint8_t* bytes(XRMemPtr addr) { return static_cast<const std::uint8_t*>(addr); }

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

} // extern "C"
