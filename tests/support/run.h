// Runs a command through the shell and captures what it prints.
#pragma once

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
// The corpus's *.txt files (with its subfolders when nested), sorted.
std::vector<std::string> corpusFiles(bool nested);
// A fresh temporary directory, removed at process exit.
std::string tempDir();
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

} // namespace xrtest
