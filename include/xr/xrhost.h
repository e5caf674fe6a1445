/* xrkit: the host framework's records, as far as the library reaches into them.
 *
 * Every operation is called with the record's own handle first. The library never
 * tests an operation pointer for null; a host fills every member it names here.
 * Records other than these may carry private state after the named members. */
#ifndef XR_XRHOST_H
#define XR_XRHOST_H

#include <stdarg.h>

#include "xr/xrtypes.h"

XR_EXTERN_C_BEGIN

/* Header of the journal, pool, locale, extension and ICU records. */
typedef struct XRGeneric_S {
    int32_t oven;
    const char* name;
    void (*destroy)(void* self);
} XRGeneric;

/* Host handle. */
typedef struct xrzTime_S {
    double gmt;    /* current date-time, GMT, seconds on the host's date-time scale */
    double offset; /* the host's time-zone offset in seconds */
} xrzTime_t;

#define XR_CONFIG_SERVICE_TIME 16
#define XR_CONFIG_TIME_FLAGS 0x10800000u

typedef struct XR_HNDL_S {
    XRExtensionh xrnls; /* the NLS extension (an XRNLS_EXT_S), or null */
    void* sknls_global; /* null, or an SKNLS_GLOBAL_S */
    XRStatus (*ConfigureSystem)(XRHndlp hndl, int32_t service, void* data, XRFlags flags);
    XRExtensionh (*loadExtension)(XRHndlp hndl, const char* name, XRMemSize nameL, XRJnlh jnl);
    XRZCapturedp (*msgCaptureV)(XRHndlp hndl, XRPoolh pool, XRStatus fmtStatus, va_list args);
    XRStatus (*msgFormatBuffV)(XRHndlp hndl, XRZFmtInfop info, const XRChar* fmt, XRStrSize fmtL,
                               XRChar* dest, XRStrSize destL, XRStrSize* cnvL, void* reserved,
                               va_list args);
    XRZRenderedp (*msgRender)(XRHndlp hndl, XRZFmtInfop info, XRPoolh pool, XRZCapturedp captured);
    XRZRenderedp (*msgRenderFmtV)(XRHndlp hndl, XRZFmtInfop info, XRPoolh pool, const XRChar* fmt,
                                  XRStrSize fmtL, va_list args);
    XRStatus (*msgStatusBuffV)(XRHndlp hndl, XRZFmtInfop info, XRStatus fmtStatus, XRChar* dest,
                               XRStrSize destL, XRStrSize* cnvL, va_list args);
} XR_HNDL_S;

/* The block that sknls_global points to. */
typedef struct SKNLS_GLOBAL_S {
    XRLocaleh defaultLocale;
} SKNLS_GLOBAL_S;

/* Journal. */
typedef struct XR_JNL_S {
    XRGeneric generic;
    XRStatus (*flush)(XRJnlh jnl);
    XRStatus (*messageToBuf)(XRJnlh jnl, const XRChar* fmt, XRStrSize fmtL, XRChar* msg,
                             XRStrSize msgL, XRStrSize* cnvL, va_list args);
    XRStatus (*messageToJnl)(XRJnlh jnl, XRSeverity sev, const XRChar* fmt, XRStrSize fmtL,
                             va_list args);
    XRStatus (*statusToBuf)(XRJnlh jnl, XRStatus inStatus, XRChar* msg, XRStrSize msgL,
                            XRStrSize* cnvL, va_list args);
    XRStatus (*statusToJnl)(XRJnlh jnl, XRSeverity sev, XRStatus inStatus, va_list args);
    XRStatus (*concat)(XRJnlh jnl, XRJnlh other);
    XRStatus (*tee)(XRJnlh jnl, XRJnlh other);
    XRBoolean (*hasData)(XRJnlh jnl);
    XRStatus (*config)(XRJnlh jnl, XRFlags flags, void* data);
    XRLocaleh (*getLocale)(XRJnlh jnl);
    void* future1;
} XR_JNL_S;

/* Pool. */
typedef struct XR_POOL_S {
    XRGeneric generic;
    XRMemPtr (*memAlloc)(XRPoolh pool, XRMemSize size, XRFlags flags);
} XR_POOL_S;

/* Captured and rendered messages, made by the host's formatter. */
typedef enum XRZMsgArgType_e {
    xrzf_msg_undef = 0,
    xrzf_msg_ch = 1,
    xrzf_msg_xrch = 2,
    xrzf_msg_int = 3,
    xrzf_msg_intfast = 4,
    xrzf_msg_ptr = 5,
    xrzf_msg_intmax = 6,
    xrzf_msg_double = 7,
    xrzf_msg_ldouble = 8,
    xrzf_msg_ch_str = 9,
    xrzf_msg_xr_str = 10
} XRZMsgArgType;

typedef struct XRZMsgArgStr_S {
    intptr_t ptr;
    XRMemSize buffSz;
    char* buff;
} XRZMsgArgStr;

typedef struct XRZMsgArg_S {
    XRZMsgArgType argType;
    union {
        unsigned int uix;
        uintfast_t ulx;
        uintptr_t ptr;
        uint64_t umx;
        double dbl;
        long double ldbl;
        XRZMsgArgStr str;
        unsigned char pad[32];
    } argVal;
} XRZMsgArg;

/* The captured and rendered records end in an array of count entries. C declares it as
 * a flexible array member; C++ has none, so there the record is aligned for its entries
 * and args() and lines() return the entries that follow it. Both languages see the same
 * size, alignment and offsets, which the checks below hold on every includer. */
#ifdef __cplusplus
#define XR_ENTRIES_ALIGN(type) alignas(type)
#else
#define XR_ENTRIES_ALIGN(type)
#endif

typedef struct XR_ENTRIES_ALIGN(XRZMsgArg) XRZCaptured_S {
    XRGeneric gen;
    XRPoolh pool;
    XRStatus status;
    int count;
#ifdef __cplusplus
    XRZMsgArg* args() {
        return reinterpret_cast<XRZMsgArg*>(this + 1);
    }
    const XRZMsgArg* args() const {
        return reinterpret_cast<const XRZMsgArg*>(this + 1);
    }
#else
    XRZMsgArg args[];       /* count entries */
#endif
} XRZCaptured_S;

typedef struct XRZMessageLine_S {
    XRChar* line;
    XRStrSize lineL;
} XRZMessageLine;

typedef struct XR_ENTRIES_ALIGN(XRZMessageLine) XRZRendered_S {
    XRGeneric gen;
    XRPoolh pool;
    int32_t rc;
    int count;
#ifdef __cplusplus
    XRZMessageLine* lines() {
        return reinterpret_cast<XRZMessageLine*>(this + 1);
    }
    const XRZMessageLine* lines() const {
        return reinterpret_cast<const XRZMessageLine*>(this + 1);
    }
#else
    XRZMessageLine lines[]; /* count entries */
#endif
} XRZRendered_S;

XR_STATIC_ASSERT(sizeof(XRZMsgArg) == 48, msg_arg_size);
XR_STATIC_ASSERT(sizeof(XRZCaptured_S) == 48 && offsetof(XRZCaptured_S, count) == 36,
                 captured_layout);
XR_STATIC_ASSERT(sizeof(XRZRendered_S) == 40 && offsetof(XRZRendered_S, count) == 36,
                 rendered_layout);
#ifndef __cplusplus
XR_STATIC_ASSERT(offsetof(XRZCaptured_S, args) == 48, captured_args_offset);
XR_STATIC_ASSERT(offsetof(XRZRendered_S, lines) == 40, rendered_lines_offset);
#endif

/* Formatter info record. */
struct XRZFmtInfo_S {
    XRLocaleh locale;
    XRFlags altfmts;
    uint32_t filler;
};

/* Logger. */
typedef struct LoggerServices_S {
    XRZCapturedp (*CaptureV)(Loggerp logger, XRStatus status, va_list args);
    XRZRenderedp (*RenderV)(Loggerp logger, XRLocaleh locale, const XRChar* msg, XRStrSize msgL,
                            va_list args);
    XRBoolean (*IsEnabled)(Loggerp logger, LoggerLevel level);
    void (*LogEvent)(Loggerp logger, LoggerLevel level, uint32_t flags, void* diagContext,
                     void* reserved, const char* srcLine, const char* srcFile, NLScei encoding,
                     XRZRenderedp rendered, XRZCapturedp captured);
} LoggerServices_S;

typedef struct Logger_S {
    LoggerServices_S* logSvcs;
    LoggerLevel level;         /* LL_Null: none set */
    LoggerLevel ancestorlevel; /* LL_Null: none inherited */
} Logger_S;

/* Extension: every loaded extension begins with this record. */
typedef struct XR_EXT_S {
    XRGeneric generic;
    XRHndlp hndl;
} XR_EXT_S;

/* ICU service object. */
typedef struct ICURawFuncVtbl_S {
    XRStatus (*normalize)(XRNLSIcup icu, UTF8ConstStr in, UTF8ByteLength inL, XRNLSUNormMode mode,
                          int32_t opts, UTF8Str out, UTF8ByteLength outL, UTF8ByteLength* cvtL);
    XRStatus (*compare)(XRNLSIcup icu, UTF8ConstStr str1, UTF8ByteLength str1L, UTF8ConstStr str2,
                        UTF8ByteLength str2L, uint32_t opts, int32_t* result);
} ICURawFuncVtbl;

typedef struct XRNLS_COLLATE_S {
    XRGeneric generic;
    const ICURawFuncVtbl* ivtbl;
} XRNLS_COLLATE_S;

/* NLS extension: XR_EXT_S followed by the national-language services. */
typedef struct XRNLS_EXT_S {
    XR_EXT_S ext;
    XRChar (*charUpcase)(XRExtensionh nls, XRChar c, int32_t count);
    XRChar (*charDowncase)(XRExtensionh nls, XRChar c, int32_t count);
    XRStatus (*getIcu)(XRExtensionh nls, XRNLSIcup* icu, void* reserved);
    XRBoolean (*charIsCategory)(XRExtensionh nls, XRChar c, XRUnidataGC mask);
    XRNLSIcup icu;           /* cached service object, or null */
    XRExtensionh unidataExt; /* the Unicode-data extension, null until loaded */
} XRNLS_EXT_S;

/* Locale with its UTF-8 entries. */
typedef struct XRNLS_LOCALE_S {
    XRGeneric generic;
    XRExtensionh xrnls; /* the owning NLS extension (an XRNLS_EXT_S) */

    XRStatus (*doubleFormatUWithExOpts)(XRLocaleh l, double v, int32_t w, int32_t p, XRFlags opt,
                                        UTF8Str s, UTF8ByteLength sL, UTF8ByteLength* cvtL,
                                        const void* exOpts);
    XRStatus (*intfastFormatU)(XRLocaleh l, intfast_t v, int32_t w, int32_t p, XRFlags opt,
                               UTF8Str s, UTF8ByteLength sL, UTF8ByteLength* cvtL);
    XRStatus (*intmaxFormatU)(XRLocaleh l, intmax_t v, int32_t w, int32_t p, XRFlags opt, UTF8Str s,
                              UTF8ByteLength sL, UTF8ByteLength* cvtL);
    XRStatus (*uintfastFormatU)(XRLocaleh l, uintfast_t v, int32_t w, int32_t p, XRFlags opt,
                                UTF8Str s, UTF8ByteLength sL, UTF8ByteLength* cvtL);
    XRStatus (*uintmaxFormatU)(XRLocaleh l, uintmax_t v, int32_t w, int32_t p, XRFlags opt,
                               UTF8Str s, UTF8ByteLength sL, UTF8ByteLength* cvtL);
    XRStatus (*longFormatU)(XRLocaleh l, long v, int32_t w, int32_t p, XRFlags opt, UTF8Str s,
                            UTF8ByteLength sL, UTF8ByteLength* cvtL);
    XRStatus (*ulongFormatU)(XRLocaleh l, unsigned long v, int32_t w, int32_t p, XRFlags opt,
                             UTF8Str s, UTF8ByteLength sL, UTF8ByteLength* cvtL);
    XRStatus (*intFormatU)(XRLocaleh l, int v, int32_t w, int32_t p, XRFlags opt, UTF8Str s,
                           UTF8ByteLength sL, UTF8ByteLength* cvtL);
    XRStatus (*uintFormatU)(XRLocaleh l, unsigned int v, int32_t w, int32_t p, XRFlags opt,
                            UTF8Str s, UTF8ByteLength sL, UTF8ByteLength* cvtL);

    XRStatus (*bufToIntfastU)(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o,
                              intfast_t* ift, UTF8ByteLength* cvtL);
    XRStatus (*bufToIntmaxU)(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o,
                             intmax_t* im, UTF8ByteLength* cvtL);
    XRStatus (*bufToUintfastU)(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o,
                               uintfast_t* uif, UTF8ByteLength* cvtL);
    XRStatus (*bufToUintmaxU)(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o,
                              uintmax_t* uim, UTF8ByteLength* cvtL);
    XRStatus (*bufToLongU)(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o, long* im,
                           UTF8ByteLength* cvtL);
    XRStatus (*bufToULongU)(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o,
                            unsigned long* uif, UTF8ByteLength* cvtL);
    XRStatus (*bufToIntU)(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o, int* im,
                          UTF8ByteLength* cvtL);
    XRStatus (*bufToUIntU)(XRLocaleh l, UTF8ConstStr b, UTF8ByteLength bL, XRFlags o,
                           unsigned int* uif, UTF8ByteLength* cvtL);
    XRStatus (*bufToDoubleU)(XRLocaleh l, UTF8Str s, UTF8ByteLength sL, double* v,
                             UTF8ByteLength* cvtL, void* pipeline);

    XRStatus (*dateFormatU)(XRLocaleh l, uint32_t month, uint32_t day, uint32_t year,
                            XRFlags options, UTF8Str fmtbuf, UTF8ByteLength fmtbufL,
                            UTF8ByteLength* cnvL);
    XRStatus (*datetimeFormatU)(XRLocaleh l, double value, XRFlags options, UTF8Str fmtbuf,
                                UTF8ByteLength fmtbufL, UTF8ByteLength* cnvL);
    XRStatus (*timeFormatU)(XRLocaleh l, double value, XRFlags options, UTF8Str fmtbuf,
                            UTF8ByteLength fmtbufL, UTF8ByteLength* cnvL);
    XRStatus (*bufToDatetimeU)(XRLocaleh l, const UTF8Str src, UTF8ByteLength srcL, XRFlags options,
                               double* datetime, UTF8ByteLength* usedL);
    XRStatus (*bufToDateU)(XRLocaleh l, const UTF8Str src, UTF8ByteLength srcL, XRFlags options,
                           uint32_t* month, uint32_t* day, uint32_t* year, UTF8ByteLength* usedL);
    XRStatus (*bufToTimeU)(XRLocaleh l, const UTF8Str src, UTF8ByteLength srcL, XRFlags options,
                           double* datetime, UTF8ByteLength* usedL);
} XRNLS_LOCALE_S;

XR_EXTERN_C_END

#endif
