// Runs a command through the shell and captures what it prints.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace xrtest {

struct Run {
    int exitCode = -1;
    std::string out; // standard output
    std::string err; // standard error
};

// Runs command with /bin/sh; stdin comes from input when given.
Run run(const std::string& command, const std::string* input = nullptr);
std::vector<std::string> splitLines(const std::string& text);
std::string shellQuote(const std::string& s);
// The path of a file in tests/data.
std::string dataFile(const std::string& name);
// The well-formed texts of tests/data (not the malformed stress file), sorted.
std::vector<std::string> textFiles();
// The UTF-8 decoder stress file: malformed on purpose, first ill-formed byte at kStressBad.
std::string stressFile();
inline constexpr std::size_t kStressBad = 4461;
// A fresh temporary directory, removed at process exit.
std::string tempDir();
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

// A command started by /bin/sh with pipes to its standard input and from its standard
// output, for tests that talk to a program while it runs.
class Child {
  public:
    explicit Child(const std::string& command);
    ~Child(); // kills the command if it still runs
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    void write(const std::string& bytes);
    void closeInput();
    // What the command writes, until `want` bytes have come or its output ends; waits
    // at most `seconds` for each piece, so that a test fails instead of hanging.
    std::string read(std::size_t want, int seconds = 60);
    int wait(); // the exit code, or 128 + the signal that ended it
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
};

} // namespace xrtest
