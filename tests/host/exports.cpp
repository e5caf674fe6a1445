// The shared library exports exactly the names of the public headers, each in the
// version node XRKIT_9, and needs nothing but the C library.
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
        if (!name.empty()) declared.insert(name + "@@XRKIT_9");
    ASSERT_FALSE(declared.empty());
    // Less the absolute symbol that names the version node itself.
    const auto exported =
        lines("nm -D --defined-only '" XRKIT_LIBRARY_FILE "' | awk '$2 != \"A\" {print $3}'");
    EXPECT_EQ(exported, declared);
}

// A sanitizer build needs the sanitizer runtimes instead, which bring the C library.
TEST(Exports, NeedsOnlyTheCLibraryAndCarriesItsSoname) {
    std::set<std::string> needed, soname;
    for (const std::string& l : lines("readelf -d '" XRKIT_LIBRARY_FILE "'")) {
        const std::string name = l.substr(l.find('[') + 1);
        if (l.find("(NEEDED)") != std::string::npos) needed.insert(name);
        if (l.find("(SONAME)") != std::string::npos) soname.insert(name);
    }
#if defined(__SANITIZE_ADDRESS__)
    for (const char* runtime :
         {"libasan.so.8]", "libubsan.so.1]", "libstdc++.so.6]", "libm.so.6]", "libgcc_s.so.1]"})
        needed.erase(runtime);
    needed.insert("libc.so.6]");
#endif
    EXPECT_EQ(needed, std::set<std::string>{"libc.so.6]"});
    EXPECT_EQ(soname, std::set<std::string>{"libxrkit.so.9]"});
}

} // namespace
