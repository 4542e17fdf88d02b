// The main of the test executables that link the core: once the program's
// thread manager exists the process ends through it, so the test result is
// handed over as the exit status it must end with.
//
// The programs the tests start (korvana-cli) write their log under
// $XDG_STATE_HOME; it points at a scratch folder for the run, removed at the
// end, so no test leaves a log in the real home.
#include <app/platform/lpgthreadmanager.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class CScratchStateHome {
public:
    CScratchStateHome()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvana-test-state-XXXXXX").string();
        if (::mkdtemp(pattern.data())) {
            m_path = pattern;
            ::setenv("XDG_STATE_HOME", m_path.c_str(), 1);
        }
    }
    ~CScratchStateHome()
    {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    CScratchStateHome(const CScratchStateHome&) = delete;
    CScratchStateHome& operator=(const CScratchStateHome&) = delete;

private:
    std::string m_path;
};

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    int result = 0;
    {
        CScratchStateHome stateHome;
        result = RUN_ALL_TESTS();
    }
    setExitStatus(result);
    return result;
}
