// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/diagfile.h>

#include <app/data/recordingpath.h>
#include <app/platform/posixcompat.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <string_view>

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The program's own line format; its final \n is written as CR LF.
constexpr const char* kLineFormat
    = "%d\t%4.0f\t%4.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.0f\t"
      "%.0f\t%.0f\t%.0f\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\n";

// Formats in the C locale for this thread only, so a GUI that set a decimal
// comma for its own use cannot change the file.
#ifdef _WIN32
// A file descriptor of the Windows C runtime never blocks on opening.
bool makeBlocking(int)
{
    return true;
}

class CCLocaleScope {
public:
    CCLocaleScope()
        : m_mode(_configthreadlocale(_ENABLE_PER_THREAD_LOCALE))
    {
        if (const char* numeric = std::setlocale(LC_NUMERIC, nullptr))
            m_previous = numeric;
        std::setlocale(LC_NUMERIC, "C");
    }
    ~CCLocaleScope()
    {
        if (!m_previous.empty())
            std::setlocale(LC_NUMERIC, m_previous.c_str());
        _configthreadlocale(m_mode);
    }
    CCLocaleScope(const CCLocaleScope&) = delete;
    CCLocaleScope& operator=(const CCLocaleScope&) = delete;

private:
    int m_mode;
    std::string m_previous;
};
#else
bool makeBlocking(int fd)
{
    return ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0;
}

class CCLocaleScope {
public:
    CCLocaleScope()
    {
        static const locale_t c = ::newlocale(LC_ALL_MASK, "C", locale_t {});
        if (c)
            m_previous = ::uselocale(c);
    }
    ~CCLocaleScope()
    {
        if (m_previous)
            ::uselocale(m_previous);
    }
    CCLocaleScope(const CCLocaleScope&) = delete;
    CCLocaleScope& operator=(const CCLocaleScope&) = delete;

private:
    locale_t m_previous {};
};
#endif

} // namespace

CDiagFile::~CDiagFile()
{
    close();
}

bool CDiagFile::open(const std::string& path)
{
    close();
    if (path.empty() || path == kNoRecordingPath)
        return false;
    m_error = 0;
    struct stat st { };
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        m_error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    // Not blocking, so a FIFO put there meanwhile cannot hold the opening; not
    // truncating until the target is known to be a regular file.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        m_error = errno;
        return false;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        m_error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return false;
    }
    if (::ftruncate(fd, 0) != 0 || !makeBlocking(fd)) {
        m_error = errno;
        ::close(fd);
        return false;
    }
    // Binary: the line ends are written as they are meant to be.
    m_file = ::fdopen(fd, "wb");
    if (!m_file) {
        m_error = errno;
        ::close(fd);
        return false;
    }
    m_path = path;
    return true;
}

void CDiagFile::close()
{
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
    m_path.clear();
}

bool CDiagFile::write(const CDiag& record, const CDiagScale& scale, const ObdValues& obd)
{
    if (!m_file)
        return false;
    const std::string line = formatLine(record, scale, obd);
    errno = 0;
    const bool whole = std::fwrite(line.data(), 1, line.size(), m_file) == line.size();
    // A recording is read while it grows and must survive a crash of the program;
    // the flush is also where a full disk shows.
    const bool flushed = std::fflush(m_file) == 0;
    if (whole && flushed) {
        m_error = 0;
        return true;
    }
    m_error = errno ? errno : EIO;
    return false;
}

std::string CDiagFile::formatLine(const CDiag& r, const CDiagScale& scale, const ObdValues& obd)
{
    double petrol[CDiag::kInjectors];
    double lpg[CDiag::kInjectors];
    for (int k = 0; k < CDiag::kInjectors; ++k) {
        const int slot = r.injectorSlot(k);
        petrol[k] = r.petrolTime(slot);
        lpg[k] = r.lpgTime(slot);
    }
    char line[512];
    int n = 0;
    {
        CCLocaleScope cLocale;
        n = std::snprintf(line, sizeof line, kLineFormat, int { r.fuelState() }, r.rpm(), petrol[0], lpg[0],
                          petrol[1], lpg[1], petrol[2], lpg[2], petrol[3], lpg[3], petrol[4], lpg[4], petrol[5],
                          lpg[5], petrol[6], lpg[6], petrol[7], lpg[7], r.lpgPressure(), r.manifoldPressure(scale),
                          r.lpgTempr(scale), r.reducerTempr(scale), r.lambda1(), r.lambda2(), obd[0], obd[1], obd[2],
                          obd[3], obd[4], obd[5], obd[6], obd[7]);
    }
    if (n <= 0)
        return "\r\n";
    std::string text(line, static_cast<std::size_t>(n) < sizeof line ? static_cast<std::size_t>(n) : sizeof line - 1);
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text + "\r\n";
}

bool CDiagFile::readRecords(const std::string& path, std::vector<Record>& records)
{
    return readRecords(path, [&records](const Record& record) { records.push_back(record); });
}

bool CDiagFile::readRecords(const std::string& path, const std::function<void(const Record&)>& each)
{
    return readRecordsFrom(path, 0, [&each](const Record& record, uint64_t) {
        each(record);
        return true;
    });
}

bool CDiagFile::readRecordsFrom(
    const std::string& path, uint64_t offset, const std::function<bool(const Record&, uint64_t)>& each)
{
    // Non-blocking for the opening only, so a FIFO without a writer cannot hold it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st { };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
        ::close(fd);
        return false;
    }
    // No number the recorder writes comes near this; a longer token ends the playback as garbage would.
    constexpr std::size_t kMaxToken = 64;
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; };
    Record record {};
    std::size_t field = 0;
    std::string token;
    uint64_t at = offset;        // the offset of the byte being read
    uint64_t tokenStart = offset; // where the token being read began
    uint64_t recordStart = offset;
    // False at the first token that is no number (the record it belongs to is
    // incomplete), or when each wants no more.
    const auto take = [&]() {
        std::string_view text = token;
        if (!text.empty() && text.front() == '+')
            text.remove_prefix(1);
        double value = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        token.clear();
        if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
            return false;
        if (field == 0)
            recordStart = tokenStart;
        record[field++] = value;
        if (field == record.size()) {
            field = 0;
            return each(record, recordStart);
        }
        return true;
    };
    char buffer[64 * 1024];
    bool going = true;
    while (going) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n && going; ++i, ++at) {
            const char c = buffer[i];
            if (!isSpace(c)) {
                if (token.empty())
                    tokenStart = at;
                token.push_back(c);
                going = token.size() <= kMaxToken;
            } else if (!token.empty()) {
                going = take();
            }
        }
    }
    if (going && !token.empty())
        take();
    ::close(fd);
    return true;
}
