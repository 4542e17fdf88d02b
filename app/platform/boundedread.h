// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a whole file that may be anything a path can name: only a regular
// file is read (a FIFO or a device node would block or never end), and never
// more than a limit, so /dev/zero or a huge file cannot fill the memory.
#pragma once

#include <cstddef>
#include <string>

enum class BoundedReadResult {
    Read,
    Unreadable, // missing, no permission, a read error
    NotRegularFile,
    TooLarge, // more than the limit
};

// The whole of path into bytes. Links are followed.
BoundedReadResult readBoundedFile(const std::string& path, std::size_t limit, std::string& bytes);
// What readBoundedFile would say of path, from its status alone (for a
// message after a reader that only says "no").
BoundedReadResult probeBoundedFile(const std::string& path, std::size_t limit);
// The reason for a message: "not a regular file", "larger than 1 MB", …
std::string describeBoundedRead(BoundedReadResult result, std::size_t limit);
