/* xrkit: shared types, status codes, severities, logger levels. */
#ifndef XR_XRTYPES_H
#define XR_XRTYPES_H

#include <stddef.h>
#include <stdint.h>

#if defined(XRKIT_BUILDING)
#define XR_API __attribute__((visibility("default")))
#else
#define XR_API
#endif

#ifdef __cplusplus
#define XR_EXTERN_C_BEGIN extern "C" {
#define XR_EXTERN_C_END }
#else
#define XR_EXTERN_C_BEGIN
#define XR_EXTERN_C_END
#endif

/* A compile-time check in every language mode; C99 has no _Static_assert, so there a
 * false condition declares an array of negative size. */
#if defined(__cplusplus)
#define XR_STATIC_ASSERT(cond, what) static_assert(cond, #what)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define XR_STATIC_ASSERT(cond, what) _Static_assert(cond, #what)
#else
#define XR_STATIC_ASSERT(cond, what) typedef char xr_static_assert_##what[(cond) ? 1 : -1]
#endif

typedef int32_t XRChar;
typedef int32_t XRStatus;
typedef int64_t XRStrSize;
typedef uint64_t XRMemSize;
typedef void* XRMemPtr;
typedef const void* XRConstMemPtr;
typedef uint8_t XRBoolean;
typedef uint32_t XRFlags;

typedef uint8_t XRUtf8;
typedef uint16_t XRUtf16;
typedef uint32_t XRUtf32;
typedef XRUtf8* XRUtf8Ptr;

typedef uint8_t* UTF8Str;
typedef const uint8_t* UTF8ConstStr;
typedef uint8_t* UTF8Char;
typedef uint64_t UTF8ByteLength;
typedef uint64_t UTF8CharLength;

/* The framework's fixed-width integer kinds (the C names intmax_t/uintmax_t are
 * already 64-bit on this platform). */
typedef int32_t intfast_t;
typedef uint32_t uintfast_t;

#define XR_TRUE ((XRBoolean)1)
#define XR_FALSE ((XRBoolean)0)

/* Status codes made by the library itself; every other code is the host's. */
#define XRStatusFailed ((XRStatus)0x803FC002u)            /* -2143305726 */
#define XRStatusUnsupported ((XRStatus)0x803FC004u)       /* -2143305724 */
#define XRStatusNotAvailable ((XRStatus)0x803FC009u)      /* -2143305719 */
#define XRStatusBufferTooSmall ((XRStatus)0x803FE807u)    /* -2143295481 */
#define XRStatusIllegalSequence ((XRStatus)0x803FE808u)   /* -2143295480 */
#define XRStatusTruncatedSequence ((XRStatus)0x803FE814u) /* -2143295468 */

/* Catalog codes of the dump lines: base of the layout plus (bytes on the line - 1). */
#define XRDumpCodeNeither ((XRStatus)0x807FC200u)
#define XRDumpCodePrefixOwner ((XRStatus)0x807FC210u)
#define XRDumpCodeOwner ((XRStatus)0x807FC220u)
#define XRDumpCodePrefix ((XRStatus)0x807FC230u)
#define XRDumpCodeFirst XRDumpCodeNeither
#define XRDumpCodeLast ((XRStatus)0x807FC23Fu)

typedef enum XRSeverity_e {
    XRSeverityNull = 0,
    XRSeverityNone = 1,
    XRSeverityNote = 2,
    XRSeverityWarning = 3,
    XRSeverityError = 4
} XRSeverity;

typedef enum LoggerLevel_e {
    LL_Null = 0,
    LL_AllOn = 1,
    LL_Trace = 2,
    LL_Debug = 3,
    LL_Info = 4,
    LL_Warn = 5,
    LL_Error = 6,
    LL_Fatal = 7,
    LL_Off = 8,
    LL_Uninitialized = 9
} LoggerLevel;

/* Character encoding identifiers. */
typedef int32_t NLScei;
#define U_UTF8_CE ((NLScei)20)
#define U_L_UCS4_CE ((NLScei)27)

/* Unicode general-category mask handed to the NLS extension's charIsCategory. */
typedef uint32_t XRUnidataGC;

typedef enum XRNLSUNormMode_e {
    XRNLS_UNORM_NONE = 1,
    XRNLS_UNORM_NFD = 2,
    XRNLS_UNORM_NFKD = 3,
    XRNLS_UNORM_NFC = 4,
    XRNLS_UNORM_NFKC = 5,
    XRNLS_UNORM_FCD = 6,
    XRNLS_UNORM_MODE_COUNT = 7
} XRNLSUNormMode;

/* Host handles; the records are in xr/xrhost.h. */
typedef struct XR_HNDL_S* XRHndlp;
typedef struct XR_JNL_S* XRJnlh;
typedef struct Logger_S* Loggerp;
typedef struct XR_POOL_S* XRPoolh;
typedef struct XRNLS_LOCALE_S* XRLocaleh;
typedef struct XR_EXT_S* XRExtensionh;
typedef struct XRNLS_COLLATE_S* XRNLSIcup;

typedef struct XRZFmtInfo_S XRZFmtInfo;
typedef XRZFmtInfo* XRZFmtInfop;
typedef struct XRZCaptured_S* XRZCapturedp;
typedef struct XRZRendered_S* XRZRenderedp;

#endif
