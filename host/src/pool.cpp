#include "xrhost/pool.h"

#include <cstdint>
#include <new>

namespace xrhost {
namespace {

XRMemPtr poolAlloc(XRPoolh pool, XRMemSize size, XRFlags) {
    return Pool::from(pool)->allocate(static_cast<std::size_t>(size));
}

} // namespace

Pool::Pool(std::size_t limit) : rec_{{1, "xrhost.pool", nullptr}, &poolAlloc}, limit_(limit) {
    static_assert(offsetof(Pool, rec_) == 0);
}

void* Pool::allocate(std::size_t size) {
    if (size > limit_ - used_) return nullptr;
    const std::size_t units = size / sizeof(std::max_align_t) + 1;
    auto* block = new (std::nothrow) std::max_align_t[units];
    if (!block) return nullptr;
    blocks_.emplace_back(block);
    used_ += size;
    return block;
}

} // namespace xrhost
