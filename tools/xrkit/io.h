// What every command shares: reading inputs in chunks, the output policy and the way
// failures are reported.
//
// Messages have one form, "xrkit: NAME: reason", where NAME is the file, option or
// command the message is about and a system error reads as strerror words it.
//
// Output policy. Standard output, devices, FIFOs and the descriptor names (/dev/stdout,
// /dev/fd/N) are written directly, as they come: never created, renamed or removed. A
// regular OUT is written to a temporary file beside the file it names (after symbolic
// links), and only when the command succeeds does the new content take its place, keeping
// its mode, owner and group: by rename when it has one name, by copying back into the same
// inode when it has several, so that every hard link sees the new content. On any failure
// a regular OUT is left exactly as it was and the temporary file is removed, also when the
// program is interrupted by a signal.
#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>

namespace xrkit {

// Bad usage: reported with the command's synopsis; exit code 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
// Bad input data, or a file the command cannot use; exit code 1.
struct DataError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
// A system call failed on NAME: "NAME: <strerror(err)>"; exit code 1.
struct SystemError : DataError {
    SystemError(const std::string& name, int err);
};

// "xrkit: TEXT" on standard error.
void report(const std::string& text);
// What names standard input and standard output in messages.
inline const std::string kStdinName = "standard input";
inline const std::string kStdoutName = "standard output";

// An input read in chunks from the start: a file, or standard input for "-". What one
// read() gives is handed over at once, so that a pipe's data is processed as it arrives;
// bytes a command does not consume yet (an incomplete character) stay at the front of the
// next chunk.
//
//   do {
//       in.fill();
//       in.consume(process(in.data(), in.size(), in.ended()));
//   } while (!in.ended());
class Input {
  public:
    explicit Input(const std::string& name);
    ~Input();
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    const std::string& name() const { return name_; }
    // Reads once after the unconsumed bytes; false once the input has ended.
    bool fill();
    const std::uint8_t* data() const { return buf_.get() + start_; }
    std::size_t size() const { return end_ - start_; }
    void consume(std::size_t n) {
        start_ += n;
        offset_ += n;
    }
    std::uint64_t offset() const { return offset_; } // of data()[0] in the input
    bool ended() const { return ended_; }
    // Bytes the next fill() may add: a command that holds back more than kSlack must
    // consume before this reaches 0.
    std::size_t room() const { return std::min(chunk_, capacity_ - size()); }
    const struct stat& status() const { return st_; }
    bool regular() const { return S_ISREG(st_.st_mode); }
    // Regular files only: n bytes at offset into p, fewer only at the end of the file.
    std::size_t readAt(std::uint64_t offset, std::uint8_t* p, std::size_t n);

    // Bytes per read: 256 KiB, or XRKIT_CHUNK (tests put chunk edges inside characters).
    static std::size_t chunkSize();
    // Room for unconsumed bytes: what a command may hold back beyond one chunk.
    static constexpr std::size_t kSlack = 4096;

  private:
    std::string name_;
    int fd_ = -1;
    struct stat st_ {};
    std::size_t chunk_, capacity_;
    std::unique_ptr<std::uint8_t[]> buf_;
    std::size_t start_ = 0, end_ = 0;
    std::uint64_t offset_ = 0;
    bool ended_ = false;
};

class Output {
  public:
    // "-" or empty: standard output; otherwise the file NAME, by the policy above.
    explicit Output(const std::string& name);
    ~Output(); // without finish(): a stream gets what was written, a regular OUT stays
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    const std::string& name() const { return name_; }
    void write(const void* p, std::size_t n);
    void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // n bytes of room in the buffer for the caller to fill, then commit what it wrote.
    std::uint8_t* reserve(std::size_t n);
    void commit(std::size_t n) { used_ += n; }
    // Hands the buffered bytes to the file; a command calls it after each chunk, so that
    // output follows input.
    void flush();
    // Takes in what stream() holds and raises what failed there, without writing.
    void settle();
    // Success: everything written, and a regular OUT given its new content.
    void finish();
    // A stdio stream into this output, for code that writes through one (the host's
    // journals and loggers). Its failures surface at the next flush() or finish().
    std::FILE* stream();
    // Refuses an input that is the file this output writes to directly (as cat does);
    // a regular OUT replaced on success may be its own input.
    void refuseSameFile(const Input& in) const;

  private:
    enum class Kind { Stream, Create, Replace };
    std::string name_;   // as given
    std::string target_; // the regular file the name leads to (Create, Replace)
    std::string temp_;
    Kind kind_ = Kind::Stream;
    int fd_ = -1;       // where bytes go: the stream, or the temporary file
    int targetFd_ = -1; // Replace: the file itself, opened for writing
    bool ownsFd_ = false;
    struct stat st_ {}; // of the stream, or of the file replaced
    std::unique_ptr<std::uint8_t[]> buf_;
    std::size_t capacity_, used_ = 0;
    std::FILE* file_ = nullptr;
    std::exception_ptr pending_; // a failure inside stream()'s callbacks
    bool finished_ = false;

    void openStream(int fd, bool owns);
    void openTemp();
    void drain(const std::uint8_t* p, std::size_t n);
    void spill();
    void copyBack();
    void discard() noexcept;
    static ssize_t streamWrite(void* cookie, const char* p, std::size_t n);
};

} // namespace xrkit
