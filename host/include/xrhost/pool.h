// The reference host's pool: an arena. Blocks live until the pool goes; a byte limit
// makes it refuse requests, to exercise callers' failure paths.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "xr/xrhost.h"

namespace xrhost {

class Pool {
  public:
    explicit Pool(std::size_t limit = SIZE_MAX);
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    XRPoolh handle() { return &rec_; }
    static Pool* from(XRPoolh h) { return reinterpret_cast<Pool*>(h); }

    void* allocate(std::size_t size);
    std::size_t used() const { return used_; }
    std::size_t blocks() const { return blocks_.size(); }

  private:
    XR_POOL_S rec_; // first member: the handle is the object's address
    std::size_t limit_;
    std::size_t used_ = 0;
    std::vector<std::unique_ptr<std::max_align_t[]>> blocks_;
};

} // namespace xrhost
