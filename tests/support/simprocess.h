// SPDX-License-Identifier: GPL-3.0-or-later
// Runs korvana-sim for a test: starts it with options, waits for the first
// line (the pseudo-terminal's path), talks to its control channel line by
// line, and always stops it — "quit" first, then SIGTERM, then SIGKILL — in
// stop() or the destructor. The child also gets SIGTERM if the test process
// dies. Every wait is bounded, so a missing or hanging simulator fails a test
// within seconds instead of hanging it.
//
//     CSimProcess sim({ "--model", "6", "--pace" });
//     ASSERT_TRUE(sim.start()) << sim.error();
//     port.open(sim.ptyPath());
//     EXPECT_EQ(sim.send("fault mixed 0.1"), "ok fault mixed 0.100000");
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

class CSimProcess {
public:
    // binary: the simulator to run; empty takes defaultBinary().
    explicit CSimProcess(std::vector<std::string> options = {}, std::string binary = {});
    ~CSimProcess();
    CSimProcess(const CSimProcess&) = delete;
    CSimProcess& operator=(const CSimProcess&) = delete;

    // $KORVANA_SIM when set, else the korvana-sim of this build.
    static std::string defaultBinary();

    // Starts the simulator and reads its pseudo-terminal path. False (with
    // error() telling why) when it cannot be started or says nothing in time.
    bool start(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    bool running() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    const std::string& ptyPath() const { return m_path; }
    const std::string& error() const { return m_error; }

    // Sends one control line and returns the reply line; "" (and error() set)
    // when the simulator does not answer in time or has gone. The line goes
    // out tagged with a sequence number: a late reply to an earlier send that
    // timed out is dropped (lateReplies() counts them), and a reply that
    // belongs to no send fails the test.
    std::string send(const std::string& line, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    unsigned lateReplies() const { return m_lateReplies; }

    // Ends the simulator; returns its exit status, or -1 when it had to be killed
    // or was not running.
    int stop(std::chrono::milliseconds grace = std::chrono::seconds(2));

private:
    bool readLine(std::string& line, std::chrono::milliseconds timeout);
    bool waitExit(std::chrono::milliseconds timeout, int& status);

    std::vector<std::string> m_options;
    std::string m_binary;
    pid_t m_pid = -1;
    int m_toChild = -1;
    int m_fromChild = -1;
    std::string m_path;
    std::string m_error;
    std::string m_buffered;
    uint64_t m_lastTag = 0;
    unsigned m_lateReplies = 0;
};

// A "dump store" reply without the working-hour counters: they tick every half
// second while the simulated engine runs, so a comparison of two dumps over
// that time would see a write that never happened.
std::string settingsOf(const std::string& dump);
// The same as record name → hex ("record31" → "a00f…"). Without pcId, bytes
// 24…27 of the base record (this PC's identifier, which every base write
// stamps) read "........".
std::map<std::string, std::string> settingsStore(CSimProcess& sim, bool withPcId = true);
