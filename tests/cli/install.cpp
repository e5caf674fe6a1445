// The installed program: it finds the installed library beside it and nothing in the
// build tree, and its manual page and bash completion are installed with it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "run.h"

namespace {

namespace fs = std::filesystem;
using xrtest::run;
using xrtest::shellQuote;

TEST(CliInstall, TheInstalledProgramUsesTheInstalledLibraryOnly) {
    const std::string prefix = xrtest::tempDir() + "/prefix";
    const auto install =
        run("cmake --install " + shellQuote(XRKIT_BINARY_DIR) + " --prefix " + shellQuote(prefix));
    ASSERT_EQ(install.exitCode, 0) << install.out << install.err;
    const std::string cli = prefix + "/bin/xrkit";
    const auto dynamic = run("readelf -d " + cli);
    EXPECT_NE(dynamic.out.find("Library runpath: [$ORIGIN/../"), std::string::npos) << dynamic.out;
    EXPECT_EQ(dynamic.out.find(XRKIT_BINARY_DIR), std::string::npos) << dynamic.out;

    const auto version = run(cli + " --version");
    EXPECT_EQ(version.exitCode, 0) << version.err;
    const std::string libdir = fs::canonical(prefix).string() + "/lib";
    EXPECT_NE(version.out.find(libdir), std::string::npos) << version.out;

    EXPECT_TRUE(fs::exists(prefix + "/share/man/man1/xrkit.1"));
    const std::string completion = prefix + "/share/bash-completion/completions/xrkit";
    ASSERT_TRUE(fs::exists(completion));
    const auto words = run("bash -c 'source " + completion +
                           "; COMP_WORDS=(xrkit convert -t UTF-3); COMP_CWORD=3; _xrkit; "
                           "echo \"${COMPREPLY[@]}\"'");
    EXPECT_EQ(words.out, "UTF-32 UTF-32LE UTF-32BE\n") << words.err;

    // Without the installed library the program fails, naming the library, rather than
    // fall back on the build tree's.
    if (run("ldconfig -p | grep -q libxrkit.so.9").exitCode == 0) return; // one on the system
    std::vector<fs::path> libraries;
    for (const auto& e : fs::recursive_directory_iterator(prefix))
        if (e.path().filename().string().starts_with("libxrkit.so")) libraries.push_back(e.path());
    for (const auto& p : libraries)
        fs::remove(p);
    const auto orphan = run(cli + " --version");
    EXPECT_EQ(orphan.exitCode, 2);
    EXPECT_EQ(orphan.err, "xrkit: libxrkit.so.9: cannot open shared object file: No such file or "
                          "directory\n");
}

} // namespace
