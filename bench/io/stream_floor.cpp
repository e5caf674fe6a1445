// The I/O floor of the command-line tool: reads IN in 256 KiB chunks and writes as many
// bytes to OUT as the conversion would (ratio/100 times the input, default 100 = the same
// size), with no work between. Time it from outside: time ./stream_floor IN OUT [ratio].
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: stream_floor IN OUT [PERCENT_OF_INPUT_WRITTEN]\n");
        return 2;
    }
    const long percent = argc > 3 ? std::atol(argv[3]) : 100;
    const int in = open(argv[1], O_RDONLY), out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) return std::perror("open"), 1;
    constexpr std::size_t kChunk = 256 * 1024;
    std::vector<char> buf(kChunk), outBuf(kChunk * 4);
    for (;;) {
        const ssize_t n = read(in, buf.data(), kChunk);
        if (n < 0) return std::perror("read"), 1;
        if (n == 0) break;
        const std::size_t want = static_cast<std::size_t>(n) * percent / 100;
        for (std::size_t done = 0; done < want;) {
            const ssize_t w = write(out, outBuf.data() + done, want - done);
            if (w < 0) return std::perror("write"), 1;
            done += static_cast<std::size_t>(w);
        }
    }
    return close(out) == 0 ? 0 : 1;
}
