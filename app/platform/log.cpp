// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/platform/log.h>

#include <errkit/ierror.h>
#include <errkit/utf8.h>

#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/syscall.h>
#endif
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace {

struct LogState {
    std::mutex lock;
    LogOptions options;
    FILE* file = nullptr;
    std::size_t fileSize = 0;
    std::map<int, std::shared_ptr<LogSink>> sinks;
    int nextSink = 1;

    ~LogState()
    {
        if (file)
            std::fclose(file);
    }
};

LogState& state()
{
    // Never destroyed: threads may still log while the process ends.
    static LogState* s = new LogState;
    return *s;
}

#ifdef _WIN32
// Either slash; the drive ("C:") is no folder to make.
void makeFolders(const std::string& file)
{
    for (std::size_t slash = file.find_first_of("/\\", 1); slash != std::string::npos;
         slash = file.find_first_of("/\\", slash + 1)) {
        if (slash > 0 && file[slash - 1] != ':')
            ::CreateDirectoryA(file.substr(0, slash).c_str(), nullptr);
    }
}
#else
void makeFolders(const std::string& file)
{
    for (std::size_t slash = file.find('/', 1); slash != std::string::npos; slash = file.find('/', slash + 1))
        ::mkdir(file.substr(0, slash).c_str(), 0700);
}
#endif

// Under the lock.
bool openFile(LogState& s)
{
    if (s.file || s.options.file.empty())
        return s.file != nullptr;
    makeFolders(s.options.file);
    s.file = std::fopen(s.options.file.c_str(), "a");
    if (!s.file)
        return false;
    struct stat st {};
    s.fileSize = ::fstat(fileno(s.file), &st) == 0 ? static_cast<std::size_t>(st.st_size) : 0;
    return true;
}

// Under the lock: korvana.log → .1 → .2 …, the oldest dropped.
void rotate(LogState& s)
{
    std::fclose(s.file);
    s.file = nullptr;
    const std::string& base = s.options.file;
    const int keep = s.options.keep < 1 ? 1 : s.options.keep;
    if (keep == 1) {
        std::remove(base.c_str());
    } else {
        std::remove((base + "." + std::to_string(keep - 1)).c_str());
        for (int i = keep - 2; i >= 1; --i)
            std::rename((base + "." + std::to_string(i)).c_str(), (base + "." + std::to_string(i + 1)).c_str());
        std::rename(base.c_str(), (base + ".1").c_str());
    }
    openFile(s);
}

const char* levelTag(LogLevel level)
{
    switch (level) {
    case LogLevel::Error:
        return "E";
    case LogLevel::Warning:
        return "W";
    case LogLevel::Info:
        return "I";
    case LogLevel::Debug:
        break;
    }
    return "D";
}

// The system's number of the calling thread, as a debugger shows it.
long threadId()
{
#ifdef _WIN32
    return static_cast<long>(::GetCurrentThreadId());
#else
    return static_cast<long>(::syscall(SYS_gettid));
#endif
}

std::string formatLine(LogLevel level, const char* subsystem, const std::string& text)
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local {};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    char head[96];
    std::snprintf(head, sizeof head, "%s.%03d %s [%ld] %s: ", stamp, static_cast<int>(millis), levelTag(level),
                  threadId(), subsystem ? subsystem : "-");
    std::string line = head;
    // One entry, one line: a multi-line report keeps its lines, indented.
    for (char c : text) {
        if (c == '\r')
            continue;
        line += c;
        if (c == '\n')
            line += "    ";
    }
    while (!line.empty() && (line.back() == ' ' || line.back() == '\n'))
        line.pop_back();
    return line;
}

} // namespace

std::string defaultLogPath()
{
#ifdef _WIN32
    // %LOCALAPPDATA%\korvana, as Windows programs keep their logs.
    if (const char* local = std::getenv("LOCALAPPDATA"); local && *local)
        return std::string(local) + "\\korvana\\korvana.log";
#endif
    const char* stateHome = std::getenv("XDG_STATE_HOME");
    std::string folder;
    if (stateHome && *stateHome == '/')
        folder = stateHome;
    else if (const char* home = std::getenv("HOME"); home && *home)
        folder = std::string(home) + "/.local/state";
    else
        folder = "/tmp";
    return folder + "/korvana/korvana.log";
}

void configureLog(const LogOptions& options)
{
    LogState& s = state();
    std::lock_guard<std::mutex> hold(s.lock);
    if (s.file) {
        std::fclose(s.file);
        s.file = nullptr;
    }
    s.options = options;
    openFile(s);
}

const LogOptions& logOptions()
{
    return state().options;
}

void logMessage(LogLevel level, const char* subsystem, const std::string& text)
{
    LogState& s = state();
    const std::string line = formatLine(level, subsystem, text);
    std::vector<std::shared_ptr<LogSink>> sinks;
    {
        std::lock_guard<std::mutex> hold(s.lock);
        if (level <= s.options.level) {
            if (openFile(s)) {
                if (s.fileSize > 0 && s.fileSize + line.size() + 1 > s.options.maxBytes)
                    rotate(s);
                if (s.file) {
                    std::fputs(line.c_str(), s.file);
                    std::fputc('\n', s.file);
                    std::fflush(s.file);
                    s.fileSize += line.size() + 1;
                }
            }
            if (s.options.toStderr)
                std::fprintf(stderr, "%s\n", line.c_str());
        }
        for (const auto& [id, sink] : s.sinks)
            sinks.push_back(sink);
    }
    for (const auto& sink : sinks)
        (*sink)(level, line);
}

void logMessage(LogLevel level, const char* subsystem, const std::wstring& text)
{
    logMessage(level, subsystem, toUtf8(text));
}

void logSwallowed(const char* subsystem, const char* where, const IError& error)
{
    logMessage(LogLevel::Warning, subsystem, std::string(where) + ": " + toUtf8(error.format()));
}

int addLogSink(LogSink sink)
{
    LogState& s = state();
    std::lock_guard<std::mutex> hold(s.lock);
    const int id = s.nextSink++;
    s.sinks[id] = std::make_shared<LogSink>(std::move(sink));
    return id;
}

void removeLogSink(int id)
{
    LogState& s = state();
    std::lock_guard<std::mutex> hold(s.lock);
    s.sinks.erase(id);
}
