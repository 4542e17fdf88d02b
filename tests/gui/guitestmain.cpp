// main() of the GUI tests: one QApplication for the whole run, on the offscreen
// platform unless QT_QPA_PLATFORM says otherwise, with a fixed font so that
// screenshots look the same on every machine. The run works in one scratch
// folder (TMPDIR, the log, Qt's runtime folder), removed at the end.
#include <app/platform/lpgthreadmanager.h>
#include <tests/support/scratchfolder.h>

#include <QApplication>
#include <QFont>

#include <gtest/gtest.h>

#include <memory>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Before the application, which looks up its runtime folder.
    auto scratch = std::make_unique<CScratchFolder>();
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // Removed here: the process may end inside setExitStatus.
    scratch.reset();
    // The program's thread manager, once used, ends the process with this status.
    setExitStatus(result);
    return result;
}
