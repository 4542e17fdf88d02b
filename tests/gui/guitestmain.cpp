// main() of the GUI tests: one QApplication for the whole run, on the offscreen
// platform unless QT_QPA_PLATFORM says otherwise, with a fixed font so that
// screenshots look the same on every machine.
#include <app/platform/lpgthreadmanager.h>

#include <QApplication>
#include <QFont>

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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // The program's thread manager, once used, ends the process with this status.
    setExitStatus(result);
    return result;
}
