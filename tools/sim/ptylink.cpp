// SPDX-License-Identifier: GPL-3.0-or-later
#include <tools/sim/ptylink.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

CPtyLink::CPtyLink(std::string symlinkPath)
    : m_symlink(std::move(symlinkPath))
{
}

CPtyLink::~CPtyLink()
{
    close();
}

bool CPtyLink::open(std::string& error)
{
    close();
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        if (master >= 0)
            ::close(master);
        return false;
    }
    char name[128] = {};
    if (::ptsname_r(master, name, sizeof name) != 0) {
        error = std::string("ptsname: ") + std::strerror(errno);
        ::close(master);
        return false;
    }
    // Raw from the start: whoever opens the slave first must not see echo or line editing.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        error = std::string("cannot open ") + name + ": " + std::strerror(errno);
        ::close(master);
        return false;
    }
    termios tio {};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B38400);
        ::cfsetospeed(&tio, B38400);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    ::close(slave);

    if (!m_symlink.empty()) {
        struct stat st {};
        if (::lstat(m_symlink.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
            error = m_symlink + " exists and is not a symlink";
            ::close(master);
            return false;
        }
        const std::string temp = m_symlink + ".new";
        ::unlink(temp.c_str());
        if (::symlink(name, temp.c_str()) != 0 || ::rename(temp.c_str(), m_symlink.c_str()) != 0) {
            error = "cannot link " + m_symlink + ": " + std::strerror(errno);
            ::unlink(temp.c_str());
            ::close(master);
            return false;
        }
    }
    m_master = master;
    m_slavePath = name;
    return true;
}

void CPtyLink::close()
{
    m_queue.clear();
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
    if (!m_symlink.empty()) {
        // Only our own link goes: another simulator may have taken the name over.
        char target[256] = {};
        const ssize_t n = ::readlink(m_symlink.c_str(), target, sizeof target - 1);
        if (n > 0 && m_slavePath == std::string(target, static_cast<std::size_t>(n)))
            ::unlink(m_symlink.c_str());
    }
}

bool CPtyLink::clientAttached() const
{
    if (m_master < 0)
        return false;
    pollfd p { m_master, POLLIN, 0 };
    return ::poll(&p, 1, 0) >= 0 && (p.revents & POLLHUP) == 0;
}

long CPtyLink::read(uint8_t* buffer, std::size_t size)
{
    const ssize_t n = ::read(m_master, buffer, size);
    if (n >= 0) {
        m_bytesIn += static_cast<uint64_t>(n);
        return n;
    }
    return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

void CPtyLink::send(const std::vector<uint8_t>& bytes, double at, double spacing)
{
    if (!m_queue.empty() && m_queue.back().at > at)
        at = m_queue.back().at + spacing;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        m_queue.push_back({ bytes[i], at + spacing * static_cast<double>(i) });
}

double CPtyLink::flush(double now)
{
    uint8_t chunk[512];
    while (!m_queue.empty() && m_queue.front().at <= now && m_master >= 0) {
        std::size_t n = 0;
        while (n < sizeof chunk && n < m_queue.size() && m_queue[n].at <= now) {
            chunk[n] = m_queue[n].byte;
            ++n;
        }
        const ssize_t written = ::write(m_master, chunk, n);
        if (written <= 0) {
            if (written < 0 && errno != EAGAIN && errno != EINTR)
                m_queue.clear(); // nobody to hear it
            break;
        }
        m_bytesOut += static_cast<uint64_t>(written);
        m_queue.erase(m_queue.begin(), m_queue.begin() + written);
    }
    return m_queue.empty() ? -1.0 : m_queue.front().at;
}

bool CPtyLink::vanish(std::string& error)
{
    if (m_master < 0) {
        error = "already vanished";
        return false;
    }
    close();
    return true;
}

bool CPtyLink::appear(std::string& pathOrError)
{
    if (m_master >= 0) {
        pathOrError = "still there: " + m_slavePath;
        return false;
    }
    if (!open(pathOrError))
        return false;
    pathOrError = m_slavePath;
    return true;
}
