// SPDX-License-Identifier: GPL-3.0-or-later
// Pages against korvana-sim whose answers to one record come garbled at
// connect: the controls of the block that was not read show "—" and take no
// change, the page names the block, and "Odczytaj ponownie" reads it once the
// link is clean, after which the page shows the controller's values.
#include "guitest.h"
#include "shelltest.h"

#include <app/data/settingfields.h>
#include <app/device/lpgdevice.h>
#include <app/shell/chart2ddlg.h>
#include <app/shell/checkboximages.h>
#include <app/shell/consolesetupdlg.h>
#include <app/shell/corpressdlg.h>
#include <app/shell/corrpmdlg.h>
#include <app/shell/infodlg.h>
#include <app/shell/kormultipagectrl.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/korvanaview.h>
#include <app/shell/mainframe.h>
#include <app/shell/mapadlg.h>
#include <app/shell/maparray.h>
#include <app/shell/sensorsdlg.h>
#include <app/shell/settingcontrols.h>
#include <app/shell/spinbutton.h>
#include <app/shell/strvaluecmbbox.h>
#include <app/shell/unreadline.h>
#include <app/shell/ustawieniadlg.h>
#include <app/shell/ustawieniadodatkowedlg.h>
#include <app/shell/kalibracjadlg.h>
#include <basectrls/extedit.h>
#include <gradctrls/cellarray/cell.h>
#include <gradctrls/charts/corrchart.h>
#include <gradctrls/charts/timecorrchart.h>
#include <gradctrls/multipage/gdipmultipagectrl.h>

#include <simprocess.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

using shelltest::CShellRun;

namespace {

const QString kDash = QStringLiteral("\u2014");

class UnreadPages : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("cfg")).toLocal8Bit());
        CDeviceSession::resetRefusalNotice();
    }
    void TearDown() override
    {
        m_run.reset();
        m_sim.reset();
        qunsetenv("XDG_CONFIG_HOME");
    }

    // The program on a simulator that garbles every answer of record type at connect.
    void startGarbled(int record)
    {
        const std::string link = m_dir.filePath(QStringLiteral("controller")).toStdString();
        m_sim = std::make_unique<CSimProcess>(std::vector<std::string> { "--link", link });
        ASSERT_TRUE(m_sim->start()) << m_sim->error();
        const std::string garble = "garble record " + std::to_string(record);
        ASSERT_EQ(m_sim->send(garble), "ok " + garble);
        SAppOptions options;
        options.ports = { link };
        m_run = std::make_unique<CShellRun>(options, false);
        ASSERT_TRUE(m_run->start());
        ASSERT_TRUE(device().m_connected);
        m_run->ui.clearShown();
    }

    CLPGDevice& device() { return m_run->app().document()->device(); }
    template <class T> T* page(int index)
    {
        CKorMultiPageCtrl* mpc = m_run->app().view()->multiPage();
        mpc->activatePage(CkorvanaView::kFirstPage + index);
        return dynamic_cast<T*>(mpc->getPage(CkorvanaView::kFirstPage + index));
    }
    void screenshot(const QString& name)
    {
        CMainFrame* frame = m_run->app().mainFrame();
        guitest::resizeTo(frame, QSize(1280, 800));
        guitest::settle();
        EXPECT_FALSE(guitest::saveScreenshot(frame, name).isEmpty());
    }
    void expectLine(CUnreadLine* line, const wchar_t* names)
    {
        ASSERT_NE(line, nullptr);
        ASSERT_TRUE(line->label() && line->button());
        EXPECT_TRUE(line->label()->isVisible());
        EXPECT_TRUE(line->button()->isVisible());
        EXPECT_EQ(line->text().toStdWString(), std::wstring(L"Nie odczytano ze sterownika: ") + names);
        EXPECT_EQ(line->button()->text(), QStringLiteral("Odczytaj ponownie"));
    }

    QTemporaryDir m_dir;
    std::unique_ptr<CSimProcess> m_sim;
    std::unique_ptr<CShellRun> m_run;
};

TEST_F(UnreadPages, SettingsPagesHideTheBaseBlockUntilItIsReadAgain)
{
    startGarbled(31);
    ASSERT_FALSE(device().readBlocks().has(CReadBlocks::Base));
    ASSERT_TRUE(device().readBlocks().has(CReadBlocks::Adv));
    auto* settings = page<CUstawieniaDlg>(1);
    ASSERT_NE(settings, nullptr);
    const CSettingField* switchRpm = CSettingsTable::byControl(SettingsPage::Settings, 1149); // base
    const CSettingField* rpmMax = CSettingsTable::byControl(SettingsPage::Settings, 1057); // base, a box
    const CSettingField* minRpm = CSettingsTable::byControl(SettingsPage::Settings, 1061); // advanced setup
    const CSettingField* sensor = CSettingsTable::byControl(SettingsPage::Settings, 1129); // read, writes base too
    ASSERT_TRUE(switchRpm && rpmMax && minRpm && sensor);
    auto* rpmEdit = guitest::findById<CExtEdit>(settings, 1149);
    auto* rpmSpin = guitest::findById<CSpinButton>(settings, switchRpm->spinId);
    auto* rpmBox = guitest::findById<QCheckBox>(settings, 1057);
    auto* injectorList = guitest::findById<CStrValueCmbBox>(settings, 1107);
    auto* minRpmEdit = guitest::findById<CExtEdit>(settings, 1061);
    auto* sensorList = guitest::findById<CStrValueCmbBox>(settings, 1129);
    ASSERT_TRUE(rpmEdit && rpmSpin && rpmBox && injectorList && minRpmEdit && sensorList);

    // The base block's fields: a dash, and nothing to change them with.
    EXPECT_EQ(rpmEdit->text(), kDash);
    EXPECT_FALSE(rpmEdit->isEnabled());
    EXPECT_FALSE(rpmSpin->isEnabled());
    EXPECT_FALSE(rpmBox->isEnabled());
    EXPECT_TRUE(rpmBox->property(CCheckBoxImages::kNoValueProperty).toBool());
    // The other blocks' fields: their values, to be changed as always.
    EXPECT_TRUE(injectorList->isEnabled());
    EXPECT_GE(injectorList->currentIndex(), 0);
    EXPECT_TRUE(minRpmEdit->isEnabled());
    EXPECT_EQ(minRpmEdit->text().toStdWString(), CSettingsTable::text(*minRpm, device().image()));
    // A list that was read but whose change writes the base block too shows its value, and takes no change.
    EXPECT_EQ(sensorList->value(-1), static_cast<int>(CSettingsTable::value(*sensor, device().image())));
    EXPECT_FALSE(sensorList->isEnabled());
    expectLine(settings->settings()->unreadLine(), L"m_base");
    screenshot(QStringLiteral("unread_ustawienia_base"));

    // Whatever reaches the handler (a key, a script) changes nothing and sends nothing.
    const std::string store = settingsOf(m_sim->send("dump store"));
    const double before = CSettingsTable::value(*switchRpm, device().image());
    settings->settings()->onSpin(*switchRpm, -1);
    settings->settings()->onCheck(*rpmMax, true);
    EXPECT_EQ(CSettingsTable::value(*switchRpm, device().image()), before);
    EXPECT_EQ(settingsOf(m_sim->send("dump store")), store);
    EXPECT_TRUE(m_run->ui.shown().empty());

    auto* advanced = page<CUstawieniaDodatkoweDlg>(2);
    ASSERT_NE(advanced, nullptr);
    auto* temprRef = guitest::findById<CExtEdit>(advanced, 1001); // base
    auto* pwm = guitest::findById<CExtEdit>(advanced, 1010); // adv
    ASSERT_TRUE(temprRef && pwm);
    EXPECT_EQ(temprRef->text(), kDash);
    EXPECT_FALSE(temprRef->isEnabled());
    EXPECT_NE(pwm->text(), kDash);
    EXPECT_TRUE(pwm->isEnabled());
    expectLine(advanced->settings()->unreadLine(), L"m_base");

    // While the answers stay garbled, the button says the read failed and the page stays as it is.
    settings = page<CUstawieniaDlg>(1);
    guitest::click(settings->settings()->unreadLine()->button());
    ASSERT_EQ(m_run->ui.shown().size(), 1u);
    EXPECT_EQ(m_run->ui.shown()[0].text, L"Nie powiodło się wczytanie ustawień urządzenia!");
    EXPECT_EQ(rpmEdit->text(), kDash);
    EXPECT_TRUE(settings->settings()->unreadLine()->label()->isVisible());
    m_run->ui.clearShown();

    // Once the link is clean, the button reads the block and the pages show the controller's values.
    ASSERT_EQ(m_sim->send("garble off"), "ok garble off");
    guitest::click(settings->settings()->unreadLine()->button());
    EXPECT_TRUE(m_run->ui.shown().empty());
    ASSERT_TRUE(device().readBlocks().has(CReadBlocks::Base));
    EXPECT_FALSE(settings->settings()->unreadLine()->label()->isVisible());
    EXPECT_FALSE(settings->settings()->unreadLine()->button()->isVisible());
    EXPECT_EQ(rpmEdit->text().toStdWString(), CSettingsTable::text(*switchRpm, device().image()));
    EXPECT_TRUE(rpmEdit->isEnabled());
    EXPECT_TRUE(rpmSpin->isEnabled());
    EXPECT_TRUE(rpmBox->isEnabled());
    EXPECT_FALSE(rpmBox->property(CCheckBoxImages::kNoValueProperty).toBool());
    EXPECT_TRUE(sensorList->isEnabled());
    screenshot(QStringLiteral("unread_ustawienia_read_again"));
    advanced = page<CUstawieniaDodatkoweDlg>(2);
    EXPECT_NE(temprRef->text(), kDash);
    EXPECT_FALSE(advanced->settings()->unreadLine()->label()->isVisible());

    // And a spin reaches the controller again.
    page<CUstawieniaDlg>(1);
    guitest::click(rpmSpin->upButton());
    // Up to the next speed the controller reads back as itself.
    EXPECT_GT(CSettingsTable::value(*switchRpm, device().image()), before);
    EXPECT_NE(settingsOf(m_sim->send("dump store")), store);
}

TEST_F(UnreadPages, MapPageShowsNoMapUntilItIsReadAgain)
{
    startGarbled(5);
    ASSERT_FALSE(device().readBlocks().has(CReadBlocks::InjMap));
    ASSERT_TRUE(device().readBlocks().has(CReadBlocks::MapAxes));
    auto* mapa = page<CMapaDlg>(4);
    ASSERT_NE(mapa, nullptr);
    mapa->multiPage()->activatePage(1);
    auto* corRpm = dynamic_cast<CCorRpmDlg*>(mapa->subPage(1));
    ASSERT_NE(corRpm, nullptr);
    CMapArray* grid = corRpm->grid();
    ASSERT_NE(grid, nullptr);

    EXPECT_FALSE(grid->isEnabled());
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapCols; ++c)
            ASSERT_TRUE(grid->cellAt(r, c)->getTxt().isEmpty()) << c << "," << r;
    // The axes were read: their headers keep their values.
    EXPECT_NE(grid->getColHdrs()[0]->getTxt(), kDash);
    EXPECT_FALSE(guitest::findById(corRpm, CCorRpmDlg::kBtnClearMap)->isEnabled());
    expectLine(mapa->unreadLine(), L"m_injMapTable");
    screenshot(QStringLiteral("unread_mapa_map"));

    // A step edit from the keyboard is not taken.
    const auto map = device().image().m_corrMap.m_injMapTable;
    const std::string store = settingsOf(m_sim->send("dump store"));
    grid->model().selectRect({ 5, 6, 7, 8 });
    guitest::pressKey(grid, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(device().image().m_corrMap.m_injMapTable, map);
    EXPECT_EQ(settingsOf(m_sim->send("dump store")), store);

    ASSERT_EQ(m_sim->send("garble off"), "ok garble off");
    guitest::click(mapa->unreadLine()->button());
    EXPECT_TRUE(m_run->ui.shown().empty());
    ASSERT_TRUE(device().readBlocks().has(CReadBlocks::InjMap));
    EXPECT_FALSE(mapa->unreadLine()->label()->isVisible());
    EXPECT_TRUE(grid->isEnabled());
    EXPECT_TRUE(guitest::findById(corRpm, CCorRpmDlg::kBtnClearMap)->isEnabled());
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapCols; ++c)
            ASSERT_TRUE(!grid->cellAt(r, c)->getTxt().isEmpty()
                && grid->cellAt(r, c)->getTxt().toInt() == grid->cellValue(c, r))
                << c << "," << r;
    screenshot(QStringLiteral("unread_mapa_read_again"));
}

TEST_F(UnreadPages, CorrectionCurvesShowNoCurveUntilTheirBlockIsRead)
{
    startGarbled(32); // the pressure corrections
    ASSERT_FALSE(device().readBlocks().has(CReadBlocks::PressCorr));
    auto* mapa = page<CMapaDlg>(4);
    ASSERT_NE(mapa, nullptr);
    mapa->multiPage()->activatePage(3);
    auto* pressure = dynamic_cast<CCorPressDlg*>(mapa->subPage(3));
    ASSERT_TRUE(pressure && pressure->chart());
    EXPECT_FALSE(pressure->chart()->curveShown());
    EXPECT_FALSE(pressure->chart()->isEnabled());
    EXPECT_FALSE(guitest::findById(pressure, CCorrCurveDlg::kBtnClearCorr)->isEnabled());
    expectLine(mapa->unreadLine(), L"m_pressCorr");
    screenshot(QStringLiteral("unread_mapa_pressure_corrections"));
    // The other curves were read: the 2D chart's stays.
    mapa->multiPage()->activatePage(0);
    auto* chart2d = dynamic_cast<CChart2DDlg*>(mapa->subPage(0));
    ASSERT_TRUE(chart2d && chart2d->chart());
    EXPECT_TRUE(chart2d->chart()->curveShown());

    ASSERT_EQ(m_sim->send("garble off"), "ok garble off");
    guitest::click(mapa->unreadLine()->button());
    ASSERT_TRUE(device().readBlocks().has(CReadBlocks::PressCorr));
    mapa->multiPage()->activatePage(3);
    EXPECT_TRUE(pressure->chart()->curveShown());
    EXPECT_TRUE(guitest::findById(pressure, CCorrCurveDlg::kBtnClearCorr)->isEnabled());
    const auto& table = device().image().m_sensorsSetup.m_pressCorr;
    const std::vector<double> shown = pressure->chart()->values();
    ASSERT_EQ(shown.size(), table.size());
    for (std::size_t i = 0; i < shown.size(); ++i)
        EXPECT_EQ(shown[i], std::trunc(table[i])) << i;
    EXPECT_TRUE(m_run->ui.shown().empty());
}

TEST_F(UnreadPages, Chart2DShowsNoCorrectionCurveUntilItIsRead)
{
    startGarbled(7); // the first setup times: the 2D chart's correction curve
    ASSERT_FALSE(device().readBlocks().has(CReadBlocks::SetupTimes1));
    auto* mapa = page<CMapaDlg>(4);
    ASSERT_NE(mapa, nullptr);
    mapa->multiPage()->activatePage(0);
    auto* chart2d = dynamic_cast<CChart2DDlg*>(mapa->subPage(0));
    ASSERT_TRUE(chart2d && chart2d->chart());
    EXPECT_FALSE(chart2d->chart()->curveShown());
    EXPECT_FALSE(guitest::findById(chart2d, CChart2DDlg::kBtnClearCorr)->isEnabled());
    EXPECT_FALSE(guitest::findById(chart2d, CChart2DDlg::kBtnCreate)->isEnabled());
    EXPECT_TRUE(guitest::findById(chart2d, CChart2DDlg::kCmbAutomap)->isEnabled());
    expectLine(mapa->unreadLine(), L"m_setupTimes1");
    screenshot(QStringLiteral("unread_mapa_chart2d"));

    ASSERT_EQ(m_sim->send("garble off"), "ok garble off");
    guitest::click(mapa->unreadLine()->button());
    ASSERT_TRUE(device().readBlocks().has(CReadBlocks::SetupTimes1));
    EXPECT_TRUE(chart2d->chart()->curveShown());
    EXPECT_TRUE(guitest::findById(chart2d, CChart2DDlg::kBtnCreate)->isEnabled());
    EXPECT_TRUE(m_run->ui.shown().empty());
}

TEST_F(UnreadPages, InfoAndDialogsHideTheAdvancedSetupUntilItIsReadAgain)
{
    startGarbled(26);
    ASSERT_FALSE(device().readBlocks().has(CReadBlocks::AdvancedSetup));
    ASSERT_TRUE(device().readBlocks().has(CReadBlocks::Base));
    auto* info = page<CInfoDlg>(6);
    ASSERT_NE(info, nullptr);
    auto* inspection = guitest::findById<QComboBox>(info, CInfoDlg::kInspectionId);
    auto* km = guitest::findById<QLineEdit>(info, CInfoDlg::kKmId);
    auto* lastChange = guitest::findById<QLineEdit>(info, CInfoDlg::kLastConnectionId);
    ASSERT_TRUE(inspection && km && lastChange);
    EXPECT_FALSE(inspection->isEnabled());
    EXPECT_EQ(inspection->currentIndex(), -1);
    EXPECT_EQ(km->text(), kDash);
    EXPECT_NE(lastChange->text(), kDash);
    expectLine(info->unreadLine(), L"m_advancedSetup");
    screenshot(QStringLiteral("unread_info_advanced_setup"));

    const CPageContext context = m_run->app().document()->pageContext();
    {
        CConsoleSetupDlg dialog(context, m_run->app().mainFrame());
        ASSERT_TRUE(dialog.Create());
        guitest::showAndSettle(&dialog);
        auto* sevenLed = guitest::findById<QCheckBox>(&dialog, CConsoleSetupDlg::kSevenLedId); // advanced setup
        auto* buzzer = guitest::findById<QCheckBox>(&dialog, CConsoleSetupDlg::kBuzzerId); // base
        ASSERT_TRUE(sevenLed && buzzer);
        EXPECT_FALSE(sevenLed->isEnabled());
        EXPECT_TRUE(sevenLed->property(CCheckBoxImages::kNoValueProperty).toBool());
        EXPECT_TRUE(buzzer->isEnabled());
        expectLine(dialog.unreadLine(), L"m_advancedSetup");
        EXPECT_FALSE(guitest::saveScreenshot(&dialog, QStringLiteral("unread_console_setup")).isEmpty());
        // A click that reaches the handler changes nothing.
        const uint16_t flags = device().image().m_advancedSetup.m_advancedFlags3;
        sevenLed->setChecked(!sevenLed->isChecked());
        dialog.onBox(CConsoleSetupDlg::kSevenLedId);
        EXPECT_EQ(device().image().m_advancedSetup.m_advancedFlags3, flags);
    }
    {
        CSensorsDlg dialog(context, m_run->app().mainFrame());
        ASSERT_TRUE(dialog.Create());
        guitest::showAndSettle(&dialog);
        auto* valve = guitest::findById(&dialog, CSensorsDlg::kValveSupplyId); // advanced setup
        auto* full = guitest::findById<QLineEdit>(&dialog, CSensorsDlg::kThresholdIds[0]); // sensor setup
        ASSERT_TRUE(valve && full);
        EXPECT_FALSE(valve->isEnabled());
        EXPECT_EQ(full->text().toInt(), device().image().m_sensorsSetup.m_fuelFull);
        EXPECT_TRUE(full->isEnabled());
        EXPECT_FALSE(guitest::saveScreenshot(&dialog, QStringLiteral("unread_level_sensor")).isEmpty());

        // The dialog's own button reads the block again.
        ASSERT_EQ(m_sim->send("garble off"), "ok garble off");
        guitest::click(guitest::findById(&dialog, CUnreadLine::kButtonId));
        EXPECT_TRUE(device().readBlocks().has(CReadBlocks::AdvancedSetup));
        EXPECT_TRUE(valve->isEnabled());
        EXPECT_FALSE(guitest::findById(&dialog, CUnreadLine::kLabelId)->isVisible());
    }
    EXPECT_TRUE(m_run->ui.shown().empty());
    info = page<CInfoDlg>(6);
    EXPECT_TRUE(inspection->isEnabled());
    EXPECT_GE(inspection->currentIndex(), 0);
    EXPECT_NE(km->text(), kDash);
    EXPECT_FALSE(info->unreadLine()->label()->isVisible());
}

TEST_F(UnreadPages, CalibrationShowsNoCorrectionsAndDoesNotStartUntilTheyAreRead)
{
    startGarbled(15);
    ASSERT_FALSE(device().readBlocks().has(CReadBlocks::MainCorr));
    auto* calibration = page<CKalibracjaDlg>(3);
    ASSERT_NE(calibration, nullptr);
    for (int i = 0; i < device().image().m_devInfo.m_injCount; ++i) {
        EXPECT_EQ(calibration->correctionText(i), kDash) << i;
        EXPECT_FALSE(guitest::findById(calibration, CKalibracjaDlg::kFirstSpinId + i)->isEnabled()) << i;
    }
    EXPECT_FALSE(guitest::findById(calibration, CKalibracjaDlg::kStartId)->isEnabled());
    expectLine(calibration->unreadLine(), L"m_mainCorr");
    screenshot(QStringLiteral("unread_kalibracja_main_corrections"));

    const auto corrections = device().image().m_mainCorr;
    calibration->onDeltaSpinMainCorr(0, -1);
    EXPECT_EQ(device().image().m_mainCorr, corrections);

    ASSERT_EQ(m_sim->send("garble off"), "ok garble off");
    guitest::click(calibration->unreadLine()->button());
    ASSERT_TRUE(device().readBlocks().has(CReadBlocks::MainCorr));
    EXPECT_NE(calibration->correctionText(0), kDash);
    EXPECT_TRUE(guitest::findById(calibration, CKalibracjaDlg::kFirstSpinId)->isEnabled());
    EXPECT_TRUE(guitest::findById(calibration, CKalibracjaDlg::kStartId)->isEnabled());
    EXPECT_TRUE(m_run->ui.shown().empty());
}

} // namespace
