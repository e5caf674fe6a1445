#include "cli.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace xrkit {

bool takeFlag(Args& args, const std::string& name) {
    auto it = std::find(args.begin(), args.end(), name);
    if (it == args.end()) return false;
    args.erase(it);
    return true;
}

bool takeOption(Args& args, const std::string& name, std::string& value) {
    for (auto it = args.begin(); it != args.end(); ++it) {
        if (*it == name) {
            if (it + 1 == args.end()) throw UsageError(name + " needs a value");
            value = *(it + 1);
            args.erase(it, it + 2);
            return true;
        }
        if (it->rfind(name + "=", 0) == 0) {
            value = it->substr(name.size() + 1);
            args.erase(it);
            return true;
        }
    }
    return false;
}

std::string takeInputName(Args& args) {
    std::string name = "-";
    if (!args.empty()) {
        name = args.front();
        if (name.size() > 1 && name[0] == '-') throw UsageError("unknown option " + name);
        args.erase(args.begin());
    }
    rejectLeftovers(args);
    return name;
}

void rejectLeftovers(const Args& args) {
    if (args.empty()) return;
    const std::string& a = args.front();
    throw UsageError(a.size() > 1 && a[0] == '-' ? "unknown option " + a
                                                 : "unexpected operand " + a);
}

namespace {

std::string errnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// Copies fd into an unlinked temporary file and returns that file's descriptor.
int spool(int fd, const std::string& display) {
    char tmpl[] = "/tmp/xrkit-spool-XXXXXX";
    int out = mkstemp(tmpl);
    if (out < 0) throw DataError(errnoText("cannot create a spool file"));
    unlink(tmpl);
    std::vector<char> buf(1 << 20);
    for (;;) {
        ssize_t n = read(fd, buf.data(), buf.size());
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            close(out);
            throw DataError(errnoText(display));
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(out, buf.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0) {
                close(out);
                throw DataError(errnoText("spool file"));
            }
            done += w;
        }
    }
    return out;
}

} // namespace

MappedInput::MappedInput(const std::string& name) : display_(name == "-" ? "<stdin>" : name) {
    int fd = name == "-" ? dup(STDIN_FILENO) : open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw DataError(errnoText(display_));
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        close(fd);
        throw DataError(errnoText(display_));
    }
    if (S_ISDIR(st.st_mode)) {
        close(fd);
        throw DataError(display_ + ": is a directory");
    }
    if (!S_ISREG(st.st_mode)) {
        int spooled = spool(fd, display_);
        close(fd);
        fd = spooled;
        if (fstat(fd, &st) != 0) {
            close(fd);
            throw DataError(errnoText(display_));
        }
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
    if (size_ > 0) {
        void* p = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) {
            close(fd);
            throw DataError(errnoText(display_));
        }
        madvise(p, size_, MADV_SEQUENTIAL);
        data_ = static_cast<const std::uint8_t*>(p);
    }
    close(fd);
}

MappedInput::~MappedInput() {
    if (data_) munmap(const_cast<std::uint8_t*>(data_), size_);
}

} // namespace xrkit
