// SPDX-License-Identifier: GPL-3.0-or-later
// Pages as data: dialog units to pixels, controls built from a table with
// their ids, kinds and translated texts, and a demo page shown in the
// multi-page control at three window sizes (screenshots saved as artefacts),
// with every control kept in proportion to the page.
#include "guitest.h"

#include <basectrls/intedit.h>
#include <gradctrls/dialogs/gdipgradientcombobox.h>
#include <gradctrls/dialogs/gdipstatic.h>
#include <gradctrls/layout/pagelayout.h>
#include <gradctrls/multipage/gdipgradientbutton.h>
#include <gradctrls/multipage/gdipmultipagectrl.h>
#include <gradctrls/multipage/gdipmultipagedialog.h>
#include <gradctrls/multipage/gdipmultipagegradientbutton.h>

#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>

#include <gtest/gtest.h>

#include <array>

namespace {

TEST(PageLayout, DialogUnitsUseFixedBase)
{
    EXPECT_EQ(CPageLayout::pageSize(), QSize(1200, 975));
    EXPECT_EQ(CPageLayout::duToPixelsX(4), 6);
    EXPECT_EQ(CPageLayout::duToPixelsY(8), 13);
    // Halves round away from zero: 1.5 -> 2, 4.5 -> 5, 1.625 -> 2, 4.875 -> 5.
    EXPECT_EQ(CPageLayout::duToPixelsX(1), 2);
    EXPECT_EQ(CPageLayout::duToPixelsX(3), 5);
    EXPECT_EQ(CPageLayout::duToPixelsY(1), 2);
    EXPECT_EQ(CPageLayout::duToPixelsY(3), 5);
    EXPECT_EQ(CPageLayout::duToPixelsX(-3), -5);
    // Adjacent rectangles share an edge and never overlap.
    const QRect a = CPageLayout::duToPixels(10, 10, 3, 3);
    const QRect b = CPageLayout::duToPixels(13, 13, 3, 3);
    EXPECT_EQ(a, QRect(QPoint(15, 16), QPoint(19, 20)));
    EXPECT_EQ(b.left(), a.right() + 1);
    EXPECT_EQ(b.top(), a.bottom() + 1);
}

const SCtrlLayout kTable[] = {
    {1200, ECtrlKind::Label, 10, 10, 100, 12, L"Obroty"},
    {1201, ECtrlKind::IntEdit, 120, 10, 40, 12, L"1500"},
    {1202, ECtrlKind::ComboBox, 10, 30, 100, 14, L"Benzyna\nGaz"},
    {1203, ECtrlKind::CheckBox, 10, 50, 100, 12, L"Zasilanie"},
    {1204, ECtrlKind::GroupBox, 5, 2, 200, 70, nullptr},
    {1205, ECtrlKind::PushButton, 10, 80, 60, 16, L"Zapisz"},
};

TEST(PageLayout, BuildsEveryRowWithIdKindAndText)
{
    QWidget page;
    const int made = CPageLayout::build(&page, kTable, [](const std::wstring& t) { return L"[" + t + L"]"; });
    EXPECT_EQ(made, 6);
    auto* label = guitest::findById<CGDIpStatic>(&page, 1200);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("[Obroty]"));
    EXPECT_EQ(label->geometry(), QRect(QPoint(15, 16), QPoint(164, 35)));
    ASSERT_NE(guitest::findById<CIntEdit>(&page, 1201), nullptr);
    auto* combo = guitest::findById<CGDIpGradientComboBox>(&page, 1202);
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("[Benzyna]"));
    EXPECT_EQ(combo->itemText(1), QStringLiteral("[Gaz]"));
    EXPECT_EQ(combo->closedHeight(), combo->height());
    EXPECT_EQ(guitest::findById<QCheckBox>(&page, 1203)->text(), QStringLiteral("[Zasilanie]"));
    EXPECT_EQ(guitest::findById<QGroupBox>(&page, 1204)->title(), QString());
    EXPECT_EQ(guitest::findById<CGDIpGradientButton>(&page, 1205)->text(), QStringLiteral("[Zapisz]"));
    EXPECT_EQ(guitest::findById(&page, 1205)->objectName(), QStringLiteral("ctrl_1205"));
    EXPECT_EQ(CPageLayout::build(nullptr, kTable), 0);
}

TEST(PageLayout, RetranslateSetsTextsAgainAndKeepsValues)
{
    QWidget page;
    CPageLayout::build(&page, kTable, [](const std::wstring& t) { return L"[" + t + L"]"; });
    auto* edit = guitest::findById<CIntEdit>(&page, 1201);
    edit->setText(QStringLiteral("2500")); // typed by the fitter
    auto* combo = guitest::findById<CGDIpGradientComboBox>(&page, 1202);
    combo->setCurrentIndex(1);

    CPageLayout::retranslate(&page, kTable, [](const std::wstring& t) { return L"<" + t + L">"; });
    EXPECT_EQ(guitest::findById<CGDIpStatic>(&page, 1200)->text(), QStringLiteral("<Obroty>"));
    EXPECT_EQ(edit->text(), QStringLiteral("2500")) << "an edit keeps its value";
    EXPECT_EQ(combo->itemText(0), QStringLiteral("<Benzyna>"));
    EXPECT_EQ(combo->itemText(1), QStringLiteral("<Gaz>"));
    EXPECT_EQ(combo->currentIndex(), 1) << "the choice stays";
    EXPECT_EQ(guitest::findById<QCheckBox>(&page, 1203)->text(), QStringLiteral("<Zasilanie>"));
    EXPECT_EQ(guitest::findById<QGroupBox>(&page, 1204)->title(), QString());
    EXPECT_EQ(guitest::findById<CGDIpGradientButton>(&page, 1205)->text(), QStringLiteral("<Zapisz>"));
}

// A settings-like page: two groups of labelled values, a list, boxes and buttons.
const SCtrlLayout kDemoPage[] = {
    {2000, ECtrlKind::GroupBox, 10, 8, 380, 250, L"Przełączanie"},
    {2001, ECtrlKind::Label, 22, 30, 225, 16, L"Obroty automatycznego przełączenia"},
    {2002, ECtrlKind::ReadOnlyEdit, 250, 30, 70, 16, L"1800"},
    {2003, ECtrlKind::Label, 22, 56, 220, 16, L"Temperatura przełączenia [°C]"},
    {2004, ECtrlKind::ReadOnlyEdit, 250, 56, 70, 16, L"35"},
    {2005, ECtrlKind::Label, 22, 82, 220, 16, L"Opóźnienie przełączenia [s]"},
    {2006, ECtrlKind::IntEdit, 250, 82, 70, 16, L"20"},
    {2007, ECtrlKind::Label, 22, 108, 220, 16, L"Typ czujnika poziomu"},
    {2008, ECtrlKind::ComboBox, 250, 108, 120, 16, L"Brak\nKMS\nWEH"},
    {2009, ECtrlKind::CheckBox, 22, 140, 330, 16, L"Zasilanie z zaworu:"},
    {2010, ECtrlKind::CheckBox, 22, 164, 330, 16, L"Start w trybie AUTO po opróżnieniu zbiornika:"},
    {2011, ECtrlKind::PushButton, 22, 210, 140, 30, L"Zapisz ustawienia"},
    {2012, ECtrlKind::PushButton, 180, 210, 140, 30, L"Przywróć"},
    {2020, ECtrlKind::GroupBox, 410, 8, 380, 250, L"Wtryskiwacze"},
    {2021, ECtrlKind::LabelCenter, 420, 30, 360, 20, L"Czas wtrysku benzyny [ms]"},
    {2022, ECtrlKind::Placeholder, 430, 60, 340, 180, nullptr},
    {2030, ECtrlKind::GroupBox, 10, 270, 780, 320, L"Mapa"},
    {2031, ECtrlKind::LabelCenter, 20, 400, 760, 40, L"Tu strona umieszcza swoje kontrolki"},
};

class DemoPage : public CGDIpMultiPageDialog {
public:
    DemoPage()
        : CGDIpMultiPageDialog(314)
    {
    }

protected:
    std::span<const SCtrlLayout> layoutTable() const override { return kDemoPage; }
};

TEST(PageLayout, DemoPageScalesAtThreeWindowSizes)
{
    QFont viewFont(QStringLiteral("DejaVu Sans"));
    viewFont.setPixelSize(12);
    QWidget window;
    auto* ctrl = new CGDIpMultiPageCtrl;
    ctrl->setButtonFont(&viewFont);
    // Created at a size none of the shown ones has, so each of them is a change.
    ASSERT_TRUE(ctrl->Create(QRect(0, 0, 640, 480), &window, 100));

    const std::array<const char*, 12> titles = {"AUTO",       "GAZ",          "BENZYNA",    "Konsolka",
                                                "Wskazanie",  "Odczyty",      "Ustawienia", "Zaawansowane",
                                                "Kalibracja", "Mapa",         "OBD",        "Info"};
    DemoPage* demo = nullptr;
    for (int i = 0; i < 12; ++i) {
        CGDIpMultiPageDialog* page = i == 6 ? (demo = new DemoPage) : new CGDIpMultiPageDialog(335);
        page->setContainerFont(&viewFont);
        ASSERT_TRUE(page->Create(ctrl));
        auto* button = new CGDIpMultiPageGradientButton;
        button->m_lead = i == 0 ? 0.1 : (i == 5 ? 0.51 : 0.0);
        button->m_extent = i == 3 ? 0.15 : 0.05;
        ctrl->insertPage(QString::fromUtf8(titles[static_cast<size_t>(i)]), button, page);
    }
    ctrl->activatePage(6);
    const QSize design = CPageLayout::pageSize();

    const QSize sizes[] = {{800, 600}, {1280, 800}, {1920, 1080}};
    for (const QSize& size : sizes) {
        // The view's font rule: a pixel height of a sixtieth of the window.
        viewFont.setPixelSize(std::max(1, size.height() / 60));
        window.resize(size);
        ctrl->resize(size);
        guitest::showAndSettle(&window);
        ASSERT_EQ(demo->size(), ctrl->getPageArea().size());
        const double sx = double(demo->width()) / design.width();
        const double sy = double(demo->height()) / design.height();
        for (const SCtrlLayout& row : kDemoPage) {
            const QRect ref = CPageLayout::duToPixels(row.x, row.y, row.cx, row.cy);
            const QRect got = guitest::findById(demo, row.id)->geometry();
            EXPECT_EQ(got.left(), int(ref.left() * sx)) << row.id;
            EXPECT_EQ(got.top(), int(ref.top() * sy)) << row.id;
            EXPECT_NEAR(got.width(), ref.width() * sx, 1.0) << row.id;
            EXPECT_NEAR(got.height(), ref.height() * sy, 1.0) << row.id;
            EXPECT_EQ(guitest::findById(demo, row.id)->font().pixelSize(), viewFont.pixelSize()) << row.id;
        }
        const QString shot = guitest::saveScreenshot(
            &window, QStringLiteral("gradctrls_demo_page_%1x%2").arg(size.width()).arg(size.height()));
        EXPECT_TRUE(QFileInfo::exists(shot)) << shot.toStdString();
    }
}

} // namespace
