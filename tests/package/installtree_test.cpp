// SPDX-License-Identifier: GPL-3.0-or-later
// The tree `cmake --install` makes from this build: the programs in bin/, the
// data folders in share/korvana/ exactly as the build lays them out beside the
// program, the desktop file, metainfo and icons; and the installed program,
// started from another folder without KORVANA_RUNTIME_DIR, finding its
// pictures there (with a run without them to show the check can tell).
#include "installtree.h"

#include <app/shell/korvanaapp.h>
#include <childprocess.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::vector<std::string> kDataFolders { "Skins", "KOR_LANG", "KORVANA PRESET", "KORVANA Firmware", "Doc" };

std::set<std::string> filesBelow(const fs::path& root)
{
    std::set<std::string> files;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (it->is_regular_file())
            files.insert(fs::relative(it->path(), root).string());
    }
    return files;
}

std::string readText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string findTool(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const fs::path candidate = fs::path(dir.empty() ? "." : dir) / name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
    }
    return {};
}

std::string desktopFileName()
{
    // The program names itself to the window system by this id; the dock finds
    // the icon through a desktop file of the same name.
    return std::string(CkorvanaApp::kAppId) + ".desktop";
}

TEST(InstallTree, ProgramsInBinDataFoldersInShareKorvana)
{
    CInstallTree tree;
    ASSERT_TRUE(tree.ok()) << tree.error();
    // Only the three programs: no tests, benchmarks or build tools.
    EXPECT_EQ(filesBelow(tree.path("bin")), (std::set<std::string> { "korvana", "korvana-cli", "korvana-sim" }));
    for (const char* program : { "korvana", "korvana-cli", "korvana-sim" }) {
        const fs::path file = tree.path("bin/") + program;
        EXPECT_NE(fs::status(file).permissions() & fs::perms::owner_exec, fs::perms::none) << file;
    }
    for (const std::string& folder : kDataFolders) {
        const fs::path installed = tree.path("share/korvana/" + folder);
        ASSERT_TRUE(fs::is_directory(installed)) << installed;
        // Beside the programs they would make bin/ look like a portable copy.
        EXPECT_FALSE(fs::exists(tree.path("bin/" + folder))) << folder;
        // What the build laid out beside the program, file for file.
        EXPECT_EQ(filesBelow(installed), filesBelow(fs::path(KORVANA_RUNTIME_DIR) / folder)) << folder;
    }
    EXPECT_TRUE(fs::is_regular_file(tree.path("share/korvana/Skins/Gauge.tif")));
    EXPECT_TRUE(fs::is_regular_file(tree.path("share/korvana/KORVANA PRESET/Initial settings.settings")));
    EXPECT_TRUE(fs::is_regular_file(tree.path("share/applications/" + desktopFileName())));
    EXPECT_TRUE(fs::is_regular_file(tree.path("share/metainfo/io.github.korvana.Korvana.metainfo.xml")));
    for (const std::string gzipped : { "man/man1/korvana.1.gz", "man/man1/korvana-cli.1.gz",
             "man/man1/korvana-sim.1.gz", "doc/korvana/changelog.gz" }) {
        const std::string gz = readText(tree.path("share/" + gzipped));
        EXPECT_TRUE(gz.size() > 2 && gz[0] == '\x1f' && gz[1] == '\x8b') << gzipped << " is not gzip-compressed";
    }
    const std::string copyright = readText(tree.path("share/doc/korvana/copyright"));
    EXPECT_EQ(copyright.rfind("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n", 0), 0u);
    EXPECT_NE(copyright.find("\nLicense: GPL-3+\n"), std::string::npos) << copyright;
}

TEST(InstallTree, InstalledToolsRunWithTheirPrivateLibraries)
{
    CInstallTree tree;
    ASSERT_TRUE(tree.ok()) << tree.error();
    // The libraries live in lib/korvana/, outside the loader's search path.
    EXPECT_TRUE(fs::exists(tree.path("lib/korvana/liberrkit.so.1")));
    const std::vector<std::string> env { "XDG_STATE_HOME=" + tree.path("state"), "LD_LIBRARY_PATH=" };
    const ProgramResult info = runProgram(tree.path("bin/korvana-cli"), { "info", "--demo" }, 20s, env);
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("m_serial"), std::string::npos) << info.out;
    const ProgramResult sim = runProgram(tree.path("bin/korvana-sim"), { "--help" }, 10s, env);
    EXPECT_EQ(sim.exitCode, 0) << sim.err;
}

// Share of dark pixels where the readings page has its gauges (top right):
// their bezels come from Skins/Gauge.tif, without it the corner stays light.
double gaugeCornerDarkShare(const QImage& shot)
{
    // Inside the page, clear of the window's dark border.
    const QRect corner(
        shot.width() * 71 / 100, shot.height() * 9 / 100, shot.width() * 25 / 100, shot.height() * 25 / 100);
    int dark = 0;
    for (int y = corner.top(); y <= corner.bottom(); ++y) {
        for (int x = corner.left(); x <= corner.right(); ++x)
            dark += qGray(shot.pixel(x, y)) < 90 ? 1 : 0;
    }
    return double(dark) / (corner.width() * corner.height());
}

class InstalledProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_tree.ok()) << m_tree.error();
        // ctest points KORVANA_RUNTIME_DIR at the build tree; an installed program runs without it.
        if (const char* dir = std::getenv("KORVANA_RUNTIME_DIR"))
            m_savedRuntimeDir = dir;
        ::unsetenv("KORVANA_RUNTIME_DIR");
        m_work = m_tree.path("work");
        fs::create_directories(m_work + "/rt");
        fs::permissions(m_work + "/rt", fs::perms::owner_all);
        m_savedCwd = fs::current_path();
        fs::current_path(m_work);
    }
    void TearDown() override
    {
        if (!m_savedCwd.empty())
            fs::current_path(m_savedCwd);
        if (!m_savedRuntimeDir.empty())
            ::setenv("KORVANA_RUNTIME_DIR", m_savedRuntimeDir.c_str(), 1);
    }

    // Demo on the readings page at 800 x 600, saved after 1.5 s.
    ProgramResult runDemo(const std::string& png)
    {
        const std::vector<std::string> env { "QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + m_work + "/cfg",
            "XDG_RUNTIME_DIR=" + m_work + "/rt", "XDG_STATE_HOME=" + m_work + "/state", "KORVANA_PORTS=" };
        return runProgram(m_tree.path("bin/korvana"),
            { "--demo", "--page", "0", "--size", "800x600", "--screenshot", png, "--quit-after", "1500", "--verbose" },
            30s, env);
    }

    CInstallTree m_tree;
    std::string m_work;
    std::string m_savedRuntimeDir;
    fs::path m_savedCwd;
};

TEST_F(InstalledProgram, FindsItsSkinsUnderShareFromAnyFolder)
{
    const std::string share = m_tree.path("share/korvana");
    const std::string png = m_work + "/installed.png";
    const ProgramResult run = runDemo(png);
    ASSERT_FALSE(run.timedOut);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("data folders in " + share + "\n"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("picture missing"), std::string::npos) << run.err;
    const QImage shot(QString::fromStdString(png));
    ASSERT_FALSE(shot.isNull());
    const double withSkins = gaugeCornerDarkShare(shot);
    shot.save(QStringLiteral(KORVANA_ARTIFACTS_DIR "/package_installed_demo.png"));

    // The same tree without its pictures: the program still looks under share
    // (the other data folders are there) and the gauges are gone.
    fs::rename(share + "/Skins", share + "/Skins.off");
    const std::string bare = m_work + "/noskins.png";
    const ProgramResult noSkins = runDemo(bare);
    ASSERT_EQ(noSkins.exitCode, 0) << noSkins.err;
    // The controls' own pictures are looked for there too, not beside the program.
    EXPECT_NE(noSkins.err.find("gauge picture missing: " + share + "/Skins/Gauge.tif"), std::string::npos)
        << noSkins.err;
    EXPECT_NE(noSkins.err.find("check box picture missing: " + share + "/Skins/"), std::string::npos) << noSkins.err;
    const QImage bareShot(QString::fromStdString(bare));
    ASSERT_FALSE(bareShot.isNull());
    const double withoutSkins = gaugeCornerDarkShare(bareShot);
    EXPECT_GT(withSkins, 0.05) << "gauges missing from the installed program's readings page";
    EXPECT_LT(withoutSkins, 0.01) << "with the pictures: " << withSkins;
}

TEST(DesktopIntegration, DesktopFileStartsTheProgramAndValidates)
{
    CInstallTree tree;
    ASSERT_TRUE(tree.ok()) << tree.error();
    const std::string file = tree.path("share/applications/" + desktopFileName());
    const std::string text = readText(file);
    for (const char* line : { "\nType=Application\n", "\nExec=korvana %F\n", "\nIcon=korvana\n",
                              "\nCategories=Utility;Development;\n",
                              "\nMimeType=application/x-korvana-settings;application/x-korvana-recording;"
                              "application/x-korvana-firmware;\n" })
        EXPECT_NE(text.find(line), std::string::npos) << line;
    // The types the desktop file names are declared, each with its file name pattern.
    const std::string mime = readText(tree.path("share/mime/packages/korvana.xml"));
    for (const char* declared :
         { "<mime-type type=\"application/x-korvana-settings\">", "<glob pattern=\"*.settings\"/>",
           "<mime-type type=\"application/x-korvana-recording\">", "<glob pattern=\"*.osc\"/>",
           "<mime-type type=\"application/x-korvana-firmware\">", "<glob pattern=\"*.afm\"/>" })
        EXPECT_NE(mime.find(declared), std::string::npos) << declared;
    const std::string validator = findTool("desktop-file-validate");
    if (validator.empty())
        GTEST_SKIP() << "desktop-file-validate is not installed (desktop-file-utils)";
    const ProgramResult r = runProgram(validator, { file }, 20s);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    // Hints (two main categories, as wanted) are fine; errors and warnings are not.
    EXPECT_EQ((r.out + r.err).find("error:"), std::string::npos) << r.out << r.err;
    EXPECT_EQ((r.out + r.err).find("warning:"), std::string::npos) << r.out << r.err;
}

TEST(DesktopIntegration, MetainfoNamesTheLaunchableAndThisReleaseAndValidates)
{
    CInstallTree tree;
    ASSERT_TRUE(tree.ok()) << tree.error();
    const std::string file = tree.path("share/metainfo/io.github.korvana.Korvana.metainfo.xml");
    QFile xml(QString::fromStdString(file));
    ASSERT_TRUE(xml.open(QIODevice::ReadOnly));
    QXmlStreamReader reader(&xml);
    QString id, launchable, licence, newestRelease;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.name() == u"id")
            id = reader.readElementText();
        else if (reader.name() == u"launchable")
            launchable = reader.readElementText();
        else if (reader.name() == u"project_license")
            licence = reader.readElementText();
        else if (reader.name() == u"release" && newestRelease.isEmpty())
            newestRelease = reader.attributes().value(QStringLiteral("version")).toString();
    }
    ASSERT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    EXPECT_EQ(id.toStdString(), "io.github.korvana.Korvana");
    EXPECT_EQ(launchable.toStdString(), desktopFileName());
    EXPECT_EQ(licence.toStdString(), "GPL-3.0-or-later");
    // The newest release listed first is the version being built.
    EXPECT_EQ(newestRelease.toStdString(), KORVANA_VERSION);
    const std::string validator = findTool("appstreamcli");
    if (validator.empty())
        GTEST_SKIP() << "appstreamcli is not installed (appstream)";
    const ProgramResult r = runProgram(validator, { "validate", "--no-net", file }, 30s);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
}

TEST(DesktopIntegration, IconInEveryHicolorSizeAndScalable)
{
    CInstallTree tree;
    ASSERT_TRUE(tree.ok()) << tree.error();
    for (const int size : { 16, 24, 32, 48, 64, 128, 256 }) {
        const std::string dir = std::to_string(size) + "x" + std::to_string(size);
        const QImage icon(QString::fromStdString(tree.path("share/icons/hicolor/" + dir + "/apps/korvana.png")));
        ASSERT_FALSE(icon.isNull()) << dir;
        EXPECT_EQ(icon.size(), QSize(size, size)) << dir;
        // A shape on a transparent ground, not a filled square.
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << dir;
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255) << dir;
    }
    QFile svg(QString::fromStdString(tree.path("share/icons/hicolor/scalable/apps/korvana.svg")));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    QXmlStreamReader reader(&svg);
    ASSERT_TRUE(reader.readNextStartElement());
    EXPECT_EQ(reader.name().toString().toStdString(), "svg");
    EXPECT_EQ(reader.attributes().value(QStringLiteral("viewBox")).toString().toStdString(), "0 0 256 256");
    while (!reader.atEnd())
        reader.readNext();
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
}

} // namespace
