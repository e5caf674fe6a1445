#include "run.h"

#include <poll.h>
#include <signal.h>
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
    // The whole command line reads and writes there, a pipeline's ends included.
    std::string cmd = "(" + command + "\n) >" + base + ".out 2>" + base + ".err";
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

namespace xrtest {

Child::Child(const std::string& command) {
    int toChild[2], fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(toChild[0], STDIN_FILENO);
        dup2(fromChild[1], STDOUT_FILENO);
        for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]})
            close(fd);
        // Default dispositions, whatever the test runner ignores.
        for (int sig : {SIGPIPE, SIGINT, SIGQUIT, SIGHUP, SIGTERM})
            signal(sig, SIG_DFL);
        execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    in_ = toChild[1];
    out_ = fromChild[0];
}

Child::~Child() {
    closeInput();
    if (out_ >= 0) close(out_);
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

void Child::write(const std::string& bytes) {
    const sighandler_t old = signal(SIGPIPE, SIG_IGN);
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t w = ::write(in_, bytes.data() + done, bytes.size() - done);
        if (w <= 0) break;
        done += static_cast<std::size_t>(w);
    }
    signal(SIGPIPE, old);
}

void Child::closeInput() {
    if (in_ >= 0) close(in_);
    in_ = -1;
}

std::string Child::read(std::size_t want, int seconds) {
    std::string got;
    char buf[4096];
    while (got.size() < want) {
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, seconds * 1000) <= 0) break;
        const ssize_t r = ::read(out_, buf, std::min(sizeof buf, want - got.size()));
        if (r <= 0) break;
        got.append(buf, static_cast<std::size_t>(r));
    }
    return got;
}

int Child::wait() {
    closeInput();
    int status = 0;
    if (pid_ <= 0 || waitpid(pid_, &status, 0) != pid_) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace xrtest
