// xrkit: a person's way into libxrkit. Every command loads the library with dlopen
// and attaches it to a reference host, as the framework does.
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "commands.h"
#include "xr/xrentry.h"

namespace {

using xrkit::Output;

const xrkit::Command* const kCommands[] = {
    &xrkit::kInfoCommand,      &xrkit::kDumpCommand,     &xrkit::kCaseCommand,
    &xrkit::kConvertCommand,   &xrkit::kValidateCommand, &xrkit::kCountCommand,
    &xrkit::kNormalizeCommand,
};

std::string synopsis(const xrkit::Command& c) {
    const char* end = std::strchr(c.usage, '\n');
    return end ? std::string(c.usage, end) : std::string(c.usage);
}

int usage(Output& out, int rc) {
    out.print("usage: xrkit COMMAND [OPTION...] [FILE...]\n");
    for (const auto* c : kCommands)
        out.print("  xrkit %s\n", synopsis(*c).c_str());
    out.print("  xrkit --list | --version | --help\n\n"
              "'xrkit COMMAND --help' explains a command. Exit codes: 0 ok, 1 bad input data\n"
              "or a failed read or write, 2 usage error or no library.\n");
    out.finish();
    return rc;
}

int version(Output& out) {
    xrkit::Runtime rt;
    XRS_Version_Info v{};
    rt.lib.fn<decltype(xrvercn1)>("xrvercn1")(&v);
    const auto text = [](const char* t) { return t ? t : ""; };
    out.print("xrkit %s\n%s: interface %zu.%zu, %s %s, built %s\n", XRKIT_VERSION,
              rt.lib.path().c_str(), rt.lib.major(), rt.lib.minor(), text(v.product_name),
              text(v.portdate), text(v.build_time));
    out.finish();
    return 0;
}

// Asks for help when --help or -h comes before any "--".
bool wantsHelp(const xrkit::Args& args) {
    for (const std::string& a : args) {
        if (a == "--") return false;
        if (a == "--help" || a == "-h") return true;
    }
    return false;
}

int run(int argc, char** argv) {
    const std::string name = argc > 1 ? argv[1] : "";
    if (name == "--help" || name == "-h" || name == "help") {
        Output out("-");
        return usage(out, 0);
    }
    if (name == "--version" || name == "-V") {
        Output out("-");
        return version(out);
    }
    if (name == "--list" || name == "-l") {
        Output out("-");
        xrkit::listEncodings(out);
        out.finish();
        return 0;
    }
    for (const auto* c : kCommands) {
        if (name != c->name) continue;
        const xrkit::Args args(argv + 2, argv + argc);
        if (wantsHelp(args)) {
            Output out("-");
            out.print("usage: xrkit %s\n", c->usage);
            out.finish();
            return 0;
        }
        try {
            return c->run(args);
        } catch (const xrkit::UsageError& e) {
            xrkit::report(e.what());
            std::fprintf(stderr, "usage: xrkit %s\nTry 'xrkit %s --help'.\n", synopsis(*c).c_str(),
                         c->name);
            return 2;
        }
    }
    xrkit::report((name.empty() ? "a command is missing" : name + ": unknown command") +
                  std::string(" (xrkit --help lists them)"));
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const xrhost::LoadError& e) {
        xrkit::report(e.what());
        return 2;
    } catch (const xrkit::UsageError& e) {
        xrkit::report(e.what());
        return 2;
    } catch (const std::bad_alloc&) {
        xrkit::report("out of memory");
        return 1;
    } catch (const std::exception& e) {
        xrkit::report(e.what());
        return 1;
    }
}
