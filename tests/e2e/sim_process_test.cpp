// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-sim as a program: it comes up on a pseudo-terminal and answers
// there, fails fast when missing, follows --link through vanish and appear,
// lets a client close and re-open the port, keeps its controller in --state
// across runs (an interrupted programming included), and with --pace never
// answers faster than the wire. The pace test prints the measured rates.
#include "simtest.h"

#include <simprocess.h>

#include <gtest/gtest-spi.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The PC's end, as plain as it gets: raw termios, write a frame, read one back.
class CPtyClient {
public:
    ~CPtyClient() { close(); }

    bool open(const std::string& path)
    {
        close();
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_fd < 0)
            return false;
        termios tio {};
        ::tcgetattr(m_fd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(m_fd, TCSANOW, &tio);
        return true;
    }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    int fd() const { return m_fd; }

    // Bytes exchanged by the last call, both ways.
    std::size_t lastBytes = 0;

    std::optional<PtyPeer::Frame> exchange(uint8_t type, const Bytes& payload, std::chrono::milliseconds timeout = 2s)
    {
        const Bytes request = PtyPeer::frame(type, 0x0F0F, payload);
        ::tcflush(m_fd, TCIFLUSH);
        if (::write(m_fd, request.data(), request.size()) != static_cast<ssize_t>(request.size()))
            return std::nullopt;
        const auto deadline = Clock::now() + timeout;
        Bytes answer = read(6, deadline);
        if (answer.size() < 6)
            return std::nullopt;
        const Bytes rest = read(answer[2], deadline);
        answer.insert(answer.end(), rest.begin(), rest.end());
        lastBytes = request.size() + answer.size();
        return PtyPeer::parse(answer);
    }

    // What the link does when the far end is gone: EIO on read or a hang-up.
    bool hungUp()
    {
        pollfd p { m_fd, POLLIN, 0 };
        if (::poll(&p, 1, 500) <= 0)
            return false;
        uint8_t b = 0;
        return (p.revents & (POLLHUP | POLLERR)) != 0 || ::read(m_fd, &b, 1) <= 0;
    }

private:
    Bytes read(std::size_t count, Clock::time_point deadline)
    {
        Bytes out(count);
        std::size_t have = 0;
        while (have < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd p { m_fd, POLLIN, 0 };
            if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0)
                break;
            const ssize_t n = ::read(m_fd, out.data() + have, count - have);
            if (n <= 0)
                break;
            have += static_cast<std::size_t>(n);
        }
        out.resize(have);
        return out;
    }

    int m_fd = -1;
};

const Bytes kIdentify = { 0xCC, 0, 0, 4, 0, 0 };

std::string tempPath(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()))).string();
}

} // namespace

TEST(SimProcess, ComesUpOnItsPtyAndAnswers)
{
    CSimProcess sim({ "--model", "16", "--engine", "off" });
    ASSERT_TRUE(sim.start()) << sim.error();
    EXPECT_EQ(sim.ptyPath().rfind("/dev/pts/", 0), 0u) << sim.ptyPath();
    CPtyClient client;
    ASSERT_TRUE(client.open(sim.ptyPath()));
    const auto answer = client.exchange(2, kIdentify);
    ASSERT_TRUE(answer);
    EXPECT_TRUE(answer->checksumOk);
    EXPECT_EQ(answer->payload, (Bytes { 4, 16, 85, 0, 0, 0 }));
    EXPECT_EQ(sim.send("errors 00 00 03 00"), "ok errors 00 00 03 00");
    const auto errors = client.exchange(2, command(0x05));
    ASSERT_TRUE(errors);
    EXPECT_EQ(errors->payload, (Bytes { 0, 0, 3, 0 }));
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_FALSE(sim.running());
}

// Each control line goes out tagged; a reply that came too late for its own
// request is dropped, never taken as the answer to the next one, and a reply
// that belongs to no request fails the test. Untagged lines still work (the
// scripts and bench/run use them).
TEST(SimProcess, RepliesAreMatchedToTheirRequests)
{
    CSimProcess sim({ "--engine", "off" });
    ASSERT_TRUE(sim.start()) << sim.error();
    // With no time to answer, the reply to "advance" comes after send gave up
    // (or, rarely, just in time); either way "status" gets its own reply.
    const std::string advanced = sim.send("advance 120", std::chrono::milliseconds(0));
    const std::string status = sim.send("status");
    EXPECT_EQ(status.rfind("ok ", 0), 0u) << status;
    EXPECT_NE(status.find(" time=12"), std::string::npos) << status;
    EXPECT_EQ(sim.lateReplies(), advanced.empty() ? 1u : 0u) << advanced;
    EXPECT_EQ(sim.send("engine idle"), "ok engine idle");

    // A peer that answers without the tag.
    CSimProcess stray({ "-c", "echo /dev/null; read line; echo ok untagged; read line" }, "/bin/sh");
    ASSERT_TRUE(stray.start()) << stray.error();
    std::string reply = "not sent";
    EXPECT_NONFATAL_FAILURE(reply = stray.send("status"), "stray reply");
    EXPECT_EQ(reply, "");
    EXPECT_NE(stray.error().find("ok untagged"), std::string::npos) << stray.error();
}

TEST(SimProcess, MissingBinaryFailsWithinSeconds)
{
    CSimProcess sim({}, "/nonexistent/korvana-sim");
    EXPECT_FALSE(sim.start(3s));
    EXPECT_NE(sim.error().find("did not come up"), std::string::npos) << sim.error();
    EXPECT_EQ(sim.send("status"), "");
}

TEST(SimProcess, BadOptionsEndItAtOnce)
{
    CSimProcess sim({ "--model", "7" });
    EXPECT_FALSE(sim.start(3s));
    EXPECT_FALSE(sim.running());
}

TEST(SimProcess, ClientMayCloseAndReopenThePort)
{
    CSimProcess sim({ "--engine", "off" });
    ASSERT_TRUE(sim.start()) << sim.error();
    for (int round = 0; round < 3; ++round) {
        CPtyClient client;
        ASSERT_TRUE(client.open(sim.ptyPath())) << round;
        ::ioctl(client.fd(), TIOCEXCL); // as the PC's port does
        const auto answer = client.exchange(2, kIdentify);
        ASSERT_TRUE(answer) << round;
        EXPECT_EQ(answer->payload[0], 4);
    }
    EXPECT_NE(sim.send("status").find("answers=3"), std::string::npos);
}

TEST(SimProcess, LinkFollowsVanishAndAppear)
{
    const std::string link = tempPath("ttyLPG");
    CSimProcess sim({ "--link", link, "--engine", "off" });
    ASSERT_TRUE(sim.start()) << sim.error();
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.ptyPath());

    CPtyClient client;
    ASSERT_TRUE(client.open(link));
    EXPECT_EQ(sim.send("bytes"), "ok in=0 out=0");
    ASSERT_TRUE(client.exchange(2, kIdentify));
    // 14 bytes each way: AA 55, length, type, key word, 6 payload bytes, checksum.
    EXPECT_EQ(sim.send("bytes"), "ok in=14 out=14");
    EXPECT_EQ(sim.send("vanish"), "ok vanished");
    EXPECT_TRUE(client.hungUp());
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    EXPECT_EQ(sim.send("vanish").rfind("error", 0), 0u);
    EXPECT_EQ(sim.send("path"), "error vanished");
    client.close();

    const std::string appeared = sim.send("appear");
    ASSERT_EQ(appeared.rfind("ok /dev/pts/", 0), 0u) << appeared;
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), appeared.substr(3));
    EXPECT_EQ(sim.send("path"), appeared);
    ASSERT_TRUE(client.open(link));
    const auto answer = client.exchange(2, kIdentify);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->payload[0], 4);
    EXPECT_EQ(sim.send("bytes"), "ok in=28 out=28") << "counted across links";
    client.close();
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link)) << "removed at exit";
}

TEST(SimProcess, StateFileKeepsTheControllerAndAnInterruptedProgramming)
{
    const std::string state = tempPath("sim-state-file");
    std::filesystem::remove(state);
    {
        CSimProcess sim({ "--state", state, "--model", "4", "--engine", "off" });
        ASSERT_TRUE(sim.start()) << sim.error();
        EXPECT_EQ(sim.send("errors 01 02 03 04"), "ok errors 01 02 03 04");
        EXPECT_EQ(sim.send("vin KRVZZZ1Z"), "ok vin KRVZZZ1Z");
        CPtyClient client;
        ASSERT_TRUE(client.open(sim.ptyPath()));
        Bytes record = client.exchange(2, command(0x2C)).value_or(PtyPeer::Frame {}).payload;
        ASSERT_EQ(record.size(), 8u);
        record[6] = 2;
        const auto written = client.exchange(33, record);
        ASSERT_TRUE(written);
        EXPECT_EQ(written->payload[0], 4);
        EXPECT_EQ(sim.stop(), 0);
    }
    {
        CSimProcess sim({ "--state", state, "--model", "5" }); // the file's model wins
        ASSERT_TRUE(sim.start()) << sim.error();
        CPtyClient client;
        ASSERT_TRUE(client.open(sim.ptyPath()));
        EXPECT_EQ(client.exchange(2, kIdentify).value().payload, (Bytes { 4, 4, 85, 0, 0, 0 }));
        EXPECT_EQ(client.exchange(2, command(0x05)).value().payload, (Bytes { 1, 2, 3, 4 }));
        EXPECT_EQ(client.exchange(2, command(0x2C)).value().payload[6], 2);
        EXPECT_EQ(sim.send("vin"), "ok vin KRVZZZ1Z") << "the car's VIN is kept too";
        // Into the bootloader, erase, and the power goes: no quit, no signal handler.
        const Bytes code = { 'Q', 'Q', '4', '0', '2', '9', '1', '7' };
        EXPECT_EQ(client.exchange(0xF6, code).value().payload[0], 4);
        EXPECT_EQ(client.exchange(0xF9, { 0x00, 0x20, 0, 0 }).value().payload[0], 4);
        ::kill(sim.pid(), SIGKILL);
        sim.stop();
    }
    {
        CSimProcess sim({ "--state", state });
        ASSERT_TRUE(sim.start()) << sim.error();
        CPtyClient client;
        ASSERT_TRUE(client.open(sim.ptyPath()));
        EXPECT_EQ(client.exchange(2, kIdentify).value().payload[0], 5) << "still in the bootloader";
        EXPECT_EQ(client.exchange(2, command(0xC5)).value().payload, (Bytes { 4, 252, 0, 0, 0, 0 }));
    }
    std::filesystem::remove(state);
}

TEST(SimProcess, PaceNeverBeatsTheWire)
{
    // Identification: 14 bytes out, 14 back; 28 × 10 ÷ 38400 s ≈ 7.3 ms on the wire.
    const int rounds = 40;
    double rate[2] = {};
    for (int paced = 0; paced < 2; ++paced) {
        CSimProcess sim(paced ? std::vector<std::string> { "--pace", "--engine", "off" }
                              : std::vector<std::string> { "--engine", "off" });
        ASSERT_TRUE(sim.start()) << sim.error();
        CPtyClient client;
        ASSERT_TRUE(client.open(sim.ptyPath()));
        ASSERT_TRUE(client.exchange(2, kIdentify));
        std::size_t bytes = 0;
        const auto start = Clock::now();
        for (int i = 0; i < rounds; ++i) {
            ASSERT_TRUE(client.exchange(2, kIdentify));
            bytes += client.lastBytes;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        rate[paced] = rounds / seconds;
        if (paced) {
            EXPECT_GE(seconds, bytes * 10.0 / 38400 * 0.98);
        }
    }
    std::cout << "identify exchanges per second: " << rate[0] << " unpaced, " << rate[1] << " paced\n";
}

TEST(SimProcess, ReadingAllSettingsWithPaceStaysNearTheWireTime)
{
    // The requests of a connection: identification, the identity block, then
    // every settings block in the order the PC reads them (the map page as nine
    // memory blocks).
    std::vector<Bytes> requests = { kIdentify, command(0x0D), command(0x2A), command(0x07), command(0x08),
                                    command(0x16), command(0x0C), command(0x0E) };
    for (unsigned address = 246; address < 246 + 288; address += 32)
        requests.push_back(command(0x0B, address & 0xFF, address >> 8));
    for (uint8_t code : { 0x22, 0x2B, 0x2C, 0x2D })
        requests.push_back(command(code));

    CSimProcess sim({ "--pace", "--engine", "off" });
    ASSERT_TRUE(sim.start()) << sim.error();
    CPtyClient client;
    ASSERT_TRUE(client.open(sim.ptyPath()));
    std::size_t bytes = 0;
    const auto start = Clock::now();
    for (const Bytes& r : requests) {
        const auto answer = client.exchange(2, r);
        ASSERT_TRUE(answer && answer->checksumOk);
        bytes += client.lastBytes;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double wire = bytes * 10.0 / 38400;
    EXPECT_GE(seconds, wire * 0.98);
    std::cout << "all settings, paced: " << requests.size() << " exchanges, " << bytes << " bytes, " << seconds * 1000
              << " ms against " << wire * 1000 << " ms on the wire (ratio " << seconds / wire << ")\n";
}
