// The shared library exports exactly the names of the public headers and needs
// nothing but the C library.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

namespace {

std::set<std::string> lines(const std::string& command) {
    std::set<std::string> out;
    FILE* p = popen(command.c_str(), "r");
    char buf[512];
    while (p && std::fgets(buf, sizeof buf, p)) {
        std::string s(buf);
        while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
            s.pop_back();
        if (!s.empty()) out.insert(s);
    }
    if (p) pclose(p);
    return out;
}

TEST(Exports, DynamicSymbolsAreExactlyTheDeclaredNames) {
    std::set<std::string> declared;
    std::ifstream in(XRKIT_BINARY_DIR "/xrkit.exports");
    for (std::string name; std::getline(in, name);)
        if (!name.empty()) declared.insert(name);
    ASSERT_FALSE(declared.empty());
    const auto exported = lines("nm -D --defined-only '" XRKIT_LIBRARY_FILE "' | awk '{print $3}'");
    EXPECT_EQ(exported, declared);
}

TEST(Exports, NeedsOnlyTheCLibraryAndCarriesItsSoname) {
    const auto dyn = lines("readelf -d '" XRKIT_LIBRARY_FILE "'");
    bool soname = false;
    for (const std::string& l : dyn) {
        if (l.find("(NEEDED)") != std::string::npos) {
            const bool sanitizer =
                l.find("libasan") != std::string::npos || l.find("libubsan") != std::string::npos ||
                l.find("libstdc++") != std::string::npos || l.find("libm.") != std::string::npos ||
                l.find("libgcc_s") != std::string::npos;
#if defined(__SANITIZE_ADDRESS__)
            if (sanitizer) continue;
#endif
            EXPECT_NE(l.find("libc.so"), std::string::npos) << l;
            (void)sanitizer;
        }
        if (l.find("(SONAME)") != std::string::npos)
            soname = l.find("[libxrkit.so.9]") != std::string::npos;
    }
    EXPECT_TRUE(soname);
}

} // namespace
