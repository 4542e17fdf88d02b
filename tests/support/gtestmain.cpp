// The main of the test executables that link the core: once the program's
// thread manager exists the process ends through it, so the test result is
// handed over as the exit status it must end with. The whole run works in
// one scratch folder (scratchfolder.h).
#include "scratchfolder.h"

#include <app/platform/lpgthreadmanager.h>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    int result = 0;
    {
        CScratchFolder scratch;
        result = RUN_ALL_TESTS();
    }
    setExitStatus(result);
    return result;
}
