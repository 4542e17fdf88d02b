// SPDX-License-Identifier: GPL-3.0-or-later
// The korvana program itself, run as a child process on the offscreen
// platform: a demo start that saves its window as PNG and exits by itself, a
// start without any controller that saves the no-connection dialog and exits
// 3, the start options, and bad usage refused with exit status 2.
#include "guitest.h"

#include <childprocess.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSize>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

namespace {

using namespace std::chrono_literals;

std::vector<std::string> programEnv(const QTemporaryDir& dir)
{
    return { "QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + dir.filePath("cfg").toStdString(),
        "XDG_RUNTIME_DIR=" + dir.path().toStdString(), "XDG_STATE_HOME=" + dir.filePath("state").toStdString(),
        "KORVANA_PORTS=" };
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

// Every image-format plug-in that loads costs the start some milliseconds
// (dlopen of the plug-in and its libraries): the skins need only the TIFF one.
// The dynamic loader names every library it loads when LD_DEBUG=files.
TEST(Program, StartLoadsOnlyTheTiffPictureReader)
{
    QTemporaryDir dir;
    std::vector<std::string> env = programEnv(dir);
    env.emplace_back("LD_DEBUG=files");
    const ProgramResult r = runProgram(KORVANA_PROGRAM, { "--demo", "--quit-after", "1500" }, 20s, env);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0);
    std::set<std::string> loaded;
    for (std::size_t at = r.err.find("/imageformats/"); at != std::string::npos;
         at = r.err.find("/imageformats/", at + 1)) {
        const std::size_t start = at + std::strlen("/imageformats/");
        const std::size_t end = r.err.find_first_of(" \t\n.", start);
        loaded.insert(r.err.substr(start, end - start));
    }
    EXPECT_EQ(loaded, std::set<std::string> { "libqtiff" });
}

TEST(Program, NoControllerSavesTheDialogAndExitsThree)
{
    QTemporaryDir dir;
    const std::string png = guitest::artifactsDir().toStdString() + "/korvana_program_noconnection.png";
    QFile::remove(QString::fromStdString(png));
    const ProgramResult r = runProgram(
        KORVANA_PROGRAM, { "--screenshot", png, "--quit-after", "2000", "--verbose" }, 20s, programEnv(dir));
    ASSERT_FALSE(r.timedOut) << "the no-connection dialog held the program";
    EXPECT_EQ(r.exitCode, 3) << r.err;
    const QImage shot(QString::fromStdString(png));
    ASSERT_FALSE(shot.isNull()) << r.err;
    // The dialog alone, not the (never shown) main window.
    EXPECT_LT(shot.width(), 800);
    EXPECT_LT(shot.height(), 400);
    // --verbose: the log on stderr as well as in its file.
    EXPECT_NE(r.err.find("gui: controller search"), std::string::npos) << r.err;
    QFile log(dir.filePath("state/korvana/korvana.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("quit with the no-connection dialog open"));
}

TEST(Program, PageAndSizeOptions)
{
    QTemporaryDir dir;
    const std::string png = guitest::artifactsDir().toStdString() + "/korvana_program_page4.png";
    QFile::remove(QString::fromStdString(png));
    const ProgramResult r = runProgram(KORVANA_PROGRAM,
        { "--demo", "--page", "4", "--size", "1280x800", "--screenshot", png, "--quit-after", "600" }, 20s,
        programEnv(dir));
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err.find("gui:"), std::string::npos) << "without --verbose the log goes to its file only";
    const QImage shot(QString::fromStdString(png));
    ASSERT_FALSE(shot.isNull()) << r.err;
    EXPECT_EQ(shot.size(), QSize(1280, 800));
}

TEST(Program, ReadingsPageAtTwoHundredPercentIsDrawnForItsPixels)
{
    // The same page at 100 % and at 200 % (1920 x 1080 logical). Drawn for the
    // device's pixels, every edge stays one or two pixels wide, so the sum of
    // squared neighbour differences over a region about doubles (twice the
    // rows, edges as steep); a picture drawn at 100 % and enlarged smears each
    // edge over two pixels and falls well below that.
    QTemporaryDir dir;
    const QString folder = guitest::artifactsDir();
    QDir().mkpath(folder);
    auto shoot = [&](const char* name, const char* scale) {
        const std::string png = (folder + QStringLiteral("/") + QLatin1String(name)).toStdString();
        QFile::remove(QString::fromStdString(png));
        std::vector<std::string> env = programEnv(dir);
        env.push_back(std::string("QT_SCALE_FACTOR=") + scale);
        const ProgramResult r = runProgram(KORVANA_PROGRAM,
            { "--demo", "--page", "0", "--size", "1920x1080", "--screenshot", png, "--quit-after", "1500" }, 30s,
            env);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return QImage(QString::fromStdString(png));
    };
    const QImage one = shoot("korvana_readings_100.png", "1");
    const QImage two = shoot("korvana_readings_200.png", "2");
    ASSERT_EQ(one.size(), QSize(1920, 1080));
    ASSERT_EQ(two.size(), QSize(3840, 2160));
    auto energy = [](const QImage& image, const QRect& r) {
        double sum = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x < r.right(); ++x) {
                const int d = qGray(image.pixel(x, y)) - qGray(image.pixel(x + 1, y));
                sum += static_cast<double>(d) * d;
            }
        return sum;
    };
    // The gauges with their needles and texts; the chart with its lines and labels.
    for (const QRect& r : { QRect(1380, 90, 500, 290), QRect(340, 90, 660, 560) }) {
        const double e1 = energy(one, r);
        const double e2 = energy(two, QRect(r.topLeft() * 2, r.size() * 2));
        ASSERT_GT(e1, 0.0);
        EXPECT_GT(e2 / e1, 1.5) << "region " << r.x() << "," << r.y() << " looks enlarged, not drawn at 200 %";
    }
}

TEST(Program, BadUsageIsRefused)
{
    QTemporaryDir dir;
    for (const std::vector<std::string>& args :
        { std::vector<std::string> { "--lang", "25" }, { "--port" }, { "--no-such-option" }, { "--page", "7" },
            { "--page", "-1" }, { "--size", "1280" }, { "--size", "0x800" }, { "--size", "1280x800x2" } }) {
        const ProgramResult r = runProgram(KORVANA_PROGRAM, args, 20s, programEnv(dir));
        EXPECT_EQ(r.exitCode, 2) << args[0];
        EXPECT_NE(r.err.find("usage: korvana"), std::string::npos) << r.err;
    }
    const ProgramResult help = runProgram(KORVANA_PROGRAM, { "--help" }, 20s, programEnv(dir));
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--screenshot"), std::string::npos);
}

// A picture that cannot be saved (its folder is missing) fails the run,
// with the main window and with the no-connection dialog alike.
TEST(Program, ScreenshotThatCannotBeSavedFailsTheRun)
{
    QTemporaryDir dir;
    const std::string png = dir.filePath("missing/shot.png").toStdString();
    for (const std::vector<std::string>& start : { std::vector<std::string> { "--demo" }, {} }) {
        std::vector<std::string> args = start;
        args.insert(args.end(), { "--screenshot", png, "--quit-after", "2000" });
        const ProgramResult r = runProgram(KORVANA_PROGRAM, args, 20s, programEnv(dir));
        ASSERT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_NE(r.err.find("korvana: cannot write " + png), std::string::npos) << r.err;
    }
}

} // namespace
