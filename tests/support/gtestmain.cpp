// The main of the test executables that link the core: once the program's
// thread manager exists the process ends through it, so the test result is
// handed over as the exit status it must end with.
//
// Every run gets one scratch folder, removed at the end: TMPDIR points at it,
// so the tests' temporary folders (made under temp_directory_path) and those
// of the programs they start go with it, also when a test's own clean-up is
// skipped (the process ends through the thread manager, not through static
// destructors). The programs the tests start (korvana-cli) write their log
// under $XDG_STATE_HOME, a folder in there, so no test leaves a log in the
// real home either.
#include <app/platform/lpgthreadmanager.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class CScratchStateHome {
public:
    CScratchStateHome()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvana-test-XXXXXX").string();
        if (::mkdtemp(pattern.data())) {
            m_path = pattern;
            m_owner = ::getpid();
            // Tests that run a probe as nobody reach their shared folders in here.
            ::chmod(m_path.c_str(), 0711);
            const std::string state = m_path + "/state";
            std::filesystem::create_directory(state);
            ::setenv("XDG_STATE_HOME", state.c_str(), 1);
            ::setenv("TMPDIR", m_path.c_str(), 1);
        }
    }
    ~CScratchStateHome()
    {
        std::error_code ignored;
        // A forked child that returns through main leaves the folder to its parent.
        if (!m_path.empty() && ::getpid() == m_owner)
            std::filesystem::remove_all(m_path, ignored);
    }
    CScratchStateHome(const CScratchStateHome&) = delete;
    CScratchStateHome& operator=(const CScratchStateHome&) = delete;

private:
    std::string m_path;
    pid_t m_owner = 0;
};

// The tests read the program's own (Polish) texts. With language files beside
// the programs the locale would choose another language, so it is pinned here
// for this process and the programs it starts; tests of other languages choose
// theirs explicitly.
void pinPolishTexts()
{
    ::unsetenv("LC_ALL");
    ::setenv("LC_MESSAGES", "pl_PL.UTF-8", 1);
}

} // namespace

int main(int argc, char** argv)
{
    pinPolishTexts();
    ::testing::InitGoogleTest(&argc, argv);
    int result = 0;
    {
        CScratchStateHome stateHome;
        result = RUN_ALL_TESTS();
    }
    setExitStatus(result);
    return result;
}
