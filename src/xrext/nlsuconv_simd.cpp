// The bulk conversion kernels for each instruction set, and the choice among them. The
// kernel bodies are compiled once per set under that set's target options; only the
// entry points chosen here at run time ever execute the wider instructions.
#include <immintrin.h>

#include <cstring>

#include "internal/cpu.h"
#include "internal/cvt_tables.h"
#include "internal/cvtkernels.h"
#include "internal/target.h"
#include "internal/utf_units.h"

XR_TARGET_BEGIN(XR_AVX2_FEATURES)
#include "internal/utf8_decode256.h"
#include "internal/utf8_encode256.h"
XR_TARGET_END
XR_TARGET_BEGIN(XR_AVX512_FEATURES)
#include "internal/utf8_encode512.h"
XR_TARGET_END

namespace xr::cvt {
namespace {
using ::xr::units::load16;
using ::xr::units::Order;
} // namespace

namespace sse2 {
#define XR_CVT_LEVEL 1
#include "internal/cvt_kernels_body.h"
#undef XR_CVT_LEVEL
} // namespace sse2

XR_TARGET_BEGIN("sse4.1,ssse3")
namespace sse41 {
#define XR_CVT_LEVEL 2
#include "internal/cvt_kernels_body.h"
#undef XR_CVT_LEVEL
} // namespace sse41
XR_TARGET_END
XR_TARGET_BEGIN(XR_AVX2_FEATURES)
namespace avx2 {
#define XR_CVT_LEVEL 3
#include "internal/cvt_kernels_body.h"
#undef XR_CVT_LEVEL
} // namespace avx2
XR_TARGET_END
XR_TARGET_BEGIN(XR_AVX512_FEATURES)
namespace avx512 {
#define XR_CVT_LEVEL 4
#include "internal/cvt_kernels_body.h"
#undef XR_CVT_LEVEL
} // namespace avx512
XR_TARGET_END

namespace {

// -1 until first use; a race only stores the same answer twice.
int chosen = -1;

Kernel widest() {
    return cpu::hasAvx512Vbmi2() ? Kernel::Avx512
           : cpu::hasAvx2()      ? Kernel::Avx2
           : cpu::hasSse41()     ? Kernel::Sse41
                                 : Kernel::Sse2;
}

} // namespace

bool kernelAvailable(Kernel k) {
    switch (k) {
    case Kernel::Avx512:
        return cpu::hasAvx512Vbmi2();
    case Kernel::Avx2:
        return cpu::hasAvx2();
    case Kernel::Sse41:
        return cpu::hasSse41();
    default:
        return true;
    }
}

Kernel currentKernel() {
    int k = __atomic_load_n(&chosen, __ATOMIC_RELAXED);
    if (k < 0) {
        k = static_cast<int>(widest());
        __atomic_store_n(&chosen, k, __ATOMIC_RELAXED);
    }
    return static_cast<Kernel>(k);
}

void setKernel(Kernel k) {
    __atomic_store_n(&chosen, static_cast<int>(k), __ATOMIC_RELAXED);
}

namespace {

struct KernelSet {
    ToKernel (*to)(Source, bool);
    FromKernel (*from)(bool, Target);
};

const KernelSet* setOf(Kernel k) {
    static constexpr KernelSet kSse2{sse2::toKernel, sse2::fromKernel},
        kSse41{sse41::toKernel, sse41::fromKernel}, kAvx2{avx2::toKernel, avx2::fromKernel},
        kAvx512{avx512::toKernel, avx512::fromKernel};
    if (!kernelAvailable(k)) return nullptr;
    switch (k) {
    case Kernel::Sse2:
        return &kSse2;
    case Kernel::Sse41:
        return &kSse41;
    case Kernel::Avx2:
        return &kAvx2;
    case Kernel::Avx512:
        return &kAvx512;
    default:
        return nullptr;
    }
}

} // namespace

ToKernel toUtf32Kernel(Kernel k, Source from, bool bigOut) {
    const KernelSet* set = setOf(k);
    return set ? set->to(from, bigOut) : nullptr;
}

FromKernel fromUtf32Kernel(Kernel k, bool bigIn, Target to) {
    const KernelSet* set = setOf(k);
    return set ? set->from(bigIn, to) : nullptr;
}

} // namespace xr::cvt
