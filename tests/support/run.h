// Runs a command through the shell and captures what it prints.
#pragma once

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

} // namespace xrtest
