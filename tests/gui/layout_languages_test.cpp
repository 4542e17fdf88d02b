// SPDX-License-Identifier: GPL-3.0-or-later
// Layouts that survive translation: the program in demo mode at 1280 x 800,
// in Polish, in a made-up language 40 % longer than Polish and in every
// language file beside the program; on every page, every sub-page of "Mapa"
// and every dialog, no text may be cut short, run out of its window or lie on
// a neighbour's text. The readings panel (injector cells, gauge captions, OBD
// tiles) and the chart are also described as --dump-ui does at the five
// common window sizes, where no text may be cut either (in every shipped language). The findings are
// printed per language; the screenshots of the made-up language, German and
// Greek go to the test artefacts.
#include "clipcheck.h"
#include "guitest.h"
#include "pseudolang.h"
#include "shelltest.h"

#include <app/data/languages.h>
#include <app/device/lpgdevice.h>
#include <app/shell/aboutdlg.h>
#include <app/shell/consolesetupdlg.h>
#include <app/shell/kormultipagectrl.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/korvanaview.h>
#include <app/shell/mainframe.h>
#include <app/shell/mapadlg.h>
#include <app/shell/noconnectiondlg.h>
#include <app/shell/obdadvanceddlg.h>
#include <app/shell/sensorsdlg.h>
#include <app/shell/settingsdiffdlg.h>
#include <app/shell/uidump.h>
#include <basectrls/ctrlid.h>
#include <gradctrls/dialogs/gdipstatic.h>
#include <gradctrls/multipage/gdipgradientbutton.h>
#include <gradctrls/multipage/gdipmultipagectrl.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

namespace {

constexpr QSize kWindow(1280, 800);
// The common screens, from the small netbook to full HD.
constexpr QSize kScreens[] = { { 1024, 600 }, { 1280, 800 }, { 1366, 768 }, { 1600, 1000 }, { 1920, 1080 } };

struct SLanguage {
    QString name;
    int index;
    QString runtimeDir;
};

const char* const kPageNames[] = { "Odczyty", "Ustawienia", "Zaawansowane", "Kalibracja", "Mapa", "OBD", "Info" };
const char* const kMapaPageNames[] = { "Mapa", "Mapa 2D", "Korekty temperatury", "Korekty ciśnienia" };

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
        const QStringList texts
            = pseudolang::polishTexts({ source + QStringLiteral("/app"), source + QStringLiteral("/gradctrls"),
                                          source + QStringLiteral("/basectrls") },
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

// Polish, the made-up language and every language file beside the program,
// by name; read when the tests are listed, so that each language is a test.
std::vector<std::string> languageNames()
{
    std::vector<std::string> names { "POLISH", "PSEUDO" };
    std::error_code error;
    const std::filesystem::path dir = std::filesystem::path(KORVANA_RUNTIME_DIR) / "KOR_LANG";
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error))
        if (entry.path().extension() == ".txt")
            files.push_back(entry.path().stem().string());
    std::sort(files.begin(), files.end());
    names.insert(names.end(), files.begin(), files.end());
    return names;
}

// The language as the program starts in it; false for a file the program does not open.
bool resolveLanguage(const std::string& name, const CPseudoRuntime* pseudo, SLanguage& out)
{
    out.name = QString::fromStdString(name);
    out.runtimeDir = QStringLiteral(KORVANA_RUNTIME_DIR);
    if (name == "POLISH") {
        out.index = 0;
        return true;
    }
    if (name == "PSEUDO") {
        out.index = 1;
        out.runtimeDir = pseudo->path();
        return true;
    }
    openLanguageFiles(std::filesystem::path(KORVANA_RUNTIME_DIR) / "KOR_LANG");
    out.index = -1;
    for (int index = 1; index < kLanguageCount && out.index < 0; ++index) {
        const int slot = langSlotOfIndex(index);
        if (slot >= 0 && langSlot(slot)->isOpen()
            && std::filesystem::path(langSlot(slot)->path()).stem().string() == name)
            out.index = index;
    }
    for (int slot = 0; slot < kLangSlotCount; ++slot)
        langSlot(slot)->close();
    return out.index > 0;
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
            shelltest::waitMs(80);
            const QString name = QString::fromLatin1(kPageNames[page]);
            if (auto* mapa = dynamic_cast<CMapaDlg*>(view->multiPage()->getActivePage())) {
                for (int sub = 0; sub < CMapaDlg::kPageCount; ++sub) {
                    mapa->multiPage()->activatePage(sub);
                    shelltest::waitMs(40);
                    look(frame, name + QLatin1Char('/') + QString::fromUtf8(kMapaPageNames[sub]));
                }
            } else {
                look(frame, name);
            }
        }
        // The readings page (panel, gauges, chart) and one with the OBD tiles, at every common size,
        // in the languages the program ships (the made-up one outgrows them on purpose).
        for (const QSize screen : kScreens) {
            if (m_language.name == QLatin1String("PSEUDO"))
                break;
            guitest::resizeTo(frame, screen);
            for (int page : { 0, 3 }) {
                ASSERT_TRUE(view->showPage(page));
                shelltest::waitMs(40);
                describeAt(QStringLiteral("%1 at %2x%3").arg(QString::fromLatin1(kPageNames[page]))
                               .arg(screen.width()).arg(screen.height()));
            }
        }
        guitest::resizeTo(frame, kWindow);
        // The pages and dialogs again with blocks not read: the line that names them and its button fit too.
        run.app().document()->device().readBlocks().forget(
            CReadBlocks::Base | CReadBlocks::AdvancedSetup | CReadBlocks::InjMap | CReadBlocks::MainCorr);
        for (int page : { 1, 2, 3, 4, 6 }) {
            ASSERT_TRUE(view->showPage(page));
            shelltest::waitMs(40);
            look(frame, QString::fromLatin1(kPageNames[page]) + QStringLiteral(" unread"));
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
            for (const QChar c : { QLatin1Char('.'), QLatin1Char('/'), QLatin1Char(' ') })
                file.replace(c, QLatin1Char('_'));
            guitest::saveScreenshot(window, file);
        }
    }
    // Every text the window's description marks as cut.
    void describeAt(const QString& place)
    {
        const QJsonObject dump = QJsonDocument::fromJson(describeUi()).object();
        // The panel's sixteen cells and five gauges paint their texts (the check is not empty).
        int panelTexts = 0;
        for (const QJsonValue item : dump.value(QStringLiteral("painted")).toArray())
            panelTexts += item.toObject().value(QStringLiteral("owner")).toString().startsWith(QStringLiteral("CGDIpStatic"));
        if (panelTexts < 21)
            findings.emplace(QStringLiteral("only %1 panel texts described").arg(panelTexts), place);
        for (const char* list : { "widgets", "painted" }) {
            for (const QJsonValue item : dump.value(QLatin1String(list)).toArray()) {
                const QJsonObject o = item.toObject();
                if (!o.value(QStringLiteral("elided")).toBool())
                    continue;
                const QString key = QStringLiteral("%1 %2: \"%3\" cut to \"%4\"")
                                        .arg(o.value(QStringLiteral("class")).toString(),
                                            o.value(QStringLiteral("owner")).toString(),
                                            o.value(QStringLiteral("fullText")).toString(),
                                            o.value(QStringLiteral("text")).toString());
                if (!findings.contains(key))
                    findings.emplace(key, place);
            }
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
    const QByteArray bytes
        = pseudolang::languageFile({ { polish, pseudolang::expand(polish) }, { tabbed, pseudolang::expand(tabbed) } });
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
    source.write(
        "const wchar_t* a = L\"Zapisz\";\nauto b = QStringLiteral(\"no\"); f(L\"Linia\\n\\\"druga\\\"\", L\"\");\n");
    source.close();
    const QStringList texts = pseudolang::polishTexts({ dir.path() }, dir.filePath(QStringLiteral("none.txt")));
    EXPECT_EQ(texts, QStringList({ QStringLiteral("Linia\n\"druga\""), QStringLiteral("Zapisz") }));
}

// The check itself, on controls placed by hand: what fits passes, what is cut
// by its own rectangle, by the check mark or by its window, and texts on top
// of each other are reported.
TEST(ClipCheck, FindsCutAndCoveredTextsAndPassesWhatFits)
{
    QWidget window;
    window.resize(400, 200);
    QFont font;
    font.setPixelSize(12);
    window.setFont(font);
    const QFontMetrics fm(font);
    const QString word = QStringLiteral("Temperatura");
    const int wordWidth = fm.horizontalAdvance(word);

    auto* fits = new CGDIpStatic(&window);
    fits->setText(word);
    fits->setGeometry(0, 0, wordWidth + 4, fm.height() + 2);
    setCtrlId(fits, 1);
    auto* cut = new CGDIpStatic(&window);
    cut->setText(word);
    cut->setGeometry(0, 30, wordWidth - 10, fm.height() + 2);
    setCtrlId(cut, 2);
    // As wide as its text, but the mark takes the first pixels.
    auto* box = new QCheckBox(word, &window);
    box->setGeometry(0, 60, wordWidth + 2, 24);
    setCtrlId(box, 3);
    // Two lines fit on a button high enough; the same text on a low one is cut.
    const QString twoWords = QStringLiteral("Kasuj korekty");
    auto* tall = new CGDIpGradientButton(&window);
    tall->setText(twoWords);
    tall->setGeometry(
        200, 0, fm.horizontalAdvance(QStringLiteral("korekty")) + 4 * fm.averageCharWidth(), 3 * fm.height());
    setCtrlId(tall, 4);
    auto* low = new CGDIpGradientButton(&window);
    low->setText(twoWords);
    low->setGeometry(200, 60, tall->width(), fm.height() + 4);
    setCtrlId(low, 5);
    // A label running past the window's right edge.
    auto* outside = new CGDIpStatic(&window);
    outside->setText(word);
    outside->setGeometry(400 - wordWidth / 2, 120, wordWidth + 4, fm.height() + 2);
    setCtrlId(outside, 6);
    // Two labels whose texts lie on each other.
    auto* under = new CGDIpStatic(&window);
    under->setText(word);
    under->setGeometry(0, 150, wordWidth + 4, fm.height() + 2);
    setCtrlId(under, 7);
    auto* over = new CGDIpStatic(&window);
    over->setText(word);
    over->setGeometry(wordWidth / 2, 152, wordWidth + 4, fm.height() + 2);
    setCtrlId(over, 8);
    // A list whose longest item does not fit its closed field.
    auto* combo = new QComboBox(&window);
    combo->addItems({ QStringLiteral("LPG"), QStringLiteral("Rail IG3 Horizon E3 2.8 Ohm") });
    combo->setGeometry(200, 150, 90, 24);
    setCtrlId(combo, 9);
    // A table column narrower than its title.
    auto* table = new QTableWidget(1, 2, &window);
    table->setHorizontalHeaderLabels({ QStringLiteral("Nr"), QStringLiteral("Temperatura reduktora") });
    table->setGeometry(300, 0, 100, 100);
    table->horizontalHeader()->resizeSection(1, 40);
    setCtrlId(table, 10);
    guitest::showAndSettle(&window);

    std::map<QString, QString> problems;
    for (const clipcheck::SFinding& finding : clipcheck::check(&window))
        problems[finding.control] += finding.problem + QLatin1Char(';');
    EXPECT_FALSE(problems.contains(QStringLiteral("1")));
    EXPECT_EQ(problems[QStringLiteral("2")], QStringLiteral("clipped;"));
    EXPECT_EQ(problems[QStringLiteral("3")], QStringLiteral("clipped;"));
    EXPECT_FALSE(problems.contains(QStringLiteral("4"))) << problems[QStringLiteral("4")].toStdString();
    EXPECT_EQ(problems[QStringLiteral("5")], QStringLiteral("clipped;"));
    EXPECT_EQ(problems[QStringLiteral("6")], QStringLiteral("cut off by its container;"));
    EXPECT_TRUE(problems[QStringLiteral("7")].startsWith(QStringLiteral("overlaps 8")));
    EXPECT_EQ(problems[QStringLiteral("9")], QStringLiteral("clipped;"));
    EXPECT_EQ(problems[QStringLiteral("10.column1")], QStringLiteral("clipped;"));
    EXPECT_EQ(problems.size(), 7u);
}

class LayoutInLanguage : public ::testing::TestWithParam<std::string> { };

TEST_P(LayoutInLanguage, NoTextIsCutOrCovered)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.filePath(QStringLiteral("cfg")).toLocal8Bit());
    std::unique_ptr<CPseudoRuntime> pseudo;
    if (GetParam() == "PSEUDO") {
        pseudo = std::make_unique<CPseudoRuntime>();
        ASSERT_GT(pseudo->textCount(), 300) << "the sources' texts were not found";
    }
    SLanguage language;
    ASSERT_TRUE(resolveLanguage(GetParam(), pseudo.get(), language)) << "the program opens no " << GetParam();
    CLanguageRun run(language);
    run.checkAll();
    for (const auto& [finding, place] : run.findings)
        ADD_FAILURE() << GetParam() << " / " << place.toStdString() << ": " << finding.toStdString();
    std::printf("layout findings %s: %zu\n", GetParam().c_str(), run.findings.size());
    setCurrentLanguage(0);
    for (int slot = 0; slot < kLangSlotCount; ++slot)
        langSlot(slot)->close();
    qunsetenv("XDG_CONFIG_HOME");
}

INSTANTIATE_TEST_SUITE_P(Languages, LayoutInLanguage, ::testing::ValuesIn(languageNames()),
    [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

} // namespace
