// SPDX-License-Identifier: GPL-3.0-or-later
// Saving a whole file the user named, without ever leaving a half-written
// file in place of a good one: the bytes go to a temporary file beside the
// target, which is synced and renamed over it.
//
// The path is followed through symbolic links, so the file a link names is
// replaced and the link stays. An existing file keeps its mode (and its owner
// where the process may give it back); a new file gets 0666 less the umask.
// Only a regular file is ever replaced: a FIFO, a device node or a folder is
// refused, and so is a file the process may not write. When the folder cannot
// hold a temporary file but the file itself is writable, the file is written
// in place and synced.
#pragma once

#include <functional>
#include <string>
#include <string_view>

enum class FileReplaceResult {
    Saved,
    NotRegularFile, // the target exists and is not a regular file
    NotWritable, // the target is a file the process may not write
    Failed, // the folder is missing or full, a write or the rename failed
};

// The file a save of path writes: symbolic links followed (also a dangling
// one: then the file it would name); path itself when it is no link.
std::string resolveSaveTarget(const std::string& path);

// Whether a save or a recording may write path: what it names (links
// followed) is absent or a regular file.
bool isRegularFileOrAbsent(const std::string& path);

// Writes bytes as the whole content of path, as described above. Never
// leaves a temporary file behind.
FileReplaceResult replaceFile(const std::string& path, std::string_view bytes);

// A piece of a file's content, written in order; false when it could not be.
using FileWriter = std::function<bool(std::string_view bytes)>;
// replaceFile for content made as it is written (a conversion of a large
// file), so it is never held whole: produce hands the pieces to its writer
// and returns false to give up. Giving up (or a piece not written) leaves the
// target as it was and gives Failed — except where the folder allows no
// temporary file and the file is written in place: what was written stays.
FileReplaceResult replaceFileStreamed(const std::string& path, const std::function<bool(const FileWriter&)>& produce);
