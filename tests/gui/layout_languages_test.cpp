// Layouts that survive translation: the program in demo mode at 1280 x 800,
// in Polish, in a made-up language 40 % longer than Polish and in every
// language file beside the program; on every page, every sub-page of "Mapa"
// and every dialog, no text may be cut short, run out of its window or lie on
// a neighbour's text. The findings are printed per language; the screenshots
// of the made-up language, German and Greek go to the test artefacts.
#include "clipcheck.h"
#include "guitest.h"
#include "pseudolang.h"
#include "shelltest.h"

#include <app/data/languages.h>
#include <app/shell/aboutdlg.h>
#include <app/shell/consolesetupdlg.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/korvanaview.h>
#include <app/shell/kormultipagectrl.h>
#include <app/shell/mainframe.h>
#include <app/shell/mapadlg.h>
#include <app/shell/noconnectiondlg.h>
#include <app/shell/obdadvanceddlg.h>
#include <app/shell/sensorsdlg.h>
#include <app/shell/settingsdiffdlg.h>
#include <gradctrls/multipage/gdipmultipagectrl.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

namespace {

constexpr QSize kWindow(1280, 800);

struct SLanguage {
    QString name;
    int index;
    QString runtimeDir;
};

const char* const kPageNames[] = { "Odczyty", "Ustawienia", "Zaawansowane", "Kalibracja", "Mapa", "OBD", "Info" };

// A program folder whose only language file is the made-up one, as English.
class CPseudoRuntime {
public:
    CPseudoRuntime()
    {
        const QDir real(QStringLiteral(KORVANA_RUNTIME_DIR));
        for (const QFileInfo& entry : real.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
            if (entry.fileName() != QLatin1String("KOR_LANG"))
                QFile::link(entry.absoluteFilePath(), m_dir.filePath(entry.fileName()));
        }
        QDir(m_dir.path()).mkdir(QStringLiteral("KOR_LANG"));
        const QString source = QStringLiteral(KORVANA_SOURCE_DIR);
        const QStringList texts = pseudolang::polishTexts(
            { source + QStringLiteral("/app"), source + QStringLiteral("/gradctrls"), source + QStringLiteral("/basectrls") },
            source + QStringLiteral("/data/lang/catalogue.txt"));
        QList<QPair<QString, QString>> pairs;
        for (const QString& text : texts)
            pairs.append({ text, pseudolang::expand(text) });
        m_textCount = static_cast<int>(pairs.size());
        QFile file(m_dir.filePath(QStringLiteral("KOR_LANG/ENGLISH.txt")));
        if (file.open(QIODevice::WriteOnly))
            file.write(pseudolang::languageFile(pairs));
    }
    QString path() const { return m_dir.path(); }
    int textCount() const { return m_textCount; }

private:
    QTemporaryDir m_dir;
    int m_textCount = 0;
};

// Polish, the made-up language and every language file the program would open.
std::vector<SLanguage> languagesToCheck(const CPseudoRuntime& pseudo)
{
    std::vector<SLanguage> out { { QStringLiteral("POLISH"), 0, QStringLiteral(KORVANA_RUNTIME_DIR) },
        { QStringLiteral("PSEUDO"), 1, pseudo.path() } };
    openLanguageFiles(std::filesystem::path(KORVANA_RUNTIME_DIR) / "KOR_LANG");
    std::set<int> slotsSeen;
    for (int index = 1; index < kLanguageCount; ++index) {
        const int slot = langSlotOfIndex(index);
        if (slot < 0 || !langSlot(slot)->isOpen() || !slotsSeen.insert(slot).second)
            continue;
        const QString name = QFileInfo(QString::fromStdString(langSlot(slot)->path())).completeBaseName();
        out.push_back({ name, index, QStringLiteral(KORVANA_RUNTIME_DIR) });
    }
    for (int slot = 0; slot < kLangSlotCount; ++slot)
        langSlot(slot)->close();
    return out;
}

class CLanguageRun {
public:
    explicit CLanguageRun(const SLanguage& language)
        : m_language(language)
        , m_pictures(language.name == QLatin1String("PSEUDO") || language.name == QLatin1String("GERMAN")
              || language.name == QLatin1String("GREEK"))
    {
    }

    // Every finding once, by where it was first seen.
    std::map<QString, QString> findings;

    void checkAll()
    {
        qputenv("KORVANA_RUNTIME_DIR", m_language.runtimeDir.toLocal8Bit());
        SAppOptions options;
        options.demo = true;
        options.language = m_language.index;
        options.size = std::make_pair(kWindow.width(), kWindow.height());
        shelltest::CShellRun run(options);
        ASSERT_TRUE(run.start());
        CMainFrame* frame = run.app().mainFrame();
        guitest::resizeTo(frame, kWindow);
        CkorvanaView* view = run.app().view();
        for (int page = 0; page < CkorvanaView::kPageCount; ++page) {
            ASSERT_TRUE(view->showPage(page));
            shelltest::waitMs(250);
            const QString name = QString::fromLatin1(kPageNames[page]);
            if (auto* mapa = dynamic_cast<CMapaDlg*>(view->multiPage()->getActivePage())) {
                for (int sub = 0; sub < CMapaDlg::kPageCount; ++sub) {
                    mapa->multiPage()->activatePage(sub);
                    shelltest::waitMs(150);
                    look(frame, QStringLiteral("%1.%2").arg(name).arg(sub));
                }
            } else {
                look(frame, name);
            }
        }
        const CPageContext context = run.app().document()->pageContext();
        {
            CSensorsDlg dialog(context, frame);
            ASSERT_TRUE(dialog.Create());
            lookAtDialog(&dialog, QStringLiteral("Wskazanie"));
        }
        {
            CConsoleSetupDlg dialog(context, frame);
            ASSERT_TRUE(dialog.Create());
            lookAtDialog(&dialog, QStringLiteral("Konsolka"));
        }
        {
            COBDAdvancedDlg dialog(context, frame);
            ASSERT_TRUE(dialog.Create());
            lookAtDialog(&dialog, QStringLiteral("OBD.Zaawansowane"));
        }
        {
            CAboutDlg dialog(frame);
            ASSERT_TRUE(dialog.Create());
            lookAtDialog(&dialog, QStringLiteral("about"));
        }
        {
            CNoConnectionDlg dialog(frame, L"/dev/ttyUSB0: no answer");
            ASSERT_TRUE(dialog.Create());
            lookAtDialog(&dialog, QStringLiteral("no-connection"));
        }
        {
            std::vector<CSettingDifference> differences { { "m_switchRpm", "1800", "2200" },
                { "m_gasTempSwitch", "35", "40" } };
            CSettingsDiffDlg dialog(differences, QStringLiteral("golf.kor"), frame);
            ASSERT_TRUE(dialog.Create());
            lookAtDialog(&dialog, QStringLiteral("settings-diff"));
        }
        qputenv("KORVANA_RUNTIME_DIR", KORVANA_RUNTIME_DIR);
    }

private:
    void look(QWidget* window, const QString& place)
    {
        for (const clipcheck::SFinding& finding : clipcheck::check(window)) {
            const QString key = finding.describe();
            if (!findings.contains(key))
                findings.emplace(key, place);
        }
        if (m_pictures) {
            QString file = QStringLiteral("layout_%1_%2").arg(m_language.name.toLower(), place);
            file.replace(QLatin1Char('.'), QLatin1Char('_'));
            guitest::saveScreenshot(window, file);
        }
    }
    void lookAtDialog(QWidget* dialog, const QString& place)
    {
        guitest::showAndSettle(dialog);
        look(dialog, place);
        dialog->hide();
    }

    SLanguage m_language;
    bool m_pictures;
};

TEST(LayoutLanguages, MadeUpTextsAreLongerAccentedAndKeepWhatCodeReads)
{
    EXPECT_EQ(pseudolang::expand(QStringLiteral("Start")), QStringLiteral("[Ŝţàŕţ]"));
    const QString rpm = pseudolang::expand(QStringLiteral("Obroty silnika"));
    EXPECT_GE(rpm.size(), 14 * 14 / 10);
    EXPECT_TRUE(rpm.startsWith(QLatin1Char('[')) && rpm.endsWith(QLatin1Char(']')));
    // Directives, the fuel word, spaces at the ends and line ends stay as they were.
    const QString mixed = pseudolang::expand(QStringLiteral(" %d obr/min LPG %.1f %1\r\nZapis "));
    EXPECT_TRUE(mixed.startsWith(QStringLiteral(" [%d ")));
    EXPECT_TRUE(mixed.contains(QStringLiteral(" LPG %.1f %1")));
    EXPECT_TRUE(mixed.contains(QStringLiteral("]\r\n[")));
    EXPECT_TRUE(mixed.endsWith(QStringLiteral("] ")));
}

TEST(LayoutLanguages, MadeUpLanguageFileReadsBackThroughTheProgramsReader)
{
    const QString polish = QStringLiteral("Korekty temperatury");
    const QString tabbed = QStringLiteral("Nr\tCzas\r\nWartość");
    const QByteArray bytes = pseudolang::languageFile(
        { { polish, pseudolang::expand(polish) }, { tabbed, pseudolang::expand(tabbed) } });
    ASSERT_TRUE(bytes.startsWith(QByteArray("\xff\xfe", 2)));
    CLangFile file;
    file.openBytes(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    EXPECT_EQ(QString::fromStdWString(file.translate(polish.toStdWString())), pseudolang::expand(polish));
    EXPECT_EQ(QString::fromStdWString(file.translate(tabbed.toStdWString())), pseudolang::expand(tabbed));
}

TEST(LayoutLanguages, SourceTextsAreCollectedFromWideLiterals)
{
    QTemporaryDir dir;
    QFile source(dir.filePath(QStringLiteral("page.cpp")));
    ASSERT_TRUE(source.open(QIODevice::WriteOnly));
    source.write("const wchar_t* a = L\"Zapisz\";\nauto b = QStringLiteral(\"no\"); f(L\"Linia\\n\\\"druga\\\"\", L\"\");\n");
    source.close();
    const QStringList texts = pseudolang::polishTexts({ dir.path() }, dir.filePath(QStringLiteral("none.txt")));
    EXPECT_EQ(texts, QStringList({ QStringLiteral("Linia\n\"druga\""), QStringLiteral("Zapisz") }));
}

TEST(LayoutLanguages, NoTextIsCutOrCoveredInAnyLanguage)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.filePath(QStringLiteral("cfg")).toLocal8Bit());
    const CPseudoRuntime pseudo;
    ASSERT_GT(pseudo.textCount(), 300) << "the sources' texts were not found";
    std::map<QString, std::size_t> counts;
    for (const SLanguage& language : languagesToCheck(pseudo)) {
        CLanguageRun run(language);
        run.checkAll();
        counts[language.name] = run.findings.size();
        for (const auto& [finding, place] : run.findings)
            ADD_FAILURE() << language.name.toStdString() << " / " << place.toStdString() << ": "
                          << finding.toStdString();
    }
    for (const auto& [name, count] : counts)
        std::printf("layout findings %-10s %zu\n", name.toUtf8().constData(), count);
    setCurrentLanguage(0);
    for (int slot = 0; slot < kLangSlotCount; ++slot)
        langSlot(slot)->close();
    qunsetenv("XDG_CONFIG_HOME");
}

} // namespace
