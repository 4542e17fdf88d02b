// main() of the GUI tests: one QApplication for the whole run, on the offscreen
// platform unless QT_QPA_PLATFORM says otherwise, with a fixed font so that
// screenshots look the same on every machine.
#include <app/platform/lpgthreadmanager.h>

#include <QApplication>
#include <QFont>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
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
