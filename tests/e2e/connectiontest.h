// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the connection and polling tests: a temporary profile folder,
// the scripted user-interaction seam, a simulator on a pseudo-terminal known
// to the port table, and a proxy that passes frames between the device object
// and the simulator unless a filter answers them itself.
#pragma once

#include <app/device/lpgdevice.h>
#include <app/platform/porttable.h>

#include "ptypeer.h"
#include "scriptedinteraction.h"
#include "simprocess.h"
#include "waitfor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

using testwait::waitFor;

using Bytes = PtyPeer::Bytes;
using Clock = std::chrono::steady_clock;

// A request of type 2 whose first payload byte is code.
inline bool isCommand(const PtyPeer::Frame& f, uint8_t code)
{
    return f.type == 2 && !f.payload.empty() && f.payload[0] == code;
}

// A profile of its own under a temporary XDG_CONFIG_HOME, the scripted seam,
// and the once-per-run refusal notice reset.
class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string templ = (std::filesystem::temp_directory_path() / "korvana-conn-XXXXXX").string();
        m_dir = ::mkdtemp(templ.data());
        setenv("XDG_CONFIG_HOME", (m_dir + "/cfg").c_str(), 1);
        // The restore points the tools leave, of this test alone.
        if (const char* data = std::getenv("XDG_DATA_HOME"))
            m_dataHome = data;
        setenv("XDG_DATA_HOME", (m_dir + "/data").c_str(), 1);
        CDeviceSession::resetRefusalNotice();
    }
    void TearDown() override
    {
        if (m_dataHome.empty())
            unsetenv("XDG_DATA_HOME");
        else
            setenv("XDG_DATA_HOME", m_dataHome.c_str(), 1);
        std::filesystem::remove_all(m_dir);
    }

    // Starts a simulator; the test fails at once when it cannot.
    std::unique_ptr<CSimProcess> startSim(std::vector<std::string> options = {})
    {
        auto sim = std::make_unique<CSimProcess>(std::move(options));
        EXPECT_TRUE(sim->start()) << sim->error();
        return sim;
    }

    // A path joins this test's own port table, which the devices made with it use.
    uint32_t addPort(const std::string& path) { return m_ports.addPath(path, "test"); }

    std::string m_dir;
    std::string m_dataHome; // the run's, put back at the end
    // Of this test alone: a terminal number an earlier test used keeps nothing of it.
    CPortTable m_ports;
    CScriptedInteraction ui;
    CInteractionScope scope { ui };
};

// Sits between the port under test (its own pseudo-terminal) and the
// simulator: every request frame is offered to the filter first; when it
// returns an answer (or an empty Bytes for silence) that goes back, otherwise
// the request is forwarded and the simulator's answer returned. Counts the
// bytes in both directions.
class CSimProxy {
public:
    using Filter = std::function<std::optional<Bytes>(const PtyPeer::Frame&)>;

    CSimProxy(const std::string& simPath, Filter filter)
        : m_filter(std::move(filter))
    {
        m_sim = ::open(simPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_sim < 0)
            throw std::runtime_error("cannot open " + simPath);
        termios t {};
        ::tcgetattr(m_sim, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(m_sim, TCSANOW, &t);
        m_peer.serve([this](const Bytes& request) { return answer(request); });
    }
    ~CSimProxy()
    {
        m_peer.stop();
        ::close(m_sim);
    }
    CSimProxy(const CSimProxy&) = delete;
    CSimProxy& operator=(const CSimProxy&) = delete;

    const std::string& path() const { return m_peer.path(); }
    std::vector<Bytes> requests() const { return m_peer.requests(); }
    std::size_t bytesSent() const { return m_toSim.load(); }
    std::size_t bytesAnswered() const { return m_fromSim.load(); }

private:
    std::vector<PtyPeer::Reply> answer(const Bytes& request)
    {
        m_toSim += request.size();
        if (const auto frame = PtyPeer::parse(request)) {
            if (auto own = m_filter ? m_filter(*frame) : std::nullopt) {
                m_fromSim += own->size();
                return own->empty() ? std::vector<PtyPeer::Reply> {} : std::vector<PtyPeer::Reply> { { *own } };
            }
        }
        Bytes junk(256);
        while (::read(m_sim, junk.data(), junk.size()) > 0) { }
        if (::write(m_sim, request.data(), request.size()) != static_cast<ssize_t>(request.size()))
            return {};
        Bytes reply = readFrame();
        m_fromSim += reply.size();
        if (reply.empty())
            return {};
        return { { reply } };
    }

    // One whole answer frame from the simulator, or nothing after half a second.
    Bytes readFrame()
    {
        Bytes got;
        const auto deadline = Clock::now() + std::chrono::milliseconds(500);
        while (Clock::now() < deadline) {
            while (!got.empty() && got[0] != 0xAA)
                got.erase(got.begin());
            if (got.size() >= 3 && got.size() >= 6u + got[2])
                return Bytes(got.begin(), got.begin() + 6 + got[2]);
            pollfd p { m_sim, POLLIN, 0 };
            ::poll(&p, 1, 20);
            uint8_t chunk[300];
            const ssize_t n = ::read(m_sim, chunk, sizeof chunk);
            if (n > 0)
                got.insert(got.end(), chunk, chunk + n);
        }
        return {};
    }

    Filter m_filter;
    int m_sim = -1;
    std::atomic<std::size_t> m_toSim { 0 };
    std::atomic<std::size_t> m_fromSim { 0 };
    PtyPeer m_peer;
};
