#include "cli.h"

#include <algorithm>
#include <cstdio>

#include "utf8_scan.h"

namespace xrkit {
namespace {

const Option* findLong(std::span<const Option> known, const std::string& name) {
    for (const auto& s : known)
        if (name == s.name) return &s;
    return nullptr;
}

const Option* findShort(std::span<const Option> known, char letter) {
    for (const auto& s : known)
        if (s.letter && s.letter == letter) return &s;
    return nullptr;
}

} // namespace

Options::Options(const Args& args, std::span<const Option> known) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            operands.insert(operands.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        }
        if (a.size() < 2 || a[0] != '-') {
            operands.push_back(a);
            continue;
        }
        const bool isLong = a[1] == '-';
        const std::size_t eq = isLong ? a.find('=') : std::string::npos;
        const std::string name = isLong ? a.substr(2, eq == std::string::npos ? eq : eq - 2) : "";
        const Option* option = isLong ? findLong(known, name) : findShort(known, a[1]);
        if (!option) throw UsageError(a + ": unknown option");
        std::string value;
        if (!option->takesValue) {
            if (eq != std::string::npos || (!isLong && a.size() > 2))
                throw UsageError(a + ": the option takes no value");
        } else if (eq != std::string::npos) {
            value = a.substr(eq + 1);
        } else if (!isLong && a.size() > 2) {
            value = a.substr(2);
        } else {
            if (i + 1 == args.size()) throw UsageError(a + ": the option needs a value");
            value = args[++i];
        }
        given_.emplace_back(option->name, value);
    }
}

bool Options::has(const char* name) const {
    return std::any_of(given_.begin(), given_.end(),
                       [&](const auto& g) { return g.first == name; });
}

std::string Options::value(const char* name, const std::string& fallback) const {
    for (auto it = given_.rbegin(); it != given_.rend(); ++it)
        if (it->first == name) return it->second;
    return fallback;
}

void limitOperands(const Options& options, std::size_t most) {
    if (options.operands.size() > most)
        throw UsageError(options.operands[most] + ": unexpected operand");
}

std::string jsonString(const std::string& text) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const Sequence s = utf8::next(p + i, text.size() - i, true);
        const char c = text[i];
        if (s.verdict != Verdict::Good) {
            out += "\\ufffd";
        } else if (c == '"' || c == '\\') {
            out += '\\', out += c;
        } else if (s.cp < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned>(s.cp));
            out += esc;
        } else {
            out.append(text, i, s.size);
        }
        i += s.size;
    }
    return out + '"';
}

} // namespace xrkit
