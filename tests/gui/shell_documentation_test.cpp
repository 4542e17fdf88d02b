// SPDX-License-Identifier: GPL-3.0-or-later
// The "Dokumentacja" menu item: which page of the manual it hands to the
// desktop's opener for Polish, English and other languages, the fall-backs
// when a language's manual or the index is missing, and the message when the
// Doc folder is not there at all. The opener is replaced, so no browser starts.
// Also the start options the manual's screenshots need: --subpage shows a
// tuning page of "Mapa", --dialog opens the level-sensor or console dialog,
// and a screenshot then holds that dialog alone.
#include "guitest.h"
#include "shelltest.h"

#include <app/data/languages.h>
#include <app/shell/appoptions.h>
#include <app/shell/consolesetupdlg.h>
#include <app/shell/documentationpath.h>
#include <app/shell/korvanaview.h>
#include <app/shell/mapadlg.h>
#include <app/shell/sensorsdlg.h>
#include <childprocess.h>
#include <gradctrls/multipage/gdipmultipagectrl.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/mainframe.h>
#include <app/shell/menucommands.h>

#include <QImage>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// The program starts from the build's runtime folder (its skins are there);
// only the command runs inside this one.
// A runtime folder of its own for one test: KORVANA_RUNTIME_DIR points at it
// while the scope lives, with a Doc folder holding the given files.
class RuntimeDir {
public:
    explicit RuntimeDir(std::initializer_list<const char*> docFiles, bool withDoc = true)
        : m_dir(fs::temp_directory_path() / ("korvana-doc-test-" + std::to_string(::getpid())))
    {
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        if (withDoc)
            fs::create_directories(m_dir / "Doc");
        for (const char* file : docFiles) {
            fs::create_directories((m_dir / "Doc" / file).parent_path());
            std::ofstream(m_dir / "Doc" / file) << "<!doctype html>\n";
        }
        if (const char* previous = std::getenv("KORVANA_RUNTIME_DIR"))
            m_previous = previous;
        ::setenv("KORVANA_RUNTIME_DIR", m_dir.c_str(), 1);
    }
    ~RuntimeDir()
    {
        if (m_previous.empty())
            ::unsetenv("KORVANA_RUNTIME_DIR");
        else
            ::setenv("KORVANA_RUNTIME_DIR", m_previous.c_str(), 1);
        fs::remove_all(m_dir);
    }
    RuntimeDir(const RuntimeDir&) = delete;
    RuntimeDir& operator=(const RuntimeDir&) = delete;
    fs::path doc() const { return m_dir / "Doc"; }

private:
    fs::path m_dir;
    std::string m_previous;
};

class LanguageScope {
public:
    explicit LanguageScope(int index)
        : m_previous(currentLanguage())
    {
        setCurrentLanguage(index);
    }
    ~LanguageScope() { setCurrentLanguage(m_previous); }
    LanguageScope(const LanguageScope&) = delete;
    LanguageScope& operator=(const LanguageScope&) = delete;

private:
    int m_previous;
};

// Runs the menu command through the frame and returns the URLs the opener was asked for.
std::vector<QUrl> runMenuItem(shelltest::CShellRun& run)
{
    std::vector<QUrl> asked;
    run.app().document()->openUrl = [&](const QUrl& url) {
        asked.push_back(url);
        return true;
    };
    run.app().mainFrame()->onCommand(MenuCmd::kDocumentation);
    return asked;
}

SAppOptions demo()
{
    SAppOptions o;
    o.demo = true;
    return o;
}

TEST(Documentation, ChoosesTheManualOfTheLanguage)
{
    const RuntimeDir runtime({ "index.html", "pl/index.html", "en/index.html" });
    struct Case {
        int language;
        const char* expected;
    };
    // 0 and 10 show Polish; English and every other language get the English manual.
    for (const Case c : { Case { 0, "pl/index.html" }, Case { 10, "pl/index.html" }, Case { 1, "en/index.html" },
                          Case { 4, "en/index.html" }, Case { 19, "en/index.html" } })
        EXPECT_EQ(documentationPath(runtime.doc(), c.language), runtime.doc() / c.expected) << c.language;
}

TEST(Documentation, FallsBackToTheIndexThenTheFolder)
{
    {
        const RuntimeDir runtime({ "index.html", "pl/index.html" });
        EXPECT_EQ(documentationPath(runtime.doc(), 1), runtime.doc() / "index.html");
        EXPECT_EQ(documentationPath(runtime.doc(), 0), runtime.doc() / "pl/index.html");
    }
    {
        const RuntimeDir runtime({ "en/other.html" });
        EXPECT_EQ(documentationPath(runtime.doc(), 1), runtime.doc());
    }
    {
        const RuntimeDir runtime({}, false);
        EXPECT_TRUE(documentationPath(runtime.doc(), 0).empty());
    }
}

TEST(Documentation, MenuItemOpensThePolishOrEnglishManual)
{
    shelltest::CShellRun run(demo());
    ASSERT_TRUE(run.start());
    const RuntimeDir runtime({ "index.html", "pl/index.html", "en/index.html" });
    {
        const LanguageScope polish(0);
        const auto asked = runMenuItem(run);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0], QUrl::fromLocalFile(QString::fromStdString((runtime.doc() / "pl/index.html").string())));
    }
    {
        const LanguageScope english(1);
        const auto asked = runMenuItem(run);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0], QUrl::fromLocalFile(QString::fromStdString((runtime.doc() / "en/index.html").string())));
    }
    EXPECT_TRUE(run.ui.shown().empty());
}

TEST(Documentation, MissingFolderIsSaidPlainlyAndNothingIsOpened)
{
    shelltest::CShellRun run(demo());
    ASSERT_TRUE(run.start());
    const RuntimeDir runtime({}, false);
    run.ui.clearShown();
    const auto asked = runMenuItem(run);
    EXPECT_TRUE(asked.empty());
    ASSERT_EQ(run.ui.shown().size(), 1u);
    const auto& box = run.ui.shown()[0];
    EXPECT_EQ(box.caption, L"KORVANA");
    EXPECT_EQ(box.icon, MsgIcon::Error);
    EXPECT_EQ(box.text, L"Nie znaleziono dokumentacji. Brak folderu:\n" + runtime.doc().wstring());
}

TEST(Documentation, AnOpenerThatFailsIsReported)
{
    shelltest::CShellRun run(demo());
    ASSERT_TRUE(run.start());
    const RuntimeDir runtime({ "index.html" });
    run.ui.clearShown();
    run.app().document()->openUrl = [](const QUrl&) { return false; };
    run.app().mainFrame()->onCommand(MenuCmd::kDocumentation);
    ASSERT_EQ(run.ui.shown().size(), 1u);
    EXPECT_EQ(run.ui.shown()[0].text, L"Nie można otworzyć dokumentacji:\n" + (runtime.doc() / "index.html").wstring());
}

TEST(ScreenshotOptions, SubpageAndDialogAreReadAndChecked)
{
    std::string error;
    const auto o = parseAppOptions({ "--page", "4", "--subpage", "3", "--dialog", "console" }, error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_EQ(o->subPage, 3);
    EXPECT_EQ(o->dialog, "console");
    EXPECT_TRUE(parseAppOptions({ "--dialog", "level" }, error).has_value());
    for (const std::vector<std::string>& bad : { std::vector<std::string> { "--subpage", "4" }, { "--subpage", "-1" },
                                                 { "--subpage" }, { "--dialog", "about" }, { "--dialog" } }) {
        error.clear();
        EXPECT_FALSE(parseAppOptions(bad, error).has_value()) << bad[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST(ScreenshotOptions, SubpageShowsThatTuningPageOfMapa)
{
    for (int sub : { 0, 2, 3 }) {
        SAppOptions o = demo();
        o.page = 4;
        o.subPage = sub;
        shelltest::CShellRun run(o);
        ASSERT_TRUE(run.start());
        auto* mapa = run.app().view()->findChild<CMapaDlg*>();
        ASSERT_NE(mapa, nullptr);
        EXPECT_EQ(mapa->multiPage()->getActivePage(), mapa->subPage(sub)) << sub;
    }
}

TEST(ScreenshotOptions, DialogOptionOpensTheDialogBehindItsButton)
{
    struct Case {
        const char* name;
        bool (*is)(QWidget*);
    };
    for (const Case c : { Case { "level", [](QWidget* w) { return qobject_cast<CSensorsDlg*>(w) != nullptr; } },
                          Case { "console", [](QWidget* w) { return qobject_cast<CConsoleSetupDlg*>(w) != nullptr; } } }) {
        SAppOptions o = demo();
        o.dialog = c.name;
        shelltest::CShellRun run(o);
        ASSERT_TRUE(run.start());
        // The dialog lives on its button's stack: judged here, before reject() ends it.
        bool seen = false;
        bool right = false;
        shelltest::onNextModal([&](QWidget* modal) {
            seen = true;
            right = modal && c.is(modal);
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
        });
        EXPECT_TRUE(guitest::waitFor([&] { return seen; })) << c.name;
        EXPECT_TRUE(right) << c.name;
    }
}

TEST(ScreenshotOptions, ScreenshotOfADialogHoldsTheDialogAlone)
{
    using namespace std::chrono_literals;
    QTemporaryDir dir;
    const std::string png = guitest::artifactsDir().toStdString() + "/korvana_program_level_dialog.png";
    QFile::remove(QString::fromStdString(png));
    const ProgramResult r = runProgram(KORVANA_PROGRAM,
        { "--demo", "--dialog", "level", "--size", "1280x800", "--screenshot", png, "--quit-after", "800" }, 20s,
        { "QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + dir.filePath("cfg").toStdString(),
          "XDG_RUNTIME_DIR=" + dir.path().toStdString(), "XDG_STATE_HOME=" + dir.filePath("state").toStdString(),
          "KORVANA_PORTS=" });
    ASSERT_FALSE(r.timedOut) << "the dialog held the program";
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const QImage shot(QString::fromStdString(png));
    ASSERT_FALSE(shot.isNull()) << r.err;
    EXPECT_LT(shot.width(), 800);
    EXPECT_LT(shot.height(), 600);
}

} // namespace
