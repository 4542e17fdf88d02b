// SPDX-License-Identifier: GPL-3.0-or-later
#include <tools/sim/simloop.h>

#include <tools/sim/controlchannel.h>
#include <tools/sim/fittedcar.h>
#include <tools/sim/ptylink.h>
#include <tools/sim/simulator.h>
#include <tools/sim/statefile.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

double monotonic()
{
    timespec ts {};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void writeLine(const std::string& line)
{
    const std::string text = line + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            return; // nobody reads stdout any more
        }
        done += static_cast<std::size_t>(n);
    }
}

bool fileExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// Signals end the loop; they stay blocked except inside ppoll, so none is lost between checks.
sigset_t installSignals()
{
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    for (int s : { SIGTERM, SIGINT, SIGHUP })
        ::sigaction(s, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int s : { SIGTERM, SIGINT, SIGHUP })
        sigaddset(&blocked, s);
    sigset_t previous;
    ::sigprocmask(SIG_BLOCK, &blocked, &previous);
    for (int s : { SIGTERM, SIGINT, SIGHUP })
        sigdelset(&previous, s);
    return previous;
}

} // namespace

int runSimulator(const SimOptions& options)
{
    CSimulator sim(options.config);
    CController& controller = sim.controller();
    sim.faults().set(options.fault, options.faultRate);

    std::string error;
    if (!options.state.empty()) {
        if (fileExists(options.state)) {
            if (!loadState(options.state, controller, error)) {
                std::fprintf(stderr, "korvana-sim: %s\n", error.c_str());
                return 2;
            }
            if (options.config.mainCorr)
                setAllMainCorrections(controller.store(), *options.config.mainCorr);
            for (const auto& given : options.identityGiven)
                std::fprintf(stderr, "korvana-sim: %s ignored: the controller comes from %s\n", given.c_str(),
                             options.state.c_str());
        } else if (!saveState(options.state, controller, error)) {
            std::fprintf(stderr, "korvana-sim: %s\n", error.c_str());
            return 1;
        }
    }

    CPtyLink link(options.link);
    if (!link.open(error)) {
        std::fprintf(stderr, "korvana-sim: %s\n", error.c_str());
        return 1;
    }
    writeLine(link.path());

    CControlChannel control(controller, sim.faults(), &link);
    control.setStatePath(options.state);
    const sigset_t waitMask = installSignals();

    const auto save = [&](double now, double& lastSave) {
        if (options.state.empty())
            return;
        std::string why;
        if (!saveState(options.state, controller, why))
            std::fprintf(stderr, "korvana-sim: %s\n", why.c_str());
        lastSave = now;
    };

    double lastReal = monotonic();
    double lastSave = lastReal;
    bool dirty = false;
    bool stdinOpen = true;
    bool hangup = !link.clientAttached();
    std::string pendingLine;
    uint8_t buffer[4096];

    while (!g_stop && !control.quitRequested()) {
        double now = monotonic();
        controller.advance((now - lastReal) * options.timeScale);
        lastReal = now;
        const double nextByte = link.flush(now);

        double timeout = 0.1;
        if (nextByte >= 0)
            timeout = std::min(timeout, std::max(0.0, nextByte - now));
        if (link.isOpen() && hangup)
            timeout = std::min(timeout, 0.005); // nobody on the slave: look again soon
        pollfd fds[2] {};
        nfds_t count = 0;
        int stdinIndex = -1;
        int linkIndex = -1;
        if (stdinOpen) {
            stdinIndex = static_cast<int>(count);
            fds[count++] = { STDIN_FILENO, POLLIN, 0 };
        }
        if (link.isOpen() && !hangup) {
            linkIndex = static_cast<int>(count);
            fds[count++] = { link.fd(), POLLIN, 0 };
        }
        timespec wait {};
        wait.tv_sec = static_cast<time_t>(timeout);
        wait.tv_nsec = static_cast<long>((timeout - static_cast<double>(wait.tv_sec)) * 1e9);
        const int ready = ::ppoll(fds, count, &wait, &waitMask);
        if (ready < 0 && errno != EINTR) {
            std::perror("korvana-sim: ppoll");
            break;
        }
        now = monotonic();
        controller.advance((now - lastReal) * options.timeScale);
        lastReal = now;

        if (linkIndex >= 0 && fds[linkIndex].revents != 0) {
            if (fds[linkIndex].revents & POLLIN) {
                long n = 0;
                while ((n = link.read(buffer, sizeof buffer)) > 0) {
                    for (auto& out : sim.receive(buffer, static_cast<std::size_t>(n), now, options.pace))
                        link.send(out.bytes, out.earliest, options.pace ? wireSeconds(1) : 0.0);
                }
                if (n < 0)
                    hangup = true;
            }
            if (fds[linkIndex].revents & (POLLHUP | POLLERR))
                hangup = true;
            link.flush(now);
        }

        if (stdinIndex >= 0 && fds[stdinIndex].revents != 0) {
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                if (n == 0 || (errno != EINTR && errno != EAGAIN))
                    stdinOpen = false; // keep running without a control channel
            } else {
                pendingLine.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
                std::size_t end = 0;
                while (!control.quitRequested() && (end = pendingLine.find('\n')) != std::string::npos) {
                    std::string line = pendingLine.substr(0, end);
                    pendingLine.erase(0, end + 1);
                    if (!line.empty() && line.back() == '\r')
                        line.pop_back();
                    const bool hadLink = link.isOpen();
                    const std::string before = link.path();
                    writeLine(control.execute(line));
                    if (link.isOpen() != hadLink || link.path() != before) {
                        sim.reader().reset();
                        hangup = !link.clientAttached();
                    }
                }
            }
        }

        if (hangup && link.isOpen() && link.clientAttached())
            hangup = false;

        const int request = controller.takeSaveRequest();
        dirty = dirty || request > 0;
        if (request == 2 || (dirty && now - lastSave >= 1.0) || now - lastSave >= 10.0) {
            save(now, lastSave);
            dirty = false;
        }
    }
    save(monotonic(), lastSave);
    link.close();
    return 0;
}
