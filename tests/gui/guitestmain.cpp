// SPDX-License-Identifier: GPL-3.0-or-later
// main() of the GUI tests: one QApplication for the whole run, on the offscreen
// platform unless QT_QPA_PLATFORM says otherwise, with a fixed font so that
// screenshots look the same on every machine. The run works in one scratch
// folder (TMPDIR, the log, Qt's runtime folder), removed at the end.
#include <app/platform/lpgthreadmanager.h>
#include <app/shell/guardedapplication.h>
#include <tests/support/scratchfolder.h>

#include <QApplication>
#include <QFont>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Before the application, which looks up its runtime folder.
    auto scratch = std::make_unique<CScratchFolder>();
    // The program's own, so that an exception leaving a slot is reported as the program reports it.
    CGuardedApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // Removed here: the process may end inside setExitStatus.
    scratch.reset();
    // The program's thread manager, once used, ends the process with this status.
    setExitStatus(result);
    return result;
}
