// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-file saves on Windows: the bytes go to a new file beside the target,
// flushed, which then takes the target's place (ReplaceFileW keeps the old
// file's attributes and security; MoveFileExW for a new file). Links are
// left to the system: a path is the file it names.
#include <app/platform/filereplace.h>

#include <app/platform/win32.h>

#include <random>
#include <windows.h>

namespace {

constexpr int kTempAttempts = 100;

bool writeWhole(HANDLE file, std::string_view bytes)
{
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

HANDLE createTemporary(const std::wstring& target, std::wstring& tempPath, DWORD& error)
{
    static constexpr wchar_t kChars[] = L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<std::size_t> pick(0, std::size(kChars) - 2);
    for (int i = 0; i < kTempAttempts; ++i) {
        std::wstring name = target + L".";
        for (int c = 0; c < 6; ++c)
            name.push_back(kChars[pick(random)]);
        const HANDLE h = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            tempPath = name;
            return h;
        }
        error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return INVALID_HANDLE_VALUE;
    }
    error = ERROR_FILE_EXISTS;
    return INVALID_HANDLE_VALUE;
}

bool produceInto(HANDLE file, const std::function<bool(const FileWriter&)>& produce)
{
    bool written = true;
    const FileWriter writer = [file, &written](std::string_view bytes) {
        written = written && writeWhole(file, bytes);
        return written;
    };
    return produce(writer) && written;
}

// The fallback when the folder takes no new file: no copy of the old content
// survives a failure here.
FileReplaceResult writeInPlace(HANDLE file, const std::function<bool(const FileWriter&)>& produce)
{
    const bool ok = produceInto(file, produce) && ::SetEndOfFile(file) && ::FlushFileBuffers(file);
    return (::CloseHandle(file) && ok) ? FileReplaceResult::Saved : FileReplaceResult::Failed;
}

} // namespace

std::string resolveSaveTarget(const std::string& path)
{
    return path;
}

bool isRegularFileOrAbsent(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesW(widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    return !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

FileReplaceResult replaceFile(const std::string& path, std::string_view bytes)
{
    return replaceFileStreamed(path, [bytes](const FileWriter& write) { return write(bytes); });
}

FileReplaceResult replaceFileStreamed(const std::string& path, const std::function<bool(const FileWriter&)>& produce)
{
    if (path.empty())
        return FileReplaceResult::Failed;
    const std::wstring target = widen(path);
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        return FileReplaceResult::Failed;
    if (exists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
        return FileReplaceResult::NotRegularFile;
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY))
        return FileReplaceResult::NotWritable;

    HANDLE inPlace = INVALID_HANDLE_VALUE;
    if (exists) {
        inPlace = ::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (inPlace == INVALID_HANDLE_VALUE)
            return ::GetLastError() == ERROR_ACCESS_DENIED ? FileReplaceResult::NotWritable : FileReplaceResult::Failed;
    }

    std::wstring temp;
    DWORD error = 0;
    const HANDLE file = createTemporary(target, temp, error);
    if (file == INVALID_HANDLE_VALUE) {
        if (inPlace != INVALID_HANDLE_VALUE && error == ERROR_ACCESS_DENIED)
            return writeInPlace(inPlace, produce);
        if (inPlace != INVALID_HANDLE_VALUE)
            ::CloseHandle(inPlace);
        return FileReplaceResult::Failed;
    }
    if (inPlace != INVALID_HANDLE_VALUE)
        ::CloseHandle(inPlace);

    bool ok = produceInto(file, produce) && ::FlushFileBuffers(file);
    ok = ::CloseHandle(file) && ok;
    if (ok && exists)
        ok = ::ReplaceFileW(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    else if (ok)
        ok = ::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        ::DeleteFileW(temp.c_str());
        return FileReplaceResult::Failed;
    }
    return FileReplaceResult::Saved;
}
