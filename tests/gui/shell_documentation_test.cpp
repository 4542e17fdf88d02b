// The "Dokumentacja" menu item: which page of the manual it hands to the
// desktop's opener for Polish, English and other languages, the fall-backs
// when a language's manual or the index is missing, and the message when the
// Doc folder is not there at all. The opener is replaced, so no browser starts.
#include "guitest.h"
#include "shelltest.h"

#include <app/data/languages.h>
#include <app/shell/documentationpath.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/mainframe.h>
#include <app/shell/menucommands.h>

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

} // namespace
