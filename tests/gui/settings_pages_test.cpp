// SPDX-License-Identifier: GPL-3.0-or-later
// "Ustawienia", "Zaawansowane", "Info" and the console setup in the program
// against korvana-sim: a spin's upper arrow adds one step and reaches the
// controller, one step beyond the range changes nothing anywhere, a value
// list offline changes nothing, a restart setting on a car on LPG ends back in
// automatic mode, the identity fields in their formats, the error memory read
// and cleared, and the console setup opened by a double click.
#include "guitest.h"
#include "shelltest.h"

#include <app/data/settingsfile.h>
#include <app/data/settingfields.h>
#include <app/data/settingsio.h>
#include <app/data/workingtime.h>
#include <app/data/blockcodec.h>
#include <app/device/settingwriter.h>
#include <app/platform/pcid.h>
#include <app/shell/consolebtn.h>
#include <app/shell/consolesetupdlg.h>
#include <app/shell/infodlg.h>
#include <app/shell/mainframe.h>
#include <app/shell/menucommands.h>
#include <app/shell/settingsdiffdlg.h>
#include <app/shell/spinbutton.h>
#include <app/shell/kormultipagectrl.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/korvanaview.h>
#include <app/shell/settingcontrols.h>
#include <app/shell/strvaluecmbbox.h>
#include <app/shell/ustawieniadlg.h>
#include <app/shell/ustawieniadodatkowedlg.h>
#include <basectrls/extedit.h>
#include <gradctrls/multipage/imultipagebutton.h>

#include <simprocess.h>

#include <QAbstractButton>
#include <QLabel>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

#include <map>

#include <functional>
#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

using shelltest::CShellRun;

namespace {

using guitest::waitFor;

class SettingsPages : public ::testing::Test {
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

    // The program against a fresh simulator, or with no port at all (offline).
    void start(bool withSim = true, double timeScale = 1)
    {
        SAppOptions options;
        if (withSim) {
            const std::string link = m_dir.filePath(QStringLiteral("controller")).toStdString();
            std::vector<std::string> args { "--link", link };
            if (timeScale != 1)
                args.insert(args.end(), { "--time-scale", std::to_string(timeScale) });
            m_sim = std::make_unique<CSimProcess>(args);
            ASSERT_TRUE(m_sim->start()) << m_sim->error();
            options.ports = { link };
        } else {
            options.ports = { m_dir.filePath(QStringLiteral("none")).toStdString() };
        }
        m_run = std::make_unique<CShellRun>(options, false);
        // The program's waits run at the simulator's pace.
        m_run->ui.onSleep = [timeScale](unsigned ms) {
            std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(ms * 1000 / timeScale)));
        };
        ASSERT_TRUE(m_run->start());
    }
    CkorvanaDoc& doc() { return *m_run->app().document(); }
    CLPGDevice& device() { return doc().device(); }
    template <class T>
    T* page(int index)
    {
        CKorMultiPageCtrl* mpc = m_run->app().view()->multiPage();
        mpc->activatePage(CkorvanaView::kFirstPage + index);
        return dynamic_cast<T*>(mpc->getPage(CkorvanaView::kFirstPage + index));
    }
    // The controller's value of the field, read back from it.
    double controllerValue(const CSettingField& f)
    {
        const CSettingsImage kept = device().image();
        bool read = true;
        if (f.blocks & kBlockBase)
            read = read && device().readBlock(CReadBlocks::Base);
        if (f.blocks & kBlockAdv)
            read = read && device().readBlock(CReadBlocks::Adv);
        if (f.blocks & kBlockAdvancedSetup)
            read = read && device().readBlock(CReadBlocks::AdvancedSetup);
        EXPECT_TRUE(read) << f.key;
        const double value = CSettingsTable::value(f, device().image());
        device().liveImage() = kept;
        return value;
    }
    // The field as the controller can hold it: the image sent and decoded again
    // (engine speeds travel as periods, so near 4000 rpm neighbours share one).
    double asHeld(const CSettingField& f)
    {
        CSettingsImage image = device().image();
        if (f.blocks & kBlockBase)
            decodeBase(encodeBase(image), image);
        if (f.blocks & kBlockAdv)
            decodeAdv(encodeAdv(image), image);
        if (f.blocks & kBlockAdvancedSetup)
            decodeAdvancedSetup(encodeAdvancedSetup(image), image);
        return CSettingsTable::value(f, image);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<CSimProcess> m_sim;
    std::unique_ptr<CShellRun> m_run;
};

struct SSpinCase {
    SettingsPage page;
    int editId;
};

TEST_F(SettingsPages, SpinsStepReachTheControllerAndStopAtTheirRange)
{
    start();
    ASSERT_TRUE(device().m_connected);
    const SSpinCase cases[] = {
        { SettingsPage::Settings, 1149 }, // switch-over rpm, base
        { SettingsPage::Settings, 1014 }, // working pressure in bar, base
        { SettingsPage::Settings, 1056 }, // return rpm, paired with the upper limit
        { SettingsPage::Settings, 1061 }, // minimum rpm on LPG, advanced setup
        { SettingsPage::Advanced, 1010 }, // current limit, advanced
        { SettingsPage::Advanced, 1005 }, // injection start delay, base
        { SettingsPage::Advanced, 1060 }, // enrichment at switch-over, advanced setup, negative range
        { SettingsPage::Advanced, 1004 }, // upper correction temperature, lower bound follows another field
    };
    for (const SSpinCase& c : cases) {
        const CSettingField* f = CSettingsTable::byControl(c.page, c.editId);
        ASSERT_NE(f, nullptr) << c.editId;
        SCOPED_TRACE(f->key);
        QWidget* dlg = c.page == SettingsPage::Settings ? static_cast<QWidget*>(page<CUstawieniaDlg>(1))
                                                        : static_cast<QWidget*>(page<CUstawieniaDodatkoweDlg>(2));
        ASSERT_NE(dlg, nullptr);
        auto* edit = guitest::findById<CExtEdit>(dlg, f->controlId);
        auto* spin = guitest::findById<CSpinButton>(dlg, f->spinId);
        ASSERT_TRUE(edit && spin);
        EXPECT_FALSE(edit->toolTip().isEmpty());

        // One step up from a value inside the range; where the controller would
        // read that step back as the old value (speeds read to 100 rpm), the next one that moves.
        CSettingsImage& image = device().liveImage();
        CSettingsTable::setValue(*f, image, CSettingsTable::rangeMax(*f, image) - 3 * f->step);
        const double start = CSettingsTable::value(*f, image);
        ASSERT_TRUE(CSettingWriter::write(device(), f->blocks, false, false).ok());
        guitest::click(spin->upButton());
        const double up = CSettingsTable::value(*f, device().image());
        if (CSettingsTable::snap(*f, device().image(), start + f->step) == start + f->step)
            EXPECT_NEAR(up, start + f->step, 1e-9);
        else
            EXPECT_GT(up, start);
        EXPECT_EQ(edit->text().toStdWString(), CSettingsTable::formatValue(*f, up));
        EXPECT_NEAR(controllerValue(*f), up, 1e-9) << "the block reached the controller and reads back as shown";

        // At the upper end the upper arrow is refused: field, text and controller stay.
        const double top = CSettingsTable::rangeMax(*f, device().image());
        CSettingsTable::setValue(*f, device().liveImage(), top);
        ASSERT_TRUE(CSettingWriter::write(device(), f->blocks, false, false).ok());
        guitest::click(spin->downButton());
        guitest::click(spin->upButton());
        const QString shown = edit->text();
        guitest::click(spin->upButton());
        EXPECT_NEAR(CSettingsTable::value(*f, device().image()), top, 1e-9);
        EXPECT_EQ(edit->text(), shown);
        EXPECT_NEAR(controllerValue(*f), asHeld(*f), 1e-9);
    }
    EXPECT_TRUE(m_run->ui.shown().empty());
}

// 1250 rpm would travel as a period that reads back as 1300: the spin and a
// typed value go to values the controller reads back as themselves.
TEST_F(SettingsPages, EngineSpeedsMoveToValuesTheControllerReadsBackAsThemselves)
{
    start();
    auto* dlg = page<CUstawieniaDlg>(1);
    const CSettingField* f = CSettingsTable::byControl(SettingsPage::Settings, 1149);
    auto* edit = guitest::findById<CExtEdit>(dlg, 1149);
    auto* spin = f ? guitest::findById<CSpinButton>(dlg, f->spinId) : nullptr;
    ASSERT_TRUE(f && edit && spin);
    edit->setText(QStringLiteral("1250"));
    dlg->settings()->onTyped(*f);
    EXPECT_EQ(CSettingsTable::value(*f, device().image()), 1300);
    EXPECT_EQ(edit->text(), QStringLiteral("1300"));
    EXPECT_EQ(controllerValue(*f), 1300);
    guitest::click(spin->upButton());
    EXPECT_EQ(CSettingsTable::value(*f, device().image()), 1400) << "1320 … 1340 read back as 1300";
    EXPECT_EQ(controllerValue(*f), 1400);
    guitest::click(spin->downButton());
    EXPECT_EQ(CSettingsTable::value(*f, device().image()), 1300);
    EXPECT_EQ(controllerValue(*f), 1300);
    EXPECT_TRUE(m_run->ui.shown().empty());
}

TEST_F(SettingsPages, TypedValueOutsideTheRangeIsRefusedWithTheRange)
{
    start();
    auto* dlg = page<CUstawieniaDlg>(1);
    const CSettingField* f = CSettingsTable::byControl(SettingsPage::Settings, 1149);
    auto* edit = guitest::findById<CExtEdit>(dlg, 1149);
    ASSERT_TRUE(f && edit);
    const double before = CSettingsTable::value(*f, device().image());
    edit->setText(QStringLiteral("4020"));
    dlg->settings()->onTyped(*f);
    EXPECT_EQ(CSettingsTable::value(*f, device().image()), before);
    ASSERT_EQ(m_run->ui.shown().size(), 1u);
    EXPECT_NE(m_run->ui.shown()[0].text.find(L"500 … 4000"), std::wstring::npos);
    EXPECT_EQ(edit->text().toStdWString(), CSettingsTable::formatValue(*f, before));
    // Beside the field too, until a value is taken; the label says the range before anything is typed.
    EXPECT_NE(edit->property(CSettingControls::kRefusedProperty).toString().indexOf(QStringLiteral("500 … 4000")), -1);
    auto* label = guitest::findById<QLabel>(dlg, 1149 + CSettingControls::kLabelIdOffset);
    ASSERT_NE(label, nullptr);
    EXPECT_NE(label->toolTip().indexOf(QStringLiteral("500 … 4000")), -1);
    EXPECT_TRUE(dlg->settings()->lastConfirmation().isEmpty()) << "nothing was written";

    edit->setText(QStringLiteral("2000"));
    dlg->settings()->onTyped(*f);
    EXPECT_EQ(CSettingsTable::value(*f, device().image()), 2000);
    EXPECT_EQ(controllerValue(*f), 2000);
    EXPECT_FALSE(edit->property(CSettingControls::kRefusedProperty).isValid());
    // The write is confirmed: in the caption, naming the field, its value and its unit.
    QString name = QString::fromStdWString(f->label).trimmed();
    while (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    const QString confirmation = QStringLiteral("Zapisano: ") + name + QStringLiteral(" 2000 ")
        + QString::fromStdWString(f->unit);
    EXPECT_EQ(dlg->settings()->lastConfirmation(), confirmation);
    EXPECT_NE(m_run->app().mainFrame()->captionLine().indexOf(confirmation), -1);
}

// Edit → Cofnij / Przywróć on a settings page: the field's last change goes back into the controller and again.
TEST_F(SettingsPages, UndoAndRedoPutAFieldBackInTheController)
{
    start();
    auto* dlg = page<CUstawieniaDlg>(1);
    const CSettingField* f = CSettingsTable::byControl(SettingsPage::Settings, 1149);
    auto* edit = guitest::findById<CExtEdit>(dlg, 1149);
    ASSERT_TRUE(f && edit);
    const double before = CSettingsTable::value(*f, device().image());
    const double changed = before == 2000 ? 2100 : 2000;
    edit->setText(QString::number(changed));
    dlg->settings()->onTyped(*f);
    ASSERT_EQ(controllerValue(*f), changed);
    ASSERT_TRUE(dlg->settings()->canUndo());

    CMainFrame* frame = m_run->app().mainFrame();
    frame->onCommand(MenuCmd::kEditUndo);
    EXPECT_EQ(controllerValue(*f), before);
    EXPECT_EQ(edit->text().toStdWString(), CSettingsTable::formatValue(*f, before));
    EXPECT_FALSE(dlg->settings()->canUndo());
    frame->onCommand(MenuCmd::kEditRedo);
    EXPECT_EQ(controllerValue(*f), changed);
    EXPECT_TRUE(dlg->settings()->canUndo());
    EXPECT_EQ(m_run->ui.unexpectedQuestions(), 0u);
}

TEST_F(SettingsPages, FailedWriteIsShownInTheWarningColourUntilWritten)
{
    start();
    auto* dlg = page<CUstawieniaDlg>(1);
    const CSettingField* f = CSettingsTable::byControl(SettingsPage::Settings, 1152);
    auto* edit = guitest::findById<CExtEdit>(dlg, 1152);
    auto* spin = guitest::findById<CSpinButton>(dlg, f->spinId);
    ASSERT_TRUE(f && edit && spin);
    const QColor normal = edit->backgroundColor();
    ASSERT_EQ(m_sim->send("refuse record 31"), "ok refuse record 31");
    guitest::click(spin->upButton());
    ASSERT_EQ(m_run->ui.shown().size(), 1u);
    EXPECT_EQ(m_run->ui.shown()[0].text, L"Nie powiodło się wpisanie ustawień do urządzenia!");
    EXPECT_TRUE(dlg->settings()->warned(1152));
    EXPECT_NE(edit->backgroundColor(), normal);

    ASSERT_EQ(m_sim->send("refuse off"), "ok refuse off");
    guitest::click(spin->upButton());
    EXPECT_FALSE(dlg->settings()->warned(1152));
    EXPECT_EQ(edit->backgroundColor(), normal);
    EXPECT_EQ(controllerValue(*f), CSettingsTable::value(*f, device().image()));
}

TEST_F(SettingsPages, ValueListOfflineChangesNothing)
{
    start(false);
    ASSERT_FALSE(device().m_connected);
    const std::size_t shownAtStart = m_run->ui.shown().size(); // the no-connection notice
    auto* dlg = page<CUstawieniaDlg>(1);
    ASSERT_NE(dlg, nullptr);
    for (int id : { 1107, 1148, 1092, 1114 }) {
        const CSettingField* f = CSettingsTable::byControl(SettingsPage::Settings, id);
        auto* list = guitest::findById<CStrValueCmbBox>(dlg, id);
        ASSERT_TRUE(f && list) << id;
        const CSettingsImage before = device().image();
        const int other = f->items.back().value == list->value() ? f->items.front().value : f->items.back().value;
        dlg->settings()->onList(*f, other);
        EXPECT_TRUE(device().image() == before) << id;
        EXPECT_EQ(list->value(), static_cast<int>(CSettingsTable::value(*f, before))) << id;
    }
    // The gas-level sensor list stores its preset offline too.
    const CSettingField* level = CSettingsTable::byControl(SettingsPage::Settings, 1115);
    ASSERT_NE(level, nullptr);
    dlg->settings()->onList(*level, 11);
    EXPECT_EQ(CSettingsTable::value(*level, device().image()), 11);
    EXPECT_EQ(m_run->ui.shown().size(), shownAtStart);
}

TEST_F(SettingsPages, LanguageChangeRebuildsListsKeepingTheStoredValues)
{
    start(false);
    auto* dlg = page<CUstawieniaDlg>(1);
    auto* source = guitest::findById<CStrValueCmbBox>(dlg, 1092);
    auto* injector = guitest::findById<CStrValueCmbBox>(dlg, 1107);
    ASSERT_TRUE(source && injector);
    const int sourceValue = source->value();
    const int injectorValue = injector->value();
    {
        shelltest::EnglishScope english({ { QStringLiteral("Wtryskiwacze"), QStringLiteral("Injectors") },
            { QStringLiteral("Obroty automatycznego przełączenia"), QStringLiteral("Switch-over speed") } });
        dlg->updateTexts();
        EXPECT_EQ(source->itemText(source->findData(9)), QStringLiteral("Injectors"));
        EXPECT_EQ(guitest::findById<QLabel>(dlg, 1149 + CSettingControls::kLabelIdOffset)->text(),
                  QStringLiteral("Switch-over speed"));
        EXPECT_EQ(source->value(), sourceValue);
        EXPECT_EQ(injector->value(), injectorValue);
        EXPECT_EQ(injector->count(), 24);
    }
    dlg->updateTexts();
    EXPECT_EQ(source->itemText(source->findData(9)), QStringLiteral("Wtryskiwacze"));
}

TEST_F(SettingsPages, SignalSourceLocksTheDivider)
{
    start();
    auto* dlg = page<CUstawieniaDlg>(1);
    const CSettingField* source = CSettingsTable::byControl(SettingsPage::Settings, 1092);
    const CSettingField* divider = CSettingsTable::byControl(SettingsPage::Settings, 1153);
    auto* edit = guitest::findById<CExtEdit>(dlg, 1153);
    ASSERT_TRUE(source && divider && edit);
    dlg->settings()->onList(*source, 10);
    EXPECT_EQ(edit->text(), QStringLiteral("62"));
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_EQ(controllerValue(*divider), 62);
    dlg->settings()->onList(*source, 4);
    EXPECT_EQ(edit->text(), QStringLiteral("4"));
    EXPECT_TRUE(edit->isEnabled());
    EXPECT_EQ(controllerValue(*divider), 4);
}

TEST_F(SettingsPages, RestartSettingOnLpgEndsInAutomaticMode)
{
    start(true, 20);
    CKorMultiPageCtrl* mpc = m_run->app().view()->multiPage();
    ASSERT_EQ(m_sim->send("fuel lpg"), "ok fuel lpg");
    ASSERT_TRUE(waitFor([&] { return mpc->getButton(1)->isSelected(); })) << "the car runs on LPG";
    auto* dlg = page<CUstawieniaDlg>(1);
    const CSettingField* sensor = CSettingsTable::byControl(SettingsPage::Settings, 1114);
    ASSERT_TRUE(sensor && sensor->restart);
    const int other = CSettingsTable::value(*sensor, device().image()) == 1 ? 0 : 1;
    dlg->settings()->onList(*sensor, other);
    for (const auto& shown : m_run->ui.shown())
        ADD_FAILURE() << QString::fromStdWString(shown.text).toStdString();
    EXPECT_EQ(controllerValue(*sensor), other);
    EXPECT_TRUE(waitFor([&] { return mpc->getButton(0)->isSelected(); })) << "AUTO after the restart";
}

TEST_F(SettingsPages, InfoFieldsInTheirFormatsAndTheErrorMemory)
{
    start();
    auto* info = page<CInfoDlg>(6);
    ASSERT_NE(info, nullptr);
    auto text = [&](int id) { return guitest::findById<QLineEdit>(info, id)->text(); };
    const CSettingsImage& image = device().image();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^.+  v \\d+\\.\\d+\\.\\d+$")).match(text(CInfoDlg::kVersionId)).hasMatch())
        << text(CInfoDlg::kVersionId).toStdString();
    EXPECT_EQ(text(CInfoDlg::kSerialId).toStdWString(), image.m_devInfo.m_serial);
    EXPECT_EQ(text(CInfoDlg::kProdDateId).toStdWString(), image.m_devInfo.m_prodDate);
    const auto& id = image.m_base.m_pcId;
    EXPECT_EQ(text(CInfoDlg::kLastConnectionId).toStdWString(), CInfoDlg::idText(id[0], id[1], id[2], id[3]));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{4}-[0-9A-F]{4}$")).match(text(CInfoDlg::kOwnIdId)).hasMatch());
    const QRegularExpression time(QStringLiteral("^ *\\d+ h: \\d\\d min$"));
    EXPECT_TRUE(time.match(text(CInfoDlg::kPetrolTimeId)).hasMatch()) << text(CInfoDlg::kPetrolTimeId).toStdString();
    EXPECT_EQ(text(CInfoDlg::kLpgTimeId).toStdWString(), workingTimeText(image.m_devInfo.m_statistic.lpg));
    EXPECT_EQ(CInfoDlg::idText(0x0A, 0xB1, 0x02, 0xFF), L"0AB1-02FF");

    ASSERT_EQ(m_sim->send("errors 05 00 80 00"), "ok errors 05 00 80 00");
    auto* list = guitest::findById<QListWidget>(info, CInfoDlg::kErrorsId);
    ASSERT_NE(list, nullptr);
    guitest::click(guitest::findById(info, CInfoDlg::kReadErrorsId));
    // Each error after the byte and bit it comes from.
    const std::vector<std::wstring> expected { L"0.0  " + device().decodeModule(0, 0x01).at(0),
        L"0.2  " + device().decodeModule(0, 0x04).at(0), L"2.7  " + device().decodeModule(2, 0x80).at(0) };
    ASSERT_EQ(list->count(), static_cast<int>(expected.size()));
    for (int i = 0; i < list->count(); ++i)
        EXPECT_EQ(list->item(i)->text().toStdWString(), expected[static_cast<std::size_t>(i)]);
    EXPECT_TRUE(m_run->ui.shown().empty());
}

// "Kasuj błędy" restarts the controller on petrol: it asks first (No has the
// focus, and No changes nothing), and the car ends in the mode it was found in.
TEST_F(SettingsPages, InfoClearAsksAndEndsInTheModeFound)
{
    start(true, 20);
    CKorMultiPageCtrl* mpc = m_run->app().view()->multiPage();
    auto* info = page<CInfoDlg>(6);
    ASSERT_NE(info, nullptr);
    auto* list = guitest::findById<QListWidget>(info, CInfoDlg::kErrorsId);
    ASSERT_EQ(m_sim->send("errors 05 00 00 00"), "ok errors 05 00 00 00");
    guitest::click(guitest::findById(info, CInfoDlg::kReadErrorsId));
    ASSERT_EQ(list->count(), 2);

    m_run->ui.queueAnswer(false);
    guitest::click(guitest::findById(info, CInfoDlg::kClearErrorsId));
    ASSERT_EQ(m_run->ui.shown().size(), 1u);
    EXPECT_TRUE(m_run->ui.shown()[0].question);
    EXPECT_FALSE(m_run->ui.shown()[0].defaultYes);
    EXPECT_NE(m_run->ui.shown()[0].text.find(L"restartuje sterownik na benzynie"), std::wstring::npos);
    EXPECT_EQ(list->count(), 2) << "No changes nothing";
    EXPECT_EQ(m_sim->send("errors"), "ok errors 05 00 00 00");

    struct SCase {
        const char* fuel;
        int button; // lit before and after: 0 AUTO, 1 GAZ, 2 BENZYNA
        int after;
    };
    for (const SCase& c : { SCase { "petrol", 2, 2 }, SCase { "lpg", 1, 0 } }) {
        ASSERT_EQ(m_sim->send(std::string("fuel ") + c.fuel), std::string("ok fuel ") + c.fuel);
        ASSERT_TRUE(waitFor([&] { return mpc->getButton(c.button)->isSelected(); })) << c.fuel;
        ASSERT_EQ(m_sim->send("errors 05 00 00 00"), "ok errors 05 00 00 00");
        m_run->ui.clearShown();
        m_run->ui.queueAnswer(true);
        guitest::click(guitest::findById(info, CInfoDlg::kClearErrorsId));
        EXPECT_EQ(list->count(), 0) << c.fuel;
        EXPECT_EQ(m_sim->send("errors"), "ok errors 00 00 00 00") << c.fuel;
        ASSERT_EQ(m_run->ui.shown().size(), 1u) << c.fuel << ": the question alone";
        EXPECT_TRUE(waitFor([&] { return mpc->getButton(c.after)->isSelected(); })) << c.fuel;
    }
}

// After a base write from this PC the controller's "last modified by" and this
// PC's own identifier read the same, in the byte order the write stores.
TEST_F(SettingsPages, InfoShowsTheLastModifierAsThisPcAfterAWriteFromIt)
{
    const std::string machineId = m_dir.filePath(QStringLiteral("machine-id")).toStdString();
    std::ofstream(machineId) << "0a1b2c3d00112233445566778899aabb\n";
    CPcIdSourceScope source(machineId, "/nonexistent-by-uuid");
    start();
    auto* info = page<CInfoDlg>(6);
    ASSERT_NE(info, nullptr);
    auto text = [&](int id) { return guitest::findById<QLineEdit>(info, id)->text(); };
    EXPECT_EQ(text(CInfoDlg::kOwnIdId), QStringLiteral("0A1B-2C3D"));
    EXPECT_EQ(text(CInfoDlg::kLastConnectionId), QStringLiteral("4E7A-21C3")) << "as the car came";

    auto* dlg = page<CUstawieniaDlg>(1);
    const CSettingField* f = CSettingsTable::byControl(SettingsPage::Settings, 1152);
    ASSERT_NE(f, nullptr);
    guitest::click(guitest::findById<CSpinButton>(dlg, f->spinId)->upButton());
    info = page<CInfoDlg>(6);
    EXPECT_EQ(text(CInfoDlg::kLastConnectionId), QStringLiteral("0A1B-2C3D"));
    EXPECT_EQ(text(CInfoDlg::kOwnIdId), text(CInfoDlg::kLastConnectionId));
    EXPECT_TRUE(m_run->ui.shown().empty());
}

TEST_F(SettingsPages, ConsoleSetupOpensOnDoubleClick)
{
    start();
    CConsoleBtn* console = m_run->app().view()->consoleButton();
    ASSERT_NE(console, nullptr);
    bool opened = false;
    bool sevenLed = false;
    shelltest::onNextModal([&](QWidget* modal) {
        auto* dlg = qobject_cast<CConsoleSetupDlg*>(modal);
        opened = dlg != nullptr;
        if (!dlg)
            return;
        guitest::saveScreenshot(dlg, QStringLiteral("console_setup"));
        // The 7-LED box writes the advanced setup.
        auto* box = guitest::findById<QAbstractButton>(dlg, CConsoleSetupDlg::kSevenLedId);
        if (!box) {
            for (QWidget* w : dlg->findChildren<QWidget*>())
                ADD_FAILURE() << w->metaObject()->className() << " " << w->objectName().toStdString();
        }
        ASSERT_NE(box, nullptr);
        const uint16_t before = device().image().m_advancedSetup.m_advancedFlags3;
        box->click();
        sevenLed = device().image().m_advancedSetup.m_advancedFlags3 == (before ^ 0x0001);
        dlg->accept();
    });
    console->onDblClick();
    EXPECT_TRUE(opened);
    EXPECT_TRUE(sevenLed);
    EXPECT_TRUE(m_run->ui.shown().empty());
}

TEST_F(SettingsPages, CompareWithFileNamesTheChangedSettingByPageAndLabel)
{
    start();
    const std::string path = m_dir.filePath(QStringLiteral("saved.kvs")).toStdString();
    ASSERT_TRUE(writeSettings(path, device().image()));
    auto* dlg = page<CUstawieniaDlg>(1);
    const CSettingField* f = CSettingsTable::byControl(SettingsPage::Settings, 1152);
    ASSERT_NE(f, nullptr);
    const double before = CSettingsTable::value(*f, device().image());
    guitest::click(guitest::findById<CSpinButton>(dlg, f->spinId)->downButton());
    ASSERT_NE(CSettingsTable::value(*f, device().image()), before);

    // Two map cells and a main correction changed as well: one row for the map, its cells in a grid.
    const double corr = device().image().m_mainCorr.m_mainCorr[2];
    device().changeImage([corr](CSettingsImage& image) {
        image.m_corrMap.m_injMapTable[3][4] += 5;
        image.m_corrMap.m_injMapTable[7][1] -= 2;
        image.m_mainCorr.m_mainCorr[2] = corr + 0.25;
        // Keys the settings pages do not show: by the dialog or page that does, units where it shows them.
        image.m_sensorsSetup.m_fuelHgw += 3;
        image.m_base.m_rpmSignalLevel += 1;
    });

    std::map<std::string, std::vector<std::string>> rows; // name → key, file, controller
    QString grid;
    std::map<std::pair<QString, QString>, QString> shownCells; // (row, column) → text
    shelltest::onNextModal([&](QWidget* modal) {
        if (auto* diff = qobject_cast<CSettingsDiffDlg*>(modal)) {
            QTableWidget* t = diff->table();
            for (int row = 0; row < t->rowCount(); ++row)
                rows[t->item(row, 0)->text().toStdString()] = { t->item(row, 0)->toolTip().toStdString(),
                                                                t->item(row, 1)->text().toStdString(),
                                                                t->item(row, 2)->text().toStdString() };
            grid = diff->mapGrid();
            if (QTableWidget* cells = diff->mapTable(); cells && cells->isVisible())
                for (int r = 0; r < cells->rowCount(); ++r)
                    for (int c = 0; c < cells->columnCount(); ++c)
                        shownCells[{ cells->verticalHeaderItem(r)->text(), cells->horizontalHeaderItem(c)->text() }]
                            = cells->item(r, c) ? cells->item(r, c)->text() : QString();
            guitest::saveScreenshot(diff, QStringLiteral("settings_diff"));
        }
        modal->close();
    });
    m_run->app().mainFrame()->OnFileCompareSettings(path);
    QString label = QString::fromStdWString(f->label).trimmed();
    while (label.endsWith(QLatin1Char(':')))
        label.chop(1);
    ASSERT_EQ(rows.size(), 5u);
    ASSERT_EQ(rows.count("Czujnik poziomu gazu › 3/4"), 1u);
    EXPECT_EQ(rows["Czujnik poziomu gazu › 3/4"][0], "m_sensorsSetup.m_fuelHgw");
    ASSERT_EQ(rows.count("Ustawienia › Próg sygnału RPM"), 1u);
    EXPECT_EQ(rows["Ustawienia › Próg sygnału RPM"][2],
              CSettingsFile::formatNumber(device().image().m_base.m_rpmSignalLevel) + " V");
    const std::string name = (QStringLiteral("Ustawienia › ") + label).toStdString();
    ASSERT_EQ(rows.count(name), 1u);
    EXPECT_EQ(rows[name][0], f->key) << "the key only as a tool tip";
    ASSERT_EQ(rows.count("Kalibracja › Korekty główne 3"), 1u);
    EXPECT_EQ(rows["Kalibracja › Korekty główne 3"][0], "m_mainCorr.m_mainCorr[2]");
    EXPECT_EQ(rows["Kalibracja › Korekty główne 3"][1], CSettingsFile::formatNumber(corr) + " ms");
    EXPECT_EQ(rows["Kalibracja › Korekty główne 3"][2], CSettingsFile::formatNumber(corr + 0.25) + " ms");
    EXPECT_EQ(rows.count("Mapa 2D"), 1u);
    // Rows keyed 2 … 20 and columns 1000 … 8000 as the file keys them; each cell "file → controller",
    // in the tool tip and on screen, the cells between them empty.
    const auto& map = device().image().m_corrMap.m_injMapTable;
    EXPECT_NE(grid.indexOf(QStringLiteral("<th>5</th>")), -1) << grid.toStdString();
    EXPECT_NE(grid.indexOf(QStringLiteral("<th>3000</th>")), -1) << grid.toStdString();
    EXPECT_NE(grid.indexOf(QStringLiteral("%1 → %2").arg(map[3][4] - 5).arg(map[3][4])), -1) << grid.toStdString();
    EXPECT_NE(grid.indexOf(QStringLiteral("%1 → %2").arg(map[7][1] + 2).arg(map[7][1])), -1) << grid.toStdString();
    ASSERT_EQ(shownCells.size(), 4u) << "two rows by two columns";
    const auto at = [&](const char* row, const char* column) {
        return shownCells[{ QString::fromLatin1(row), QString::fromLatin1(column) }];
    };
    EXPECT_EQ(at("5", "3000"),
              QStringLiteral("%1 → %2").arg(map[3][4] - 5).arg(map[3][4]));
    EXPECT_EQ(at("9", "1500"),
              QStringLiteral("%1 → %2").arg(map[7][1] + 2).arg(map[7][1]));
    EXPECT_EQ(at("5", "1500"), QString());
}

} // namespace
