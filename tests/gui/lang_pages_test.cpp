// SPDX-License-Identifier: GPL-3.0-or-later
// The program in another language, and the proof that the catalogue holds
// every text it asks to translate. The observer in translate() records each
// text asked for while the test walks the seven pages (Mapa's four sub-pages
// among them), OBD "Zaawansowane" and the dialogs (Wskazanie, Konsolka, about,
// no connection) in Polish, switches to English through the language menu and
// walks them again. Every text asked for that has a letter must be in
// catalogue.txt; a text made at run time around a number can never be in a
// language file, so it fails just the same and has to be built from catalogue
// texts instead.
//
// The switch itself: the caption, the twelve buttons, the Mapa tabs and every
// label, button, box, group and list item of every page show the English of
// data/lang/ENGLISH.tsv, and each page's screenshot differs from its Polish one.
#include "guitest.h"
#include "shelltest.h"

#include <catalogue.h>
#include <cpptokens.h>
#include <langtable.h>
#include <textscanner.h>

#include <app/data/languages.h>
#include <app/data/translate.h>
#include <app/shell/aboutdlg.h>
#include <app/shell/consolebtn.h>
#include <app/shell/gdipcaptionbar.h>
#include <app/shell/kormultipagectrl.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/korvanaview.h>
#include <app/shell/mainframe.h>
#include <app/shell/mapadlg.h>
#include <app/shell/menucommands.h>
#include <app/shell/noconnectiondlg.h>
#include <app/shell/obdadvanceddlg.h>
#include <gradctrls/multipage/gdipmultipagectrl.h>
#include <gradctrls/multipage/gdipmultipagedialog.h>
#include <gradctrls/multipage/imultipagebutton.h>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPointer>

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <set>

namespace {

namespace fs = std::filesystem;

std::mutex g_askedMutex;
std::set<std::wstring> g_asked;

void recordAsked(const std::wstring& text)
{
    const std::lock_guard<std::mutex> lock(g_askedMutex);
    g_asked.insert(text);
}

std::map<std::wstring, std::wstring> englishTable()
{
    std::map<std::wstring, std::wstring> table;
    for (const STableEntry& e :
        parseLangTable(readWholeFile(fs::path(KORVANA_SOURCE_DIR) / "data" / "lang" / "ENGLISH.tsv")).entries)
        table.emplace(e.key, e.value);
    return table;
}

// The texts a window shows: labels, buttons and boxes, group titles, list items.
std::vector<std::pair<QPointer<QWidget>, QStringList>> shownTexts(QWidget* root)
{
    std::vector<std::pair<QPointer<QWidget>, QStringList>> out;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        QStringList texts;
        if (auto* label = qobject_cast<QLabel*>(w))
            texts << label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            texts << button->text();
        else if (auto* group = qobject_cast<QGroupBox*>(w))
            texts << group->title();
        else if (auto* combo = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i);
        texts.removeAll(QString());
        if (!texts.isEmpty())
            out.emplace_back(w, texts);
    }
    return out;
}

struct SPageShot {
    QString name;
    QImage image;
    std::vector<std::pair<QPointer<QWidget>, QStringList>> texts;
};

class LanguagePages : public ::testing::Test {
protected:
    void SetUp() override
    {
        {
            const std::lock_guard<std::mutex> lock(g_askedMutex);
            g_asked.clear();
        }
        setTranslateObserver(recordAsked);
        SAppOptions options;
        options.demo = true;
        options.language = 0;
        m_run = std::make_unique<shelltest::CShellRun>(options);
        ASSERT_TRUE(m_run->start());
        m_frame = m_run->app().mainFrame();
        m_view = m_run->app().view();
        ASSERT_NE(m_view, nullptr);
        m_mpc = m_view->multiPage();
        guitest::resizeTo(m_frame, QSize(1280, 900));
        guitest::settle();
    }
    void TearDown() override
    {
        m_run.reset();
        setTranslateObserver(nullptr);
        setCurrentLanguage(0);
    }

    CkorvanaDoc& doc() { return *m_run->app().document(); }

    QImage shot(QWidget* w, const QString& name)
    {
        guitest::settle();
        guitest::saveScreenshot(w, name);
        return w->grab().toImage();
    }

    // Every page and sub-page, each with its picture and what it shows.
    std::vector<SPageShot> walkPages(const QString& tag)
    {
        std::vector<SPageShot> shots;
        for (int i = 5; i < 12; ++i) {
            m_mpc->activatePage(i);
            guitest::settle();
            CGDIpMultiPageDialog* page = m_mpc->getPage(i);
            const QString name = QStringLiteral("lang_%1_page%2").arg(tag).arg(i);
            shots.push_back({ name, shot(m_frame, name), shownTexts(page) });
            if (auto* mapa = dynamic_cast<CMapaDlg*>(page)) {
                for (int k = 0; k < CMapaDlg::kPageCount; ++k) {
                    mapa->multiPage()->activatePage(k);
                    const QString sub = QStringLiteral("lang_%1_mapa%2").arg(tag).arg(k);
                    shots.push_back({ sub, shot(m_frame, sub), shownTexts(mapa->subPage(k)) });
                }
                mapa->multiPage()->activatePage(0);
            }
        }
        m_mpc->activatePage(5);
        return shots;
    }

    // The dialogs opened from the view and the menus, each closed again.
    std::vector<SPageShot> walkDialogs(const QString& tag)
    {
        std::vector<SPageShot> shots;
        auto grabModal = [&](const QString& name) {
            shelltest::onNextModal([&shots, name](QWidget* modal) {
                if (!modal)
                    return;
                guitest::settle();
                guitest::saveScreenshot(modal, name);
                shots.push_back({ name, modal->grab().toImage(), shownTexts(modal) });
                if (auto* dialog = qobject_cast<QDialog*>(modal))
                    dialog->reject();
            });
        };
        grabModal(QStringLiteral("lang_%1_wskazanie").arg(tag));
        guitest::click(m_mpc->getButton(4)->getWindow()); // Wskazanie
        grabModal(QStringLiteral("lang_%1_konsolka").arg(tag));
        m_view->consoleButton()->onDblClick();
        {
            COBDAdvancedDlg advanced(doc().pageContext());
            EXPECT_TRUE(advanced.Create());
            guitest::showAndSettle(&advanced);
            const QString name = QStringLiteral("lang_%1_obd_advanced").arg(tag);
            shots.push_back({ name, shot(&advanced, name), shownTexts(&advanced) });
        }
        {
            CAboutDlg about;
            EXPECT_TRUE(about.Create());
            guitest::showAndSettle(&about);
            const QString name = QStringLiteral("lang_%1_about").arg(tag);
            shots.push_back({ name, shot(&about, name), shownTexts(&about) });
        }
        {
            CNoConnectionDlg noConnection;
            EXPECT_TRUE(noConnection.Create());
            guitest::showAndSettle(&noConnection);
            const QString name = QStringLiteral("lang_%1_no_connection").arg(tag);
            shots.push_back({ name, shot(&noConnection, name), shownTexts(&noConnection) });
        }
        return shots;
    }

    void chooseLanguageFromMenu(int item)
    {
        auto* action = m_frame->findChild<QAction*>(QStringLiteral("cmd_%1").arg(MenuCmd::kFirstLanguage + item));
        ASSERT_NE(action, nullptr);
        action->trigger();
        guitest::settle();
    }

    std::unique_ptr<shelltest::CShellRun> m_run;
    CMainFrame* m_frame = nullptr;
    CkorvanaView* m_view = nullptr;
    CKorMultiPageCtrl* m_mpc = nullptr;
};

QString buttonTitle(IMultiPageButton* button)
{
    return dynamic_cast<QAbstractButton*>(button->getWindow())->text();
}

TEST_F(LanguagePages, EveryTextAskedForIsInTheCatalogue)
{
    walkPages(QStringLiteral("pl"));
    walkDialogs(QStringLiteral("pl"));
    chooseLanguageFromMenu(1); // Angielski
    walkPages(QStringLiteral("en"));
    walkDialogs(QStringLiteral("en"));

    const auto catalogue = parseCatalogue(readWholeFile(cataloguePath(KORVANA_SOURCE_DIR)));
    const std::set<std::wstring> known(catalogue.begin(), catalogue.end());
    ASSERT_GT(known.size(), 300u);
    std::set<std::wstring> asked;
    {
        const std::lock_guard<std::mutex> lock(g_askedMutex);
        asked = g_asked;
    }
    EXPECT_GT(asked.size(), 200u) << "the walk asked for too few texts to prove anything";
    std::size_t catalogued = 0;
    for (const std::wstring& text : asked)
        catalogued += known.contains(text);
    std::cout << "asked for " << asked.size() << " texts, " << catalogued << " of the catalogue's " << known.size()
              << "\n";
    std::string missing;
    for (const std::wstring& text : asked)
        if (hasLetter(text) && !known.contains(text))
            missing += "\n  \"" + wideToUtf8(escapeText(text)) + "\"";
    EXPECT_TRUE(missing.empty()) << "asked for but not in the catalogue:" << missing;
}

TEST_F(LanguagePages, TheMenuSwitchesEveryPageToEnglish)
{
    const auto english = englishTable();
    ASSERT_FALSE(english.empty());
    auto expected = [&](const QString& polish) {
        const auto it = english.find(polish.toStdWString());
        return it == english.end() ? std::optional<QString>() : QString::fromStdWString(it->second);
    };
    auto* caption = m_frame->findChild<CGDIpCaptionBar*>();
    ASSERT_NE(caption, nullptr);
    const QString polishCaption = caption->captionText();
    QStringList polishTitles;
    for (int i = 0; i < 12; ++i)
        polishTitles << buttonTitle(m_mpc->getButton(i));
    EXPECT_EQ(polishTitles[5], QStringLiteral("Odczyty"));
    const auto polishPages = walkPages(QStringLiteral("pl"));
    const auto polishDialogs = walkDialogs(QStringLiteral("pl"));

    chooseLanguageFromMenu(1); // Angielski
    EXPECT_EQ(currentLanguage(), 1);
    EXPECT_NE(caption->captionText(), polishCaption);
    EXPECT_TRUE(caption->captionText().startsWith(
        QString::fromStdWString(english.at(L"KORVANA  –  diagnostyka i konfiguracja sterowników LPG"))))
        << caption->captionText().toStdString();
    for (int i = 0; i < 12; ++i) {
        if (const auto title = expected(polishTitles[i])) {
            EXPECT_EQ(buttonTitle(m_mpc->getButton(i)), *title) << i;
        }
    }
    EXPECT_EQ(buttonTitle(m_mpc->getButton(5)), QStringLiteral("Readings"));

    const auto englishPages = walkPages(QStringLiteral("en"));
    const auto englishDialogs = walkDialogs(QStringLiteral("en"));
    // A picture must change where a shown text changes; every control that
    // showed a Polish text the table translates shows that translation now.
    int probedAll = 0;
    auto compare = [&](const SPageShot& pl, const SPageShot& en, bool byWidget) {
        int probed = 0;
        int changed = 0;
        for (std::size_t w = 0; w < pl.texts.size(); ++w) {
            const auto& [widget, texts] = pl.texts[w];
            const auto now = byWidget
                ? std::find_if(
                    en.texts.begin(), en.texts.end(), [&](const auto& e) { return widget && e.first == widget; })
                : (w < en.texts.size() ? en.texts.begin() + static_cast<long>(w) : en.texts.end());
            for (int t = 0; t < texts.size(); ++t) {
                const auto translation = expected(texts[t]);
                if (!translation)
                    continue;
                ++probed;
                changed += *translation != texts[t];
                ASSERT_NE(now, en.texts.end()) << pl.name.toStdString() << ": " << texts[t].toStdString();
                ASSERT_LT(t, now->second.size()) << pl.name.toStdString();
                EXPECT_EQ(now->second[t], *translation) << pl.name.toStdString();
            }
        }
        if (changed > 0) {
            EXPECT_NE(pl.image, en.image) << pl.name.toStdString() << " looks the same in English";
        }
        probedAll += probed;
    };
    ASSERT_EQ(polishPages.size(), englishPages.size());
    for (std::size_t p = 0; p < polishPages.size(); ++p)
        compare(polishPages[p], englishPages[p], true);
    // Dialogs are made anew each time: what they show is compared by position.
    ASSERT_EQ(polishDialogs.size(), 5u) << "Wskazanie or Konsolka did not open";
    ASSERT_EQ(englishDialogs.size(), polishDialogs.size());
    for (std::size_t d = 0; d < polishDialogs.size(); ++d)
        compare(polishDialogs[d], englishDialogs[d], false);
    EXPECT_GT(probedAll, 40);
}

} // namespace
