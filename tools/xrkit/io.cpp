#include "io.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace xrkit {
namespace {

std::string errorText(int err) {
    return std::strerror(err);
}

// The temporary file a signal must not leave behind. A fixed buffer, because the handler
// may only make async-signal-safe calls.
char gTempPath[PATH_MAX];

void removeTempAndDie(int sig) {
    if (gTempPath[0]) unlink(gTempPath);
    signal(sig, SIG_DFL);
    raise(sig);
}

void guardTemp(const std::string& path) {
    static const bool installed = [] {
        for (int sig : {SIGHUP, SIGINT, SIGTERM, SIGQUIT}) {
            struct sigaction old {};
            // A signal the caller ignores (nohup, a background job) stays ignored.
            if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
            struct sigaction sa {};
            sa.sa_handler = &removeTempAndDie;
            sigemptyset(&sa.sa_mask);
            sigaction(sig, &sa, nullptr);
        }
        return true;
    }();
    (void)installed;
    std::snprintf(gTempPath, sizeof gTempPath, "%s", path.c_str());
}

void unguardTemp() {
    gTempPath[0] = '\0';
}

// A closed pipe ends the program as it ends cat: by SIGPIPE, without a word.
[[noreturn]] void endByBrokenPipe() {
    signal(SIGPIPE, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(SIGPIPE);
    _exit(128 + SIGPIPE);
}

void waitFor(int fd, short events) {
    pollfd p{fd, events, 0};
    poll(&p, 1, -1);
}

std::string dirName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string realDir(const std::string& path) {
    char buf[PATH_MAX];
    return realpath(dirName(path).c_str(), buf) ? std::string(buf) : std::string();
}

// Where a name leads after the symbolic links of its last component. A name that leads
// into /proc (/dev/stdout, /dev/fd/N) is a descriptor, not a file to replace: `fd` is then
// the descriptor when it is one of ours, -1 for any other.
struct Destination {
    std::string path;
    bool descriptor = false;
    int fd = -1;
};

Destination destinationOf(const std::string& name) {
    const std::string ownFds = "/proc/" + std::to_string(getpid()) + "/fd";
    std::string path = name;
    for (int hops = 0;; ++hops) {
        const std::string dir = realDir(path);
        if (dir.starts_with("/proc/") || path.starts_with("/proc/")) {
            Destination d{path, true};
            const std::string base = baseName(path);
            const bool ours = dir == ownFds || dirName(path) == "/proc/self/fd";
            if (ours && !base.empty() && base.find_first_not_of("0123456789") == std::string::npos)
                d.fd = std::atoi(base.c_str());
            return d;
        }
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return {path};
        if (hops == 40) throw SystemError(name, ELOOP);
        char target[PATH_MAX];
        const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
        if (n < 0) throw SystemError(name, errno);
        target[n] = '\0';
        path = target[0] == '/' ? std::string(target) : dirName(path) + "/" + target;
    }
}

mode_t currentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

} // namespace

SystemError::SystemError(const std::string& name, int err)
    : DataError(name + ": " + errorText(err)) {}

void report(const std::string& text) {
    std::fprintf(stderr, "xrkit: %s\n", text.c_str());
}

// ---- input -----------------------------------------------------------------

std::size_t Input::chunkSize() {
    const char* env = std::getenv("XRKIT_CHUNK");
    const long long n = env ? std::atoll(env) : 0;
    return n >= 1 && n <= (64 << 20) ? static_cast<std::size_t>(n) : std::size_t{256} << 10;
}

Input::Input(const std::string& name)
    : name_(name == "-" ? kStdinName : name), chunk_(chunkSize()),
      capacity_(chunk_ + std::max(chunk_, kSlack)), buf_(new std::uint8_t[capacity_]) {
    fd_ = name == "-" ? STDIN_FILENO : open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw SystemError(name_, errno);
    if (fstat(fd_, &st_) != 0) throw SystemError(name_, errno);
    if (S_ISDIR(st_.st_mode)) {
        if (fd_ != STDIN_FILENO) close(fd_);
        throw SystemError(name_, EISDIR);
    }
    if (S_ISREG(st_.st_mode)) posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

Input::~Input() {
    if (fd_ > STDIN_FILENO) close(fd_);
}

bool Input::fill() {
    if (ended_) return false;
    if (start_ > 0) {
        std::memmove(buf_.get(), buf_.get() + start_, end_ - start_);
        end_ -= start_;
        start_ = 0;
    }
    if (end_ == capacity_) throw std::logic_error("input buffer full: nothing was consumed");
    const std::size_t want = std::min(chunk_, capacity_ - end_);
    for (;;) {
        const ssize_t r = read(fd_, buf_.get() + end_, want);
        if (r > 0) {
            end_ += static_cast<std::size_t>(r);
            return true;
        }
        if (r == 0) {
            ended_ = true;
            return false;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN) {
            waitFor(fd_, POLLIN);
            continue;
        }
        throw SystemError(name_, errno);
    }
}

std::size_t Input::readAt(std::uint64_t offset, std::uint8_t* p, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = pread(fd_, p + got, n - got, static_cast<off_t>(offset + got));
        if (r == 0) break;
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) throw SystemError(name_, errno);
        got += static_cast<std::size_t>(r);
    }
    return got;
}

// ---- output ----------------------------------------------------------------

// Four times the room a bulk step of convert reserves, so that a chunk's output reaches
// the file in one write (at flush()), not one per step.
Output::Output(const std::string& name) : name_(name), capacity_(std::size_t{1} << 20) {
    buf_.reset(new std::uint8_t[capacity_]);
    if (name.empty() || name == "-") {
        name_ = kStdoutName;
        openStream(STDOUT_FILENO, false);
        return;
    }
    const Destination d = destinationOf(name);
    if (d.descriptor) {
        const int fd = d.fd >= 0 ? fcntl(d.fd, F_DUPFD_CLOEXEC, 0)
                                 : open(name.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) throw SystemError(name, errno);
        openStream(fd, true);
        return;
    }
    target_ = d.path;
    struct stat st {};
    if (stat(target_.c_str(), &st) != 0) {
        if (errno != ENOENT) throw SystemError(name, errno);
        kind_ = Kind::Create; // no file yet: made from the temporary file on success
        openTemp();
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        // A device, FIFO or socket: written as it is, never created or replaced.
        const int fd = open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) throw SystemError(name, errno);
        openStream(fd, true);
        return;
    }
    // Opened now: a file we may not write is refused before any work, and the descriptor
    // serves the copy back into a file with several names.
    targetFd_ = open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (targetFd_ < 0) throw SystemError(name, errno);
    if (fstat(targetFd_, &st_) != 0) throw SystemError(name, errno);
    kind_ = Kind::Replace;
    openTemp();
}

void Output::openStream(int fd, bool owns) {
    kind_ = Kind::Stream;
    fd_ = fd;
    ownsFd_ = owns;
    if (fstat(fd_, &st_) != 0) st_ = {};
}

void Output::openTemp() {
    const std::string dir = dirName(target_), base = baseName(target_);
    // Hidden, beside the target: the same file system, so that rename is atomic.
    temp_ = dir + "/." + (base.size() < 200 ? base : std::string()) + ".xrkit-XXXXXX";
    fd_ = mkostemp(temp_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        const int err = errno;
        temp_.clear();
        throw DataError(name_ + ": cannot create a temporary file in " + dir + ": " +
                        errorText(err));
    }
    guardTemp(temp_);
}

Output::~Output() {
    if (!finished_) discard();
    if (file_) {
        pending_ = nullptr;
        std::fclose(file_);
    }
    if (ownsFd_ && fd_ >= 0) close(fd_);
}

void Output::discard() noexcept {
    if (kind_ == Kind::Stream) {
        // What was converted before a failure still reaches a stream, as with iconv.
        try {
            flush();
        } catch (...) {
        }
        return;
    }
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (!temp_.empty()) unlink(temp_.c_str());
    unguardTemp();
    if (targetFd_ >= 0) close(targetFd_);
    targetFd_ = -1;
}

void Output::drain(const std::uint8_t* p, std::size_t n) {
    while (n) {
        const ssize_t w = ::write(fd_, p, n);
        if (w > 0) {
            p += w;
            n -= static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && errno == EAGAIN) {
            waitFor(fd_, POLLOUT);
            continue;
        }
        if (w < 0 && errno == EPIPE) endByBrokenPipe();
        throw SystemError(name_, w < 0 ? errno : EIO);
    }
}

// Only this output's own buffer: stream() writes through here, so its buffer is not
// touched (flush() takes it in first).
void Output::spill() {
    drain(buf_.get(), std::exchange(used_, 0));
}

void Output::write(const void* p, std::size_t n) {
    const auto* bytes = static_cast<const std::uint8_t*>(p);
    if (n >= capacity_) {
        spill();
        drain(bytes, n);
        return;
    }
    if (capacity_ - used_ < n) spill();
    std::memcpy(buf_.get() + used_, bytes, n);
    used_ += n;
}

void Output::print(const char* format, ...) {
    char small[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < 0) return;
    if (static_cast<std::size_t>(n) < sizeof small) {
        write(small, static_cast<std::size_t>(n));
        return;
    }
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    va_start(args, format);
    std::vsnprintf(big.data(), big.size(), format, args);
    va_end(args);
    write(big.data(), static_cast<std::size_t>(n));
}

std::uint8_t* Output::reserve(std::size_t n) {
    if (capacity_ - used_ < n) spill();
    if (capacity_ < n) {
        capacity_ = n;
        buf_.reset(new std::uint8_t[capacity_]);
    }
    return buf_.get() + used_;
}

void Output::settle() {
    if (file_) std::fflush(file_);
    if (pending_) std::rethrow_exception(std::exchange(pending_, nullptr));
}

void Output::flush() {
    settle();
    spill();
}

ssize_t Output::streamWrite(void* cookie, const char* p, std::size_t n) {
    auto* out = static_cast<Output*>(cookie);
    // No exception may cross the C library: it is kept for the next flush().
    try {
        out->write(p, n);
        return static_cast<ssize_t>(n);
    } catch (...) {
        out->pending_ = std::current_exception();
        errno = EIO;
        return -1;
    }
}

std::FILE* Output::stream() {
    if (!file_) {
        file_ = fopencookie(this, "w", {nullptr, &Output::streamWrite, nullptr, nullptr});
        if (!file_) throw SystemError(name_, errno);
        std::setvbuf(file_, nullptr, _IOFBF, 64 << 10);
    }
    return file_;
}

void Output::refuseSameFile(const Input& in) const {
    const struct stat& s = in.status();
    if (kind_ == Kind::Stream && S_ISREG(st_.st_mode) && st_.st_dev == s.st_dev &&
        st_.st_ino == s.st_ino)
        throw DataError(in.name() + ": input file is output file");
}

void Output::copyBack() {
    const off_t size = lseek(fd_, 0, SEEK_END);
    if (size < 0) throw SystemError(name_, errno);
    // Room first, so that running out of space leaves the file as it was.
    if (size > 0 && fallocate(targetFd_, FALLOC_FL_KEEP_SIZE, 0, size) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS && errno != EINVAL)
        throw SystemError(name_, errno);
    const auto damaged = [&](int err) {
        return DataError(name_ + ": " + errorText(err) +
                         " while rewriting it in place (it may be damaged)");
    };
    for (off_t at = 0; at < size;) {
        const ssize_t r = pread(fd_, buf_.get(), capacity_, at);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) throw damaged(r < 0 ? errno : EIO);
        for (ssize_t done = 0; done < r;) {
            const ssize_t w =
                pwrite(targetFd_, buf_.get() + done, static_cast<std::size_t>(r - done), at + done);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) throw damaged(w < 0 ? errno : EIO);
            done += w;
        }
        at += r;
    }
    if (ftruncate(targetFd_, size) != 0) throw damaged(errno);
    const int fd = std::exchange(targetFd_, -1);
    if (close(fd) != 0) throw damaged(errno);
    close(std::exchange(fd_, -1));
    unlink(temp_.c_str());
}

void Output::finish() {
    flush();
    if (kind_ == Kind::Stream) {
        if (ownsFd_ && close(std::exchange(fd_, -1)) != 0) throw SystemError(name_, errno);
        finished_ = true;
        return;
    }
    if (kind_ == Kind::Replace) {
        // Owner before mode: a change of owner clears the set-user-ID bits. Where we may
        // not give the file its owner, the group alone, or neither.
        if (fchown(fd_, st_.st_uid, st_.st_gid) != 0)
            (void)!fchown(fd_, static_cast<uid_t>(-1), st_.st_gid);
        if (fchmod(fd_, st_.st_mode & 07777) != 0) throw SystemError(name_, errno);
    } else if (fchmod(fd_, 0666 & ~currentUmask()) != 0) {
        throw SystemError(name_, errno);
    }
    if (kind_ == Kind::Replace && st_.st_nlink > 1) {
        // A rename would part this name from the others; the inode keeps them all.
        copyBack();
    } else {
        if (close(std::exchange(fd_, -1)) != 0) throw SystemError(name_, errno);
        if (rename(temp_.c_str(), target_.c_str()) != 0) throw SystemError(name_, errno);
        if (targetFd_ >= 0) close(std::exchange(targetFd_, -1));
    }
    temp_.clear();
    unguardTemp();
    finished_ = true;
}

} // namespace xrkit
