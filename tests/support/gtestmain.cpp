// SPDX-License-Identifier: GPL-3.0-or-later
// The main of the test executables that link the core: once the program's
// thread manager exists the process ends through it, so the test result is
// handed over as the exit status it must end with. The whole run works in
// one scratch folder (scratchfolder.h).
#include "scratchfolder.h"

#include <app/platform/lpgthreadmanager.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

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
        CScratchFolder scratch;
        result = RUN_ALL_TESTS();
    }
    setExitStatus(result);
    return result;
}
