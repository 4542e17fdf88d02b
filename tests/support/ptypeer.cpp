// SPDX-License-Identifier: GPL-3.0-or-later
#include "ptypeer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kFrameTime { 1000 };

uint16_t rotate(uint16_t w, unsigned k, bool left)
{
    k &= 15;
    if (k == 0)
        return w;
    if (!left)
        k = 16 - k;
    return static_cast<uint16_t>((w << k) | (w >> (16 - k)));
}

void rotatePayload(PtyPeer::Bytes& p, unsigned k, bool left)
{
    for (std::size_t i = 0; i + 1 < p.size(); i += 2) {
        const uint16_t w = rotate(static_cast<uint16_t>(p[i] | p[i + 1] << 8), k, left);
        p[i] = static_cast<uint8_t>(w);
        p[i + 1] = static_cast<uint8_t>(w >> 8);
    }
}

int msLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

PtyPeer::PtyPeer()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        throw std::runtime_error(std::string("pseudo-terminal: ") + std::strerror(errno));
    char name[128] = {};
    if (::ptsname_r(m_master, name, sizeof name) != 0)
        throw std::runtime_error("ptsname_r failed");
    m_path = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        throw std::runtime_error("cannot open " + m_path);
    // Raw from the start: no echo of what the peer sends, no newline translation.
    termios t {};
    ::tcgetattr(m_slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(m_slave, TCSANOW, &t);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

PtyPeer::~PtyPeer()
{
    stop();
    hangUp();
}

void PtyPeer::hangUp()
{
    stop();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
}

void PtyPeer::send(const Bytes& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p { m_master, POLLOUT, 0 };
            ::poll(&p, 1, 100);
        } else {
            throw std::runtime_error(std::string("peer write: ") + std::strerror(errno));
        }
    }
}

PtyPeer::Bytes PtyPeer::receive(std::size_t count, std::chrono::milliseconds timeout)
{
    Bytes out;
    const auto deadline = Clock::now() + timeout;
    while (out.size() < count) {
        uint8_t buf[512];
        const ssize_t n = ::read(m_master, buf, std::min(sizeof buf, count - out.size()));
        if (n > 0) {
            out.insert(out.end(), buf, buf + n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        const int wait = msLeft(deadline);
        if (wait == 0)
            break;
        pollfd p { m_master, POLLIN, 0 };
        ::poll(&p, 1, std::min(wait, 20));
    }
    return out;
}

PtyPeer::Bytes PtyPeer::drain(std::chrono::milliseconds quiet)
{
    Bytes out;
    for (;;) {
        const Bytes more = receive(4096, quiet);
        if (more.empty())
            return out;
        out.insert(out.end(), more.begin(), more.end());
    }
}

PtyPeer::Bytes PtyPeer::receiveFrame(std::chrono::milliseconds timeout)
{
    auto deadline = Clock::now() + timeout;
    auto left = [&] { return std::chrono::milliseconds(msLeft(deadline)); };
    Bytes frame;
    while (frame.size() < 2) {
        const Bytes b = receive(1, left());
        if (b.empty())
            return {};
        frame.push_back(b[0]);
        if (frame.size() == 1 && frame[0] != 0xAA)
            frame.clear();
        else if (frame.size() == 2 && frame[1] != 0x55)
            frame.assign(frame[1] == 0xAA ? 1 : 0, 0xAA);
    }
    // The time-out is for the frame to begin; a begun frame gets time to end,
    // as the port writes it in several pieces.
    deadline = std::max(deadline, Clock::now() + kFrameTime);
    Bytes rest = receive(4, left());
    frame.insert(frame.end(), rest.begin(), rest.end());
    if (frame.size() < 6)
        return {};
    rest = receive(frame[2], left());
    frame.insert(frame.end(), rest.begin(), rest.end());
    return frame.size() == 6u + frame[2] ? frame : Bytes {};
}

termios PtyPeer::settings() const
{
    termios t {};
    ::tcgetattr(m_slave, &t);
    return t;
}

std::size_t PtyPeer::queuedAtPort() const
{
    int n = 0;
    return ::ioctl(m_slave, FIONREAD, &n) == 0 ? static_cast<std::size_t>(n) : 0;
}

bool PtyPeer::waitQueuedAtPort(std::size_t count, std::chrono::milliseconds timeout) const
{
    const auto deadline = Clock::now() + timeout;
    while (queuedAtPort() < count) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void PtyPeer::serve(Handler handler)
{
    stop();
    m_handler = std::move(handler);
    m_stop = false;
    m_thread = std::thread([this] { serveLoop(); });
}

void PtyPeer::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

std::vector<PtyPeer::Bytes> PtyPeer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void PtyPeer::serveLoop()
{
    while (!m_stop) {
        const Bytes request = receiveFrame(std::chrono::milliseconds(50));
        if (request.empty())
            continue;
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(request);
        }
        for (const Reply& reply : m_handler(request)) {
            if (reply.delay.count() > 0)
                std::this_thread::sleep_for(reply.delay);
            send(reply.bytes);
        }
    }
}

PtyPeer::Bytes PtyPeer::frame(uint8_t type, uint16_t key, const Bytes& plainPayload)
{
    unsigned sum = 1 + (key & 0xFF) + (key >> 8) + type + ((plainPayload.size() + 2) & 0xFF);
    for (uint8_t b : plainPayload)
        sum += b;
    Bytes scrambled = plainPayload;
    rotatePayload(scrambled, key & 15, true);
    Bytes out { 0xAA, 0x55, static_cast<uint8_t>(plainPayload.size() + 2), type, static_cast<uint8_t>(key >> 8),
                static_cast<uint8_t>(key) };
    out.insert(out.end(), scrambled.begin(), scrambled.end());
    out.push_back(static_cast<uint8_t>(sum >> 8));
    out.push_back(static_cast<uint8_t>(sum));
    return out;
}

std::optional<PtyPeer::Frame> PtyPeer::parse(const Bytes& bytes)
{
    if (bytes.size() < 8 || bytes[0] != 0xAA || bytes[1] != 0x55 || bytes[2] < 2 || bytes.size() != 6u + bytes[2])
        return std::nullopt;
    Frame f;
    f.length = bytes[2];
    f.type = bytes[3];
    f.key = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
    f.payload.assign(bytes.begin() + 6, bytes.end() - 2);
    rotatePayload(f.payload, f.key & 15, false);
    f.checksum = static_cast<uint16_t>(bytes[bytes.size() - 2] << 8 | bytes.back());
    unsigned sum = 1 + bytes[4] + bytes[5] + f.type + f.length;
    for (uint8_t b : f.payload)
        sum += b;
    f.checksumOk = static_cast<uint16_t>(sum) == f.checksum;
    return f;
}

std::string PtyPeer::hex(const Bytes& bytes)
{
    std::string out;
    char two[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(two, sizeof two, "%02x", bytes[i]);
        if (i)
            out += ' ';
        out += two;
    }
    return out;
}
