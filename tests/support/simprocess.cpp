// SPDX-License-Identifier: GPL-3.0-or-later
#include "simprocess.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <sstream>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using Clock = std::chrono::steady_clock;

// A write that does not kill the test with SIGPIPE when the simulator has gone.
ssize_t writeQuietly(int fd, const void* data, std::size_t size)
{
    sigset_t pipeSignal;
    sigset_t previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EPIPE) {
        const timespec none {};
        ::sigtimedwait(&pipeSignal, nullptr, &none);
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return n;
}

int millisLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

} // namespace

CSimProcess::CSimProcess(std::vector<std::string> options, std::string binary)
    : m_options(std::move(options))
    , m_binary(binary.empty() ? defaultBinary() : std::move(binary))
{
}

CSimProcess::~CSimProcess()
{
    stop();
}

std::string CSimProcess::defaultBinary()
{
    if (const char* env = std::getenv("KORVANA_SIM"); env && *env)
        return env;
#ifdef KORVANA_SIM_BINARY
    return KORVANA_SIM_BINARY;
#else
    return "korvana-sim";
#endif
}

bool CSimProcess::start(std::chrono::milliseconds timeout)
{
    if (running()) {
        m_error = "already running";
        return false;
    }
    m_error.clear();
    m_buffered.clear();
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
        m_error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    std::vector<std::string> args { m_binary };
    args.insert(args.end(), m_options.begin(), m_options.end());
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        m_error = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    if (pid == 0) {
        // The simulator must not outlive a crashed test.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(126);
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::execv(argv[0], argv.data());
        const char msg[] = "CSimProcess: cannot execute the simulator\n";
        [[maybe_unused]] auto ignored = ::write(STDERR_FILENO, msg, sizeof msg - 1);
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    m_pid = pid;
    m_toChild = in[1];
    m_fromChild = out[0];
    if (!readLine(m_path, timeout) || m_path.empty() || m_path[0] != '/') {
        const std::string why = m_error.empty() ? "said \"" + m_path + "\" instead of a path" : m_error;
        stop(std::chrono::milliseconds(500));
        m_error = m_binary + " did not come up: " + why;
        return false;
    }
    return true;
}

bool CSimProcess::readLine(std::string& line, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (true) {
        if (const auto end = m_buffered.find('\n'); end != std::string::npos) {
            line = m_buffered.substr(0, end);
            m_buffered.erase(0, end + 1);
            return true;
        }
        if (m_fromChild < 0) {
            m_error = "the simulator is not running";
            return false;
        }
        pollfd p { m_fromChild, POLLIN, 0 };
        const int r = ::poll(&p, 1, millisLeft(deadline));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0) {
            m_error = "no answer within " + std::to_string(timeout.count()) + " ms";
            return false;
        }
        char buffer[4096];
        const ssize_t n = ::read(m_fromChild, buffer, sizeof buffer);
        if (n <= 0) {
            m_error = "the simulator ended";
            return false;
        }
        m_buffered.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string CSimProcess::send(const std::string& line, std::chrono::milliseconds timeout)
{
    if (!running()) {
        m_error = "the simulator is not running";
        return {};
    }
    // Each command goes out tagged "#N "; the reply must carry the same tag.
    // A reply to an earlier command that timed out is read and dropped here,
    // so it cannot pass for the answer to this one.
    const uint64_t tag = ++m_lastTag;
    const std::string text = "#" + std::to_string(tag) + " " + line + "\n";
    if (writeQuietly(m_toChild, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        m_error = std::string("cannot write to the simulator: ") + std::strerror(errno);
        return {};
    }
    const auto deadline = Clock::now() + timeout;
    while (true) {
        std::string reply;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (!readLine(reply, std::max(left, std::chrono::milliseconds(0)))) {
            m_error = "\"" + line + "\": " + m_error;
            return {};
        }
        uint64_t replyTag = 0;
        const std::size_t space = reply.find(' ');
        const bool tagged = reply.size() > 1 && reply[0] == '#' && space != std::string::npos
            && std::sscanf(reply.c_str() + 1, "%" SCNu64, &replyTag) == 1;
        if (tagged && replyTag == tag)
            return reply.substr(space + 1);
        if (tagged && replyTag < tag) {
            ++m_lateReplies;
            continue;
        }
        m_error = "stray reply to \"" + line + "\": \"" + reply + "\"";
        ADD_FAILURE() << "CSimProcess: " << m_error;
        return {};
    }
}

bool CSimProcess::waitExit(std::chrono::milliseconds timeout, int& status)
{
    const auto deadline = Clock::now() + timeout;
    do {
        const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid || (r < 0 && errno == ECHILD))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (Clock::now() < deadline);
    return false;
}

int CSimProcess::stop(std::chrono::milliseconds grace)
{
    if (!running())
        return -1;
    int status = 0;
    int result = -1;
    const char quit[] = "quit\n";
    const bool asked = writeQuietly(m_toChild, quit, sizeof quit - 1) == static_cast<ssize_t>(sizeof quit - 1);
    if (asked && waitExit(grace, status)) {
        result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    } else {
        ::kill(m_pid, SIGTERM);
        if (!waitExit(grace, status)) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
        }
    }
    ::close(m_toChild);
    ::close(m_fromChild);
    m_toChild = m_fromChild = -1;
    m_pid = -1;
    return result;
}

std::string settingsOf(const std::string& dump)
{
    const std::size_t at = dump.find(" statistics=");
    if (at == std::string::npos)
        return dump;
    const std::size_t end = dump.find(' ', at + 1);
    return dump.substr(0, at) + (end == std::string::npos ? std::string() : dump.substr(end));
}

std::map<std::string, std::string> settingsStore(CSimProcess& sim, bool withPcId)
{
    std::map<std::string, std::string> parts;
    std::istringstream in(settingsOf(sim.send("dump store")));
    std::string word;
    while (in >> word) {
        const auto eq = word.find('=');
        if (eq == std::string::npos)
            continue;
        std::string hex = word.substr(eq + 1);
        if (!withPcId && word.substr(0, eq) == "record31" && hex.size() >= 56)
            hex.replace(48, 8, "........");
        parts[word.substr(0, eq)] = hex;
    }
    return parts;
}
