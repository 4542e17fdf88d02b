// SPDX-License-Identifier: GPL-3.0-or-later
// One scratch folder for a whole test run, removed at the end: TMPDIR points
// at it, so the tests' temporary folders (made under temp_directory_path) and
// those of the programs they start go with it, also when a test's own clean-up
// is skipped (the process ends through the thread manager, not through static
// destructors). The programs the tests start (korvana-cli) write their log
// under $XDG_STATE_HOME and Qt keeps its runtime files under
// $XDG_RUNTIME_DIR, both folders in there, so no run leaves a log in the real
// home or a runtime folder in /tmp either.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#ifdef _WIN32
#include <process.h>
#include <random>

// The POSIX calls the scratch folder makes, for the Windows C runtime.
inline char* mkdtemp(char* pattern)
{
    std::string name(pattern);
    const std::size_t x = name.rfind("XXXXXX");
    if (x == std::string::npos)
        return nullptr;
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (std::size_t i = 0; i < 6; ++i)
            name[x + i] = "abcdefghijklmnopqrstuvwxyz0123456789"[random() % 36];
        std::error_code error;
        if (std::filesystem::create_directory(name, error)) {
            name.copy(pattern, name.size());
            return pattern;
        }
    }
    return nullptr;
}
inline int setenv(const char* name, const char* value, int)
{
    return ::_putenv_s(name, value);
}
inline int unsetenv(const char* name)
{
    return ::_putenv_s(name, "");
}
inline int mkdir(const char* path, int)
{
    return ::mkdir(path);
}
#endif

class CScratchFolder {
public:
    CScratchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvana-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            return;
        m_path = pattern;
        m_owner = ::getpid();
        // Tests that run a probe as nobody reach their shared folders in here.
        ::chmod(m_path.c_str(), 0711);
        std::error_code ignored;
        const std::string state = m_path + "/state";
        std::filesystem::create_directory(state, ignored);
        const std::string data = m_path + "/data";
        std::filesystem::create_directory(data, ignored);
        const std::string runtime = m_path + "/runtime";
        ::mkdir(runtime.c_str(), 0700);
        ::setenv("XDG_STATE_HOME", state.c_str(), 1);
        ::setenv("XDG_DATA_HOME", data.c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        ::setenv("TMPDIR", m_path.c_str(), 1);
    }
    ~CScratchFolder()
    {
        std::error_code ignored;
        // A forked child that returns through main leaves the folder to its parent.
        if (!m_path.empty() && ::getpid() == m_owner)
            std::filesystem::remove_all(m_path, ignored);
    }
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

private:
    std::string m_path;
    pid_t m_owner = 0;
};

// A path for name in a folder of this test process's own, made on first use
// under the temporary folder (the run's CScratchFolder when one is set up),
// so tests running side by side never share a file.
inline std::string scratch(const std::string& name)
{
    static const std::string dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvana-scratch-XXXXXX").string();
        return ::mkdtemp(pattern.data()) ? pattern : std::string();
    }();
    return dir + "/" + name;
}
