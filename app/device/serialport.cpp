// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/serialport.h>

#include <app/platform/iporttable.h>
#include <app/platform/serialdiagnosis.h>
#include <app/platform/textcodec.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sstream>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// strerror_r comes in a GNU and an XSI form; both are thread-safe.
[[maybe_unused]] const char* pickMessage(int, const char* buffer)
{
    return buffer;
}
[[maybe_unused]] const char* pickMessage(const char* message, const char*)
{
    return message;
}

// "e (message)": the number a fitter can look up and the words that explain it.
std::wstring osError(int error)
{
    char buffer[256] = {};
    const char* message = pickMessage(strerror_r(error, buffer, sizeof buffer), buffer);
    std::wostringstream out;
    out << error << L" (" << fromUtf8(message) << L")";
    return out.str();
}

bool toSpeed(uint32_t baud, speed_t& speed)
{
    static const struct {
        uint32_t baud;
        speed_t speed;
    } kSpeeds[] = {
        { 110, B110 }, { 300, B300 }, { 600, B600 }, { 1200, B1200 }, { 2400, B2400 }, { 4800, B4800 },
        { 9600, B9600 }, { 19200, B19200 }, { 38400, B38400 }, { 57600, B57600 }, { 115200, B115200 },
        { 230400, B230400 }, { 460800, B460800 }, { 921600, B921600 },
    };
    for (const auto& s : kSpeeds) {
        if (s.baud == baud) {
            speed = s.speed;
            return true;
        }
    }
    return false;
}

// Milliseconds until the deadline, rounded up so a wait never ends early.
int msUntil(Clock::time_point deadline)
{
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero())
        return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

// Pseudo-terminals and some adapters have no modem lines or counters.
bool unsupported(int error)
{
    return error == ENOTTY || error == EINVAL;
}

} // namespace

CSerialPort::CSerialPort(IPortTable& ports)
    : m_ports(ports)
{
}

CSerialPort::~CSerialPort()
{
    close();
}

void CSerialPort::throwSimple(const wchar_t* what, int error, int32_t line)
{
    const std::wstring text = std::wstring(what) + L" - GetLastError()=" + osError(error);
    _throw(6, text.c_str(), line, L"serialport");
    std::abort(); // _throw never returns; the compiler cannot see that through the virtual call
}

void CSerialPort::throwWithFlags(const wchar_t* what, int error, int32_t line)
{
    const uint32_t flags = clearCommError();
    std::wostringstream text;
    text << what << L"\n GetLastError() = " << osError(error) << L"\n clearCommError() = " << flags;
    _throw(6, text.str().c_str(), line, L"serialport");
    std::abort();
}

void CSerialPort::open(uint32_t n)
{
    close();
    int error = ENOENT;
    const std::string path = m_ports.pathOf(n);
    // A console or /dev/tty is a terminal too, but opening it would take over the user's own.
    if (!path.empty() && !CSerialDiagnosis::nonSerialKind(path).empty()) {
        error = ENOTTY;
    } else if (!path.empty()) {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            error = errno;
        } else if (!::isatty(fd)) {
            error = ENOTTY;
            ::close(fd);
        } else if (::ioctl(fd, TIOCEXCL) != 0) {
            error = errno;
            ::close(fd);
        } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            // Another program holds the adapter; TIOCEXCL does not stop root.
            error = errno == EWOULDBLOCK ? EBUSY : errno;
            ::ioctl(fd, TIOCNXCL);
            ::close(fd);
        } else {
            m_fd = fd;
            m_portNr = n;
            m_openError = 0;
            int ignored = 0;
            m_counts = {};
            readCounts(m_counts, ignored);
            return;
        }
    }
    m_openError = error;
    std::wostringstream text;
    text << L"CSerialPort::open(" << n << L") - GetLastError()=" << osError(error);
    _throw(5, text.str().c_str(), 67, L"serialport");
}

void CSerialPort::close()
{
    if (m_fd < 0)
        return;
    // The exclusive flag belongs to the tty, not to this descriptor; leave it free for the next open.
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
}

void CSerialPort::setState(const SerialLineSettings& s)
{
    const wchar_t* const what = L"CSerialPort::setState() ";
    termios t {};
    if (::tcgetattr(m_fd, &t) != 0)
        throwWithFlags(what, errno, 106);

    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    speed_t speed = 0;
    if (!toSpeed(s.baudRate, speed) || s.byteSize < 5 || s.byteSize > 8)
        throwWithFlags(what, EINVAL, 106);
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);

    static const tcflag_t kSizes[] = { CS5, CS6, CS7, CS8 };
    t.c_cflag = (t.c_cflag & ~CSIZE) | kSizes[s.byteSize - 5];
    t.c_cflag &= ~(PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    switch (s.parity) {
    case SerialLineSettings::Parity::None:
        break;
    case SerialLineSettings::Parity::Odd:
        t.c_cflag |= PARENB | PARODD;
        break;
    case SerialLineSettings::Parity::Even:
        t.c_cflag |= PARENB;
        break;
    case SerialLineSettings::Parity::Mark:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case SerialLineSettings::Parity::Space:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    }
    if (s.parityCheck)
        t.c_iflag |= INPCK;
    if (s.stopBits != SerialLineSettings::StopBits::One)
        t.c_cflag |= CSTOPB;
    if (s.outxCtsFlow || s.rtsControl == SerialLineSettings::LineControl::Handshake)
        t.c_cflag |= CRTSCTS;
    if (s.outX)
        t.c_iflag |= IXON;
    if (s.inX)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);
    // With O_NONBLOCK an empty queue then reads as EAGAIN and 0 means the line hung up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(m_fd, TCSANOW, &t) != 0)
        throwWithFlags(what, errno, 106);

    int clear = 0;
    int set = 0;
    (s.dtrControl == SerialLineSettings::LineControl::Disable ? clear : set) |= TIOCM_DTR;
    (s.rtsControl == SerialLineSettings::LineControl::Disable ? clear : set) |= TIOCM_RTS;
    if (clear && ::ioctl(m_fd, TIOCMBIC, &clear) != 0 && !unsupported(errno))
        throwWithFlags(what, errno, 106);
    if (set && ::ioctl(m_fd, TIOCMBIS, &set) != 0 && !unsupported(errno))
        throwWithFlags(what, errno, 106);
}

void CSerialPort::setTimeout(const SerialTimeouts& timeouts)
{
    if (::fcntl(m_fd, F_GETFD) == -1)
        throwWithFlags(L"CSerialPort::setTimeout() ", errno, 151);
    m_timeouts = timeouts;
}

uint32_t CSerialPort::read(void* buffer, uint32_t count)
{
    const wchar_t* const what = L"CSerialPort::read()";
    if (::fcntl(m_fd, F_GETFD) == -1)
        throwSimple(what, errno, 166);
    auto* bytes = static_cast<unsigned char*>(buffer);
    const SerialTimeouts& t = m_timeouts;
    const bool unlimited = t.readInterval == 0 && t.readTotalMultiplier == 0 && t.readTotalConstant == 0;
    const auto start = Clock::now();
    const auto deadline
        = start + std::chrono::milliseconds(uint64_t { t.readTotalMultiplier } * count + t.readTotalConstant);
    const bool totalLimited = t.readTotalMultiplier != 0 || t.readTotalConstant != 0;
    auto lastByte = start;
    uint32_t got = 0;
    while (got < count) {
        const ssize_t n = ::read(m_fd, bytes + got, count - got);
        if (n > 0) {
            got += static_cast<uint32_t>(n);
            lastByte = Clock::now();
            continue;
        }
        if (n == 0)
            throwSimple(what, EIO, 166); // hung up: the adapter or the far end is gone
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            throwSimple(what, errno, 166);

        int wait = -1;
        if (!unlimited) {
            wait = totalLimited ? msUntil(deadline) : -1;
            if (t.readInterval != 0 && got > 0) {
                const int gap = msUntil(lastByte + std::chrono::milliseconds(t.readInterval));
                wait = wait < 0 ? gap : std::min(wait, gap);
            }
            if (wait == 0)
                break;
        }
        pollfd p { m_fd, POLLIN, 0 };
        const int r = ::poll(&p, 1, wait);
        if (r < 0 && errno != EINTR)
            throwSimple(what, errno, 166);
        if (r > 0 && (p.revents & POLLNVAL))
            throwSimple(what, EBADF, 166);
    }
    return got;
}

uint32_t CSerialPort::write(const void* buffer, uint32_t count)
{
    const wchar_t* const what = L"CSerialPort::write()";
    if (::fcntl(m_fd, F_GETFD) == -1)
        throwSimple(what, errno, 182);
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    const SerialTimeouts& t = m_timeouts;
    const bool limited = t.writeTotalMultiplier != 0 || t.writeTotalConstant != 0;
    const auto deadline = Clock::now()
        + std::chrono::milliseconds(uint64_t { t.writeTotalMultiplier } * count + t.writeTotalConstant);
    uint32_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd, bytes + done, count - done);
        if (n > 0) {
            done += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            throwSimple(what, errno, 182);
        const int wait = limited ? msUntil(deadline) : -1;
        if (wait == 0)
            break;
        pollfd p { m_fd, POLLOUT, 0 };
        const int r = ::poll(&p, 1, wait);
        if (r < 0 && errno != EINTR)
            throwSimple(what, errno, 182);
        if (r > 0 && (p.revents & POLLNVAL))
            throwSimple(what, EBADF, 182);
    }
    return done;
}

void CSerialPort::purgeIn()
{
    if (::tcflush(m_fd, TCIFLUSH) != 0)
        throwWithFlags(L"CSerialPort::purgeIn() ", errno, 201);
}

bool CSerialPort::readCounts(Counts& counts, int& error) const
{
    serial_icounter_struct ic {};
    if (::ioctl(m_fd, TIOCGICOUNT, &ic) != 0) {
        error = errno;
        return false;
    }
    counts = { ic.frame, ic.overrun, ic.parity, ic.brk, ic.buf_overrun };
    return true;
}

uint32_t CSerialPort::clearCommError()
{
    const uint32_t injected = m_injectedFlags.exchange(0);
    Counts now;
    int error = 0;
    if (!readCounts(now, error))
        return m_fd >= 0 && unsupported(error) ? injected : static_cast<uint32_t>(error);
    uint32_t flags = injected;
    if (now.bufOverrun != m_counts.bufOverrun)
        flags |= kRxOver;
    if (now.overrun != m_counts.overrun)
        flags |= kOverrun;
    if (now.parity != m_counts.parity)
        flags |= kRxParity;
    if (now.frame != m_counts.frame)
        flags |= kFrame;
    if (now.brk != m_counts.brk)
        flags |= kBreak;
    m_counts = now;
    return flags;
}

void CSerialPort::wait(unsigned milliseconds)
{
    if (m_waiter)
        m_waiter(milliseconds);
    else
        ILink::wait(milliseconds);
}
