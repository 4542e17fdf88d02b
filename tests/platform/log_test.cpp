// SPDX-License-Identifier: GPL-3.0-or-later
// The log: the line format, levels, rotation at its size, swallowed errors
// with their whole report, and the owning guard of caught errors.
#include <app/platform/log.h>
#include <errkit/errorguard.h>
#include <errkit/runtime.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct TempDir {
    fs::path path;
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvana-log-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempDir()
    {
        configureLog({});
        fs::remove_all(path);
    }
};

std::string readAll(const fs::path& file)
{
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Counts destructions to prove the guard deletes exactly once.
int g_deleted = 0;
struct CountedError : IError {
    CountedError()
        : IError(3, L"counted", 7, L"log_test")
    {
    }
    ~CountedError() override { ++g_deleted; }
};

} // namespace

TEST(Log, LinesCarryTimeLevelThreadAndSubsystem)
{
    TempDir dir;
    LogOptions options;
    options.file = (dir.path / "sub" / "korvana.log").string();
    configureLog(options);
    logInfo("conn", "port /dev/ttyUSB0 opened");
    logDebug("link", "two\nlines");
    const std::string text = readAll(options.file);
    EXPECT_TRUE(std::regex_search(
        text, std::regex(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} I \[\d+\] conn: port /dev/ttyUSB0 opened\n)")))
        << text;
    EXPECT_NE(text.find("D ["), std::string::npos);
    EXPECT_NE(text.find("link: two\n    lines\n"), std::string::npos) << "continuation lines are indented";
}

TEST(Log, LevelFiltersFileButNotSinks)
{
    TempDir dir;
    LogOptions options;
    options.file = (dir.path / "korvana.log").string();
    options.level = LogLevel::Warning;
    configureLog(options);
    std::vector<std::string> seen;
    const int sink = addLogSink([&](LogLevel, const std::string& line) { seen.push_back(line); });
    logInfo("poll", "quiet");
    logError("poll", "loud");
    removeLogSink(sink);
    logError("poll", "after removal");
    const std::string text = readAll(options.file);
    EXPECT_EQ(text.find("quiet"), std::string::npos);
    EXPECT_NE(text.find("loud"), std::string::npos);
    ASSERT_EQ(seen.size(), 2u);
}

TEST(Log, RotatesAtItsSizeAndKeepsFiveFiles)
{
    TempDir dir;
    LogOptions options;
    options.file = (dir.path / "korvana.log").string();
    options.maxBytes = 1000;
    options.keep = 5;
    configureLog(options);
    const std::string payload(90, 'x');
    for (int i = 0; i < 200; ++i)
        logInfo("doc", payload + std::to_string(i));
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir.path)) {
        ++files;
        EXPECT_LE(fs::file_size(entry.path()), 1000u) << entry.path();
    }
    EXPECT_EQ(files, 5);
    EXPECT_NE(readAll(options.file).find(payload + "199"), std::string::npos) << "the newest line is in the live file";
    EXPECT_FALSE(fs::exists(options.file + ".5"));
    EXPECT_NE(readAll(options.file + ".4").find("doc: x"), std::string::npos);
}

TEST(Log, SwallowedErrorKeepsItsFormattedReportAndTheGuardDeletesIt)
{
    std::vector<std::string> seen;
    const int sink = addLogSink([&](LogLevel level, const std::string& line) {
        if (level == LogLevel::Warning)
            seen.push_back(line);
    });
    g_deleted = 0;
    try {
        throw static_cast<IError*>(new CountedError);
    } catch (IError* e) {
        CErrorGuard error(e);
        logSwallowed("conn", "CLPGDevice::connectOnPort", *error);
    }
    removeLogSink(sink);
    EXPECT_EQ(g_deleted, 1);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_NE(seen[0].find("conn: CLPGDevice::connectOnPort: "), std::string::npos) << seen[0];
    EXPECT_NE(seen[0].find("counted"), std::string::npos) << seen[0];
}

TEST(ErrorGuard, ReleasePassesTheErrorOn)
{
    g_deleted = 0;
    IError* passed = nullptr;
    try {
        try {
            throw static_cast<IError*>(new CountedError);
        } catch (IError* e) {
            CErrorGuard error(e);
            throw error.release();
        }
    } catch (IError* e) {
        passed = e;
    }
    EXPECT_EQ(g_deleted, 0);
    ASSERT_NE(passed, nullptr);
    EXPECT_EQ(passed->getCode(), 3u);
    delete passed;
    EXPECT_EQ(g_deleted, 1);
}

TEST(Log, DefaultPathFollowsXdgStateHome)
{
    const char* old = std::getenv("XDG_STATE_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_STATE_HOME", "/var/tmp/state", 1);
    EXPECT_EQ(defaultLogPath(), "/var/tmp/state/korvana/korvana.log");
    ::setenv("XDG_STATE_HOME", "relative", 1); // not absolute: ignored
    ::setenv("HOME", ::getenv("HOME") ? ::getenv("HOME") : "/root", 1);
    EXPECT_EQ(defaultLogPath(), std::string(::getenv("HOME")) + "/.local/state/korvana/korvana.log");
    if (old)
        ::setenv("XDG_STATE_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_STATE_HOME");
}
