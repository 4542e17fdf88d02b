// The korvana program itself, run as a child process on the offscreen
// platform: a demo start that saves its window as PNG and exits by itself,
// and bad usage refused with exit status 2.
#include "guitest.h"

#include <childprocess.h>

#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

std::vector<std::string> programEnv(const QTemporaryDir& dir)
{
    return { "QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + dir.filePath("cfg").toStdString(),
        "XDG_RUNTIME_DIR=" + dir.path().toStdString() };
}

TEST(Program, DemoStartSavesTheWindowAndQuits)
{
    QTemporaryDir dir;
    const std::string png = guitest::artifactsDir().toStdString() + "/korvana_program_demo.png";
    QFile::remove(QString::fromStdString(png));
    const ProgramResult r
        = runProgram(KORVANA_PROGRAM, { "--demo", "--screenshot", png, "--quit-after", "400" }, 20s, programEnv(dir));
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const QImage shot(QString::fromStdString(png));
    ASSERT_FALSE(shot.isNull()) << r.err;
    // The frame covers the (offscreen) work area and is at least 800 x 530.
    EXPECT_GE(shot.width(), 800);
    EXPECT_GE(shot.height(), 530);
}

TEST(Program, BadUsageIsRefused)
{
    QTemporaryDir dir;
    for (const std::vector<std::string>& args :
        { std::vector<std::string> { "--lang", "25" }, { "--port" }, { "--no-such-option" } }) {
        const ProgramResult r = runProgram(KORVANA_PROGRAM, args, 20s, programEnv(dir));
        EXPECT_EQ(r.exitCode, 2) << args[0];
        EXPECT_NE(r.err.find("usage: korvana"), std::string::npos) << r.err;
    }
    const ProgramResult help = runProgram(KORVANA_PROGRAM, { "--help" }, 20s, programEnv(dir));
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--screenshot"), std::string::npos);
}

} // namespace
