#include "run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace xrtest {

std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string dataFile(const std::string& name) {
    return std::string(XRKIT_TEST_DATA) + "/" + name;
}

std::vector<std::string> textFiles() {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(XRKIT_TEST_DATA))
        if (e.path().filename().string().ends_with("-Lipsum.utf8.txt")) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string stressFile() {
    return dataFile("UTF-8-test.txt");
}

std::string tempDir() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/xrkit-test-XXXXXX";
        std::string d = mkdtemp(tmpl);
        static const std::string keep = d;
        std::atexit([] { std::filesystem::remove_all(keep); });
        return d;
    }();
    return dir;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

Run run(const std::string& command, const std::string* input) {
    static int serial = 0;
    const std::string base = tempDir() + "/run" + std::to_string(serial++);
    std::string cmd = command + " >" + base + ".out 2>" + base + ".err";
    if (input) {
        writeFile(base + ".in", *input);
        cmd += " <" + base + ".in";
    } else {
        cmd += " </dev/null";
    }
    Run r;
    const int status = std::system(cmd.c_str());
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = readFile(base + ".out");
    r.err = readFile(base + ".err");
    return r;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    return lines;
}

} // namespace xrtest
