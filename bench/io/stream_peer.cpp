// A command-line converter over the SIMD peer, for the tool's budget: reads IN in 256 KiB
// chunks, carries an incomplete character into the next chunk, validates or converts
// (utf-8 -> utf-16le, utf-16le -> utf-8) with the peer and writes OUT (validate writes
// nothing). Time it from outside beside stream_xrkit and stream_floor.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "simdutf.h"

namespace {

constexpr std::size_t kChunk = 256 * 1024;

// Bytes at the end of buf[0..n) that start a character the chunk cuts.
std::size_t openTail(const std::string& mode, const char* buf, std::size_t n) {
    if (mode == "from-utf16le") {
        std::size_t t = n % 2;
        if (n - t >= 2) {
            const unsigned char hi = static_cast<unsigned char>(buf[n - t - 1]);
            if ((hi & 0xFC) == 0xD8) t += 2;
        }
        return t;
    }
    for (std::size_t k = 1; k <= 3 && k <= n; ++k) {
        const unsigned char b = static_cast<unsigned char>(buf[n - k]);
        if ((b & 0xC0) == 0x80) continue;
        const std::size_t len = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        return len > k ? k : 0;
    }
    return 0;
}

bool writeAll(int fd, const char* p, std::size_t n) {
    while (n) {
        const ssize_t w = write(fd, p, n);
        if (w < 0) return false;
        p += w, n -= static_cast<std::size_t>(w);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: stream_peer validate|to-utf16le|from-utf16le IN OUT\n");
        return 2;
    }
    const std::string mode = argv[1];
    const int in = open(argv[2], O_RDONLY), out = open(argv[3], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) return std::perror("open"), 1;
    std::vector<char> buf(kChunk + 8), outBuf(3 * kChunk + 16);
    std::size_t kept = 0, offset = 0;
    for (;;) {
        const ssize_t r = read(in, buf.data() + kept, kChunk);
        if (r < 0) return std::perror("read"), 1;
        const std::size_t n = kept + static_cast<std::size_t>(r);
        const std::size_t tail = r == 0 ? 0 : openTail(mode, buf.data(), n), body = n - tail;
        std::size_t written = 0;
        bool ok;
        if (mode == "validate") {
            ok = simdutf::validate_utf8(buf.data(), body);
        } else if (mode == "to-utf16le") {
            written = 2 * simdutf::convert_utf8_to_utf16le(
                              buf.data(), body, reinterpret_cast<char16_t*>(outBuf.data()));
            ok = written != 0 || body == 0;
        } else {
            written = simdutf::convert_utf16le_to_utf8(
                reinterpret_cast<const char16_t*>(buf.data()), body / 2, outBuf.data());
            ok = (written != 0 || body == 0) && body % 2 == 0;
        }
        if (!ok) {
            std::fprintf(stderr, "stream_peer: %s: ill-formed input in the chunk at %zu\n", argv[2],
                         offset);
            return 1;
        }
        if (!writeAll(out, outBuf.data(), written)) return std::perror("write"), 1;
        if (r == 0) break;
        std::memmove(buf.data(), buf.data() + body, tail);
        kept = tail;
        offset += body;
    }
    return close(out) == 0 ? 0 : 1;
}
