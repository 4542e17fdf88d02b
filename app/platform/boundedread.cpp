// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/platform/boundedread.h>
#include <app/platform/posixcompat.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

BoundedReadResult readBoundedFile(const std::string& path, std::size_t limit, std::string& bytes)
{
    bytes.clear();
    // Non-blocking, so that opening a FIFO without a writer does not wait.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return BoundedReadResult::Unreadable;
    struct stat st { };
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return BoundedReadResult::Unreadable;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return BoundedReadResult::NotRegularFile;
    }
    if (static_cast<unsigned long long>(st.st_size) > limit) {
        ::close(fd);
        return BoundedReadResult::TooLarge;
    }
    // The file may grow while it is read: one byte past the limit says so.
    bytes.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t done = 0;
    while (true) {
        if (done == bytes.size()) {
            if (bytes.size() > limit)
                break;
            bytes.resize(std::min(bytes.size() * 2, limit + 1));
        }
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            bytes.clear();
            return BoundedReadResult::Unreadable;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (done > limit) {
        bytes.clear();
        return BoundedReadResult::TooLarge;
    }
    bytes.resize(done);
    return BoundedReadResult::Read;
}

BoundedReadResult probeBoundedFile(const std::string& path, std::size_t limit)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0)
        return BoundedReadResult::Unreadable;
    if (!S_ISREG(st.st_mode))
        return BoundedReadResult::NotRegularFile;
    if (static_cast<unsigned long long>(st.st_size) > limit)
        return BoundedReadResult::TooLarge;
    return ::access(path.c_str(), R_OK) == 0 ? BoundedReadResult::Read : BoundedReadResult::Unreadable;
}

std::string describeBoundedRead(BoundedReadResult result, std::size_t limit)
{
    switch (result) {
    case BoundedReadResult::Read:
        return "read";
    case BoundedReadResult::Unreadable:
        return "cannot be read";
    case BoundedReadResult::NotRegularFile:
        return "not a regular file";
    case BoundedReadResult::TooLarge:
        break;
    }
    const std::size_t mb = limit >> 20;
    return "larger than " + (mb > 0 && (limit & ((1u << 20) - 1)) == 0 ? std::to_string(mb) + " MB"
                                                                       : std::to_string(limit) + " bytes");
}
