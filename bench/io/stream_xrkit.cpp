// The strict stream conversion of the command-line tool over the library's internal
// kernels, for its budget: reads IN in 256 KiB chunks, carries an incomplete character
// into the next chunk, validates or converts between any two of utf-8, utf-16le/be,
// utf-32le/be, and writes OUT (validate writes nothing). Stops with the byte offset of
// the first ill-formed character. Time it beside stream_peer and stream_floor.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "internal/utf_strict.h"

namespace {

using xr::strict::Encoding;
using xr::strict::Stop;

constexpr std::size_t kChunk = 256 * 1024;

bool encodingNamed(const std::string& name, Encoding& e) {
    static const std::pair<const char*, Encoding> kNames[] = {{"utf-8", Encoding::Utf8},
                                                              {"utf-16le", Encoding::Utf16Le},
                                                              {"utf-16be", Encoding::Utf16Be},
                                                              {"utf-32le", Encoding::Utf32Le},
                                                              {"utf-32be", Encoding::Utf32Be}};
    for (const auto& [n, v] : kNames)
        if (name == n) return e = v, true;
    return false;
}

bool writeAll(int fd, const std::uint8_t* p, std::size_t n) {
    while (n) {
        const ssize_t w = write(fd, p, n);
        if (w < 0) return false;
        p += w, n -= static_cast<std::size_t>(w);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Encoding from, to;
    const bool validateOnly = argc == 4 && std::string(argv[1]) == "validate";
    if (!(validateOnly && encodingNamed(argv[2], from)) &&
        !(argc == 5 && encodingNamed(argv[1], from) && encodingNamed(argv[2], to))) {
        std::fprintf(stderr,
                     "usage: stream_xrkit FROM TO IN OUT | stream_xrkit validate FROM IN\n");
        return 2;
    }
    const char* inName = argv[argc - (validateOnly ? 1 : 2)];
    const int in = open(inName, O_RDONLY);
    const int out = validateOnly ? -1 : open(argv[4], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || (!validateOnly && out < 0)) return std::perror("open"), 1;
    std::vector<std::uint8_t> buf(kChunk + 8);
    std::vector<std::uint8_t> outBuf(
        validateOnly ? 0 : xr::strict::maxOutputBytes(from, to, kChunk + 8));
    std::size_t kept = 0, offset = 0;
    for (;;) {
        const ssize_t r = read(in, buf.data() + kept, kChunk);
        if (r < 0) return std::perror("read"), 1;
        const std::size_t n = kept + static_cast<std::size_t>(r);
        std::size_t taken;
        Stop stop;
        if (validateOnly) {
            const xr::strict::Validation v = xr::strict::validate(from, buf.data(), n);
            taken = v.in, stop = v.stop;
        } else {
            const xr::strict::Step s =
                xr::strict::convert(from, to, buf.data(), n, outBuf.data(), outBuf.size());
            if (!writeAll(out, outBuf.data(), s.out)) return std::perror("write"), 1;
            taken = s.in, stop = s.stop;
        }
        if (stop == Stop::Invalid || (stop == Stop::Incomplete && r == 0)) {
            std::fprintf(stderr, "stream_xrkit: %s: ill-formed input at byte %zu\n", inName,
                         offset + taken);
            return 1;
        }
        if (r == 0) break;
        std::memmove(buf.data(), buf.data() + taken, n - taken);
        kept = n - taken;
        offset += taken;
    }
    return out < 0 || close(out) == 0 ? 0 : 1;
}
