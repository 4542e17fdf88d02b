// SPDX-License-Identifier: GPL-3.0-or-later
// "Historia" in the program against korvana-sim: the connection leaves its
// point, a page's write its two; the window lists them under the controller,
// compares two points (the setting by its page's name, the curve as a chart,
// the map cell coloured with both values) and puts back only the map of a point, after a confirmation that
// lists what changes.
#include "guitest.h"
#include "shelltest.h"

#include <app/data/readblocks.h>
#include <app/device/historyrecorder.h>
#include <app/device/writesession.h>
#include <app/platform/porttable.h>
#include <app/shell/historiadlg.h>
#include <app/shell/infodlg.h>
#include <app/shell/kormultipagectrl.h>
#include <app/shell/korvanaview.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/mainframe.h>
#include <app/shell/menumnemonics.h>

#include <simprocess.h>

#include <QDialogButtonBox>
#include <QPushButton>
#include <QAbstractButton>
#include <QMenuBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

using shelltest::CShellRun;

namespace {

class HistoryWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("cfg")).toLocal8Bit());
        CDeviceSession::resetRefusalNotice();
        m_history = std::make_unique<CHistoryRecorder>(m_dir.filePath(QStringLiteral("history.sqlite3")).toStdString());
        CHistoryRecorder::install(m_history.get());
    }
    void TearDown() override
    {
        m_run.reset();
        m_sim.reset();
        CHistoryRecorder::install(nullptr);
        qunsetenv("XDG_CONFIG_HOME");
    }
    void start()
    {
        const std::string link = m_dir.filePath(QStringLiteral("controller")).toStdString();
        m_sim = std::make_unique<CSimProcess>(std::vector<std::string> { "--link", link });
        ASSERT_TRUE(m_sim->start()) << m_sim->error();
        SAppOptions options;
        options.ports = { link };
        m_run = std::make_unique<CShellRun>(options, false);
        ASSERT_TRUE(m_run->start());
        ASSERT_TRUE(device().m_connected);
        // The connection's point is taken once the event loop runs.
        ASSERT_TRUE(guitest::waitFor([&] { return m_history->store().list().size() == 1; }));
    }
    CLPGDevice& device() { return m_run->app().document()->device(); }

    QTemporaryDir m_dir;
    std::unique_ptr<CHistoryRecorder> m_history;
    std::unique_ptr<CSimProcess> m_sim;
    std::unique_ptr<CShellRun> m_run;
};

} // namespace

TEST_F(HistoryWindow, ListsComparesAndPutsBackTheMapAlone)
{
    start();
    const auto originalMap = settingsStore(*m_sim).at("memory");
    // A page's two writes: a setting, then a cell of the map.
    const double tempr = device().image().m_base.m_switchTempr + 5;
    device().liveImage().m_base.m_switchTempr = tempr;
    device().liveImage().m_setupTimes1[3] += 2;
    ASSERT_TRUE(CWriteSession::writeBlocks(device(), L"test", { CReadBlocks::Base, CReadBlocks::SetupTimes1 }).ok());
    device().liveImage().m_corrMap.m_injMapTable[5][6] += 7;
    ASSERT_TRUE(CWriteSession::writeBlocks(device(), L"CMapArray::test", { CReadBlocks::InjMap }).ok());
    ASSERT_NE(settingsStore(*m_sim).at("memory"), originalMap);
    const auto points = m_history->store().list();
    ASSERT_EQ(points.size(), 5u);
    EXPECT_EQ(points[1].operation, "before set");
    EXPECT_EQ(points[4].operation, "after map");

    bool inMenu = false;
    for (QAction* action : m_run->app().mainFrame()->findChildren<QAction*>())
        inMenu = inMenu || withoutMnemonic(action->text()) == QStringLiteral("Historia");
    EXPECT_TRUE(inMenu);
    // The Info page's button opens the window too.
    CKorMultiPageCtrl* pages = m_run->app().view()->multiPage();
    pages->activatePage(CkorvanaView::kFirstPage + 6);
    auto* info = dynamic_cast<CInfoDlg*>(pages->getPage(CkorvanaView::kFirstPage + 6));
    ASSERT_NE(info, nullptr);
    auto* button = qobject_cast<QAbstractButton*>(guitest::findById(info, CInfoDlg::kHistoryId));
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->isVisible());
    bool opened = false;
    shelltest::onNextModal([&](QWidget* modal) {
        auto* shown = qobject_cast<CHistoriaDlg*>(modal);
        opened = shown && shown->points()->topLevelItemCount() == 1;
        modal->close();
    });
    guitest::click(button);
    EXPECT_TRUE(opened);

    CHistoriaDlg dialog(*m_history, device(), m_run->app().mainFrame());
    ASSERT_TRUE(dialog.Create());
    dialog.show();
    guitest::settle();
    ASSERT_EQ(dialog.points()->topLevelItemCount(), 1);
    QTreeWidgetItem* controller = dialog.points()->topLevelItem(0);
    EXPECT_TRUE(controller->text(0).startsWith(QStringLiteral("SIM0412345"))) << controller->text(0).toStdString();
    ASSERT_EQ(controller->childCount(), 5);
    EXPECT_EQ(controller->child(3)->text(1), QStringLiteral("Przed zmianą mapy"));

    dialog.selectPoints({ points[0].id, points[4].id });
    ASSERT_TRUE(dialog.compare());
    QTableWidget* diff = dialog.differences();
    ASSERT_EQ(diff->rowCount(), 2); // the setting, and the point of the curve
    EXPECT_EQ(diff->item(1, 0)->text(), QStringLiteral("m_setupTimes1[4]"));
    EXPECT_EQ(dialog.curveCount(), 1);
    EXPECT_EQ(diff->item(0, 0)->data(Qt::UserRole).toString(), QStringLiteral("m_base.m_switchTempr"));
    EXPECT_EQ(diff->item(0, 0)->text(), QStringLiteral("Temperatura automatycznego przełączenia"));
    EXPECT_TRUE(diff->item(0, 2)->text().startsWith(QString::number(tempr))) << diff->item(0, 2)->text().toStdString();
    QTableWidget* map = dialog.mapGrid();
    EXPECT_TRUE(map->item(5, 6)->text().contains(QStringLiteral(" → "))) << map->item(5, 6)->text().toStdString();
    EXPECT_NE(map->item(5, 6)->background(), map->item(5, 7)->background());
    EXPECT_FALSE(map->item(5, 7)->text().contains(QStringLiteral("→")));
    guitest::resizeTo(&dialog, QSize(1280, 860));
    guitest::settle();
    EXPECT_FALSE(guitest::saveScreenshot(&dialog, QStringLiteral("history-compare")).isEmpty());

    // The first point's map alone goes back, after the confirmation that names the cell.
    dialog.selectPoints({ points[0].id });
    // "Przywróć…" asks for the groups first; its OK says the controller restarts, Cancel that nothing is written.
    QString okTip, cancelTip;
    shelltest::onNextModal([&](QWidget* modal) {
        if (auto* box = modal->findChild<QDialogButtonBox*>()) {
            okTip = box->button(QDialogButtonBox::Ok)->toolTip();
            cancelTip = box->button(QDialogButtonBox::Cancel)->toolTip();
        }
        modal->close();
    });
    guitest::click(qobject_cast<QAbstractButton*>(guitest::findById(&dialog, CHistoriaDlg::kRestoreId)));
    EXPECT_TRUE(okTip.contains(QStringLiteral("uruchamia ponownie"))) << okTip.toStdString();
    EXPECT_TRUE(cancelTip.contains(QStringLiteral("niczego nie wpisuje"))) << cancelTip.toStdString();
    uint32_t mask = 0;
    bool obd = false;
    ASSERT_TRUE(historyGroupBlocks("map", mask, obd));
    m_run->ui.clearShown();
    m_run->ui.queueAnswer(true);
    ASSERT_TRUE(dialog.restore(mask, obd));
    ASSERT_FALSE(m_run->ui.shown().empty());
    EXPECT_NE(m_run->ui.shown().front().text.find(L"m_injMapTable["), std::wstring::npos);
    EXPECT_EQ(m_run->ui.shown().front().text.find(L"m_switchTempr"), std::wstring::npos);
    EXPECT_EQ(settingsStore(*m_sim).at("memory"), originalMap);
    EXPECT_EQ(device().heldImage().m_base.m_switchTempr, tempr);
    const auto after = m_history->store().list();
    EXPECT_EQ(after.back().operation, "after restore");
    EXPECT_EQ(dialog.points()->topLevelItem(0)->childCount(), static_cast<int>(after.size()));
}
