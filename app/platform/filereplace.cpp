// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/platform/filereplace.h>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// As many links as the kernel follows in one path.
constexpr int kMaxLinks = 40;
constexpr int kTempAttempts = 100;

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool writeWhole(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// A new file beside target, created 0666 so the umask (and a default ACL)
// decides its mode as for any other new file. -1 with error set on failure.
int createTemporary(const std::string& target, std::string& tempPath, int& error)
{
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kChars - 2);
    for (int i = 0; i < kTempAttempts; ++i) {
        std::string name = target + ".";
        for (int c = 0; c < 6; ++c)
            name.push_back(kChars[pick(random)]);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0) {
            tempPath = name;
            return fd;
        }
        if (errno != EEXIST) {
            error = errno;
            return -1;
        }
    }
    error = EEXIST;
    return -1;
}

bool deniedByFolder(int error)
{
    return error == EACCES || error == EPERM || error == EROFS;
}

// Runs produce with a writer into fd; the bytes written, or false.
bool produceInto(int fd, const std::function<bool(const FileWriter&)>& produce, off_t& size)
{
    size = 0;
    bool written = true;
    const FileWriter writer = [fd, &size, &written](std::string_view bytes) {
        written = written && writeWhole(fd, bytes);
        size += static_cast<off_t>(bytes.size());
        return written;
    };
    return produce(writer) && written;
}

// The fallback: no copy of the old content survives a failure here, so it
// is only taken when there is no other way.
FileReplaceResult writeInPlace(int fd, const std::function<bool(const FileWriter&)>& produce)
{
    off_t size = 0;
    const bool ok = produceInto(fd, produce, size) && ::ftruncate(fd, size) == 0 && ::fsync(fd) == 0;
    return (::close(fd) == 0 && ok) ? FileReplaceResult::Saved : FileReplaceResult::Failed;
}

void syncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

std::string resolveSaveTarget(const std::string& path)
{
    std::string current = path;
    for (int i = 0; i < kMaxLinks; ++i) {
        struct stat st { };
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        std::string link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
        if (n <= 0)
            return current;
        link.resize(static_cast<std::size_t>(n));
        current = link.front() == '/' ? link : folderOf(current) + "/" + link;
    }
    return current;
}

bool isRegularFileOrAbsent(const std::string& path)
{
    struct stat st { };
    if (::lstat(resolveSaveTarget(path).c_str(), &st) != 0)
        return errno == ENOENT;
    return S_ISREG(st.st_mode);
}

FileReplaceResult replaceFile(const std::string& path, std::string_view bytes)
{
    return replaceFileStreamed(path, [bytes](const FileWriter& write) { return write(bytes); });
}

FileReplaceResult replaceFileStreamed(const std::string& path, const std::function<bool(const FileWriter&)>& produce)
{
    if (path.empty())
        return FileReplaceResult::Failed;
    const std::string target = resolveSaveTarget(path);
    struct stat st { };
    const bool exists = ::lstat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT)
        return FileReplaceResult::Failed;
    if (exists && S_ISLNK(st.st_mode))
        return FileReplaceResult::Failed; // a loop of links
    if (exists && !S_ISREG(st.st_mode))
        return FileReplaceResult::NotRegularFile;

    // Renaming needs only the folder's permission; the file's own decides.
    int inPlace = -1;
    if (exists) {
        inPlace = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (inPlace < 0)
            return (errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY)
                ? FileReplaceResult::NotWritable
                : FileReplaceResult::Failed;
    }

    std::string temp;
    int error = 0;
    const int fd = createTemporary(target, temp, error);
    if (fd < 0) {
        if (inPlace >= 0 && deniedByFolder(error))
            return writeInPlace(inPlace, produce);
        if (inPlace >= 0)
            ::close(inPlace);
        return FileReplaceResult::Failed;
    }
    if (inPlace >= 0)
        ::close(inPlace);

    if (exists) {
        // Owner first: a change of owner clears the set-id bits that fchmod restores.
        [[maybe_unused]] const int owned = ::fchown(fd, st.st_uid, st.st_gid);
        ::fchmod(fd, st.st_mode & 07777);
    }
    off_t size = 0;
    bool ok = produceInto(fd, produce, size) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return FileReplaceResult::Failed;
    }
    syncFolder(folderOf(target));
    return FileReplaceResult::Saved;
}
