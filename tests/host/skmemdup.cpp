// skMemDup through the real library and the reference host's pool.
#include <gtest/gtest.h>

#include <string>

#include "xr/xrmem.h"
#include "xrhost/loader.h"
#include "xrhost/pool.h"

namespace {

TEST(MemDup, CopiesIntoAPoolBlockAndHonoursRefusal) {
    xrhost::Library lib;
    auto* dup = lib.fn<decltype(skMemDup)>("skMemDup");
    xrhost::Pool pool(64);
    const std::string text = "forty bytes of text, copied into a pool";
    void* block = dup(text.data(), text.size(), pool.handle());
    ASSERT_NE(block, nullptr);
    EXPECT_NE(block, static_cast<const void*>(text.data()));
    EXPECT_EQ(std::string(static_cast<char*>(block), text.size()), text);
    EXPECT_EQ(pool.used(), text.size());
    EXPECT_EQ(dup(text.data(), text.size(), pool.handle()), nullptr); // over the 64-byte limit
    EXPECT_EQ(dup(nullptr, 4, pool.handle()), nullptr);
    EXPECT_EQ(dup(text.data(), 4, nullptr), nullptr);
    EXPECT_EQ(pool.blocks(), 1u);
}

} // namespace
