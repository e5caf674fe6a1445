// xrkit: a person's way into libxrkit. Every command loads the library with dlopen
// and attaches it to a reference host, as the framework does.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "commands.h"

namespace {

const xrkit::Command* const kCommands[] = {
    &xrkit::kInfoCommand,      &xrkit::kDumpCommand,     &xrkit::kCaseCommand,
    &xrkit::kConvertCommand,   &xrkit::kValidateCommand, &xrkit::kCountCommand,
    &xrkit::kNormalizeCommand,
};

void printSynopsis(std::FILE* out, const xrkit::Command& c) {
    const char* end = std::strchr(c.usage, '\n');
    std::fprintf(out, "  xrkit %.*s\n", end ? static_cast<int>(end - c.usage) : 1 << 16, c.usage);
}

int usage(std::FILE* out, int rc) {
    std::fprintf(out, "usage:\n");
    for (const auto* c : kCommands)
        printSynopsis(out, *c);
    std::fprintf(out, "\n'xrkit COMMAND --help' explains a command. Exit codes: 0 ok, 1 bad "
                      "input data, 2 usage error.\n");
    return rc;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage(stderr, 2);
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") return usage(stdout, 0);
    for (const auto* c : kCommands) {
        if (name != c->name) continue;
        xrkit::Args args(argv + 2, argv + argc);
        if (xrkit::takeFlag(args, "--help") || xrkit::takeFlag(args, "-h")) {
            std::printf("usage: xrkit %s\n", c->usage);
            return 0;
        }
        try {
            return c->run(args);
        } catch (const xrkit::UsageError& e) {
            std::fprintf(stderr, "xrkit %s: %s\nusage: xrkit %s\n", c->name, e.what(), c->usage);
            return 2;
        } catch (const std::exception& e) {
            std::fflush(stdout);
            std::fprintf(stderr, "xrkit %s: %s\n", c->name, e.what());
            return 1;
        }
    }
    std::fprintf(stderr, "xrkit: unknown command '%s'\n", name.c_str());
    return usage(stderr, 2);
}
