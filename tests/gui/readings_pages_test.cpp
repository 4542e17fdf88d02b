// SPDX-License-Identifier: GPL-3.0-or-later
// The readings pages in the running program: the panel against the simulator
// (gauges and injector times follow it; an injector click sends its mask; no
// click acts on petrol), the chart's line boxes, the recorder (a recording
// holds exactly what the polling thread's writer makes of the records, plays
// back onto the same lines, "||" holds the window while records arrive), the
// level-sensor dialog, and the screenshots of both.
#include "guitest.h"
#include "shelltest.h"

#include <app/data/diagfile.h>
#include <app/data/osccsv.h>
#include <app/data/readingschart.h>
#include <app/data/recordingpath.h>
#include <app/data/settingsimage.h>
#include <app/device/lpgdevice.h>
#include <app/platform/log.h>
#include <app/platform/textcodec.h>
#include <app/shell/imagecheckbox.h>
#include <app/shell/kormultipagectrl.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/korvanaview.h>
#include <app/shell/mainframe.h>
#include <app/shell/odczytydlg.h>
#include <app/shell/sensorsdlg.h>
#include <app/shell/uidump.h>
#include <app/shell/updownctrl.h>
#include <basectrls/ctrlid.h>
#include <gradctrls/charts/chartlegend.h>
#include <gradctrls/charts/scrollchart.h>
#include <gradctrls/dialogs/gdipstatic.h>
#include <gradctrls/displays/gdipgaugedisplay.h>
#include <gradctrls/displays/gdipinjectorstatedisplay.h>

#include <simprocess.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QDropEvent>
#include <QUrl>
#include <QPainter>
#include <QTemporaryDir>

#include <stdexcept>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

using shelltest::CShellRun;

namespace {

using guitest::waitFor;


COdczytyDlg* readingsPage(CShellRun& run)
{
    return dynamic_cast<COdczytyDlg*>(run.app().view()->multiPage()->getPage(CkorvanaView::kFirstPage));
}

void leftPress(QWidget* widget)
{
    const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
        Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

// The value after "key=" in the simulator's status line.
double statusValue(const std::string& status, const std::string& key)
{
    const auto at = status.find(" " + key + "=");
    return at == std::string::npos ? -1e9 : std::stod(status.substr(at + key.size() + 2));
}

// Every line's y values in x order.
std::map<unsigned, std::vector<double>> chartLines(const CScrollChart& chart)
{
    std::map<unsigned, std::vector<double>> lines;
    for (const auto& [number, line] : chart.data().lines())
        for (const auto& [x, y] : line.points)
            lines[number].push_back(y);
    return lines;
}

int pixelsOf(const QImage& image, const QColor& colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixelColor(x, y) == colour;
    return n;
}

// The page as the window describes itself at each size: every line drawn has
// its entry in the legend and every listed entry a line on the chart, the
// cylinders the controller lacks have neither, and no text of the window is cut.
void checkReadingsDescription(CShellRun& run, COdczytyDlg* page, int injectors)
{
    CMainFrame* frame = run.app().mainFrame();
    for (const QSize size : { QSize(1280, 800), QSize(1366, 768) }) {
        SCOPED_TRACE(size.width());
        guitest::resizeTo(frame, size);
        guitest::settle();
        const QJsonObject dump = QJsonDocument::fromJson(describeUi()).object();
        for (const char* list : { "widgets", "painted" })
            for (const QJsonValue item : dump.value(QLatin1String(list)).toArray()) {
                const QJsonObject o = item.toObject();
                EXPECT_FALSE(o.value(QStringLiteral("elided")).toBool())
                    << list << ": " << o.value(QStringLiteral("fullText")).toString().toStdString() << " in "
                    << o.value(QStringLiteral("class")).toString().toStdString()
                    << o.value(QStringLiteral("owner")).toString().toStdString();
            }
        QStringList legendTexts;
        for (const QJsonValue item : dump.value(QStringLiteral("painted")).toArray())
            if (item.toObject().value(QStringLiteral("owner")).toString().startsWith(QStringLiteral("CChartLegend")))
                legendTexts << item.toObject().value(QStringLiteral("text")).toString();
        const CScrollChart& chart = *page->chart();
        const CChartLegend& legend = *page->legend();
        for (const auto& [number, line] : chart.data().lines()) {
            const CChartLegend::SEntry* entry = legend.entry(number);
            ASSERT_NE(entry, nullptr) << number;
            const int cylinder = readingschart::lineInfo(static_cast<int>(number)).cylinder;
            const bool fitted = cylinder < injectors;
            EXPECT_EQ(line.visible, fitted) << "line " << number;
            EXPECT_EQ(entry->present, fitted) << "legend entry of line " << number;
            if (fitted) {
                EXPECT_FALSE(line.points.empty()) << number;
                EXPECT_FALSE(legend.sampleRect(number).isEmpty()) << number;
                EXPECT_TRUE(legendTexts.contains(entry->name)) << entry->name.toStdString();
                EXPECT_FALSE(entry->value.isEmpty()) << number;
                EXPECT_TRUE(std::any_of(legendTexts.begin(), legendTexts.end(),
                    [&](const QString& t) { return t.startsWith(entry->value); })) << number;
            } else {
                EXPECT_TRUE(legend.sampleRect(number).isEmpty()) << number;
            }
        }
    }
}

class SimReadings : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("cfg")).toLocal8Bit());
        CDeviceSession::resetRefusalNotice();
        const std::string link = m_dir.filePath(QStringLiteral("controller")).toStdString();
        m_sim = std::make_unique<CSimProcess>(std::vector<std::string> { "--link", link });
        ASSERT_TRUE(m_sim->start()) << m_sim->error();
        SAppOptions options;
        options.ports = { link };
        m_run = std::make_unique<CShellRun>(options, false);
        ASSERT_TRUE(m_run->start());
        ASSERT_TRUE(device().m_connected);
        m_run->app().mainFrame()->stopTimer(); // the test refreshes the page itself
        page = readingsPage(*m_run);
        ASSERT_NE(page, nullptr);
    }
    void TearDown() override
    {
        m_run.reset();
        m_sim.reset();
        qunsetenv("XDG_CONFIG_HOME");
    }
    CLPGDevice& device() { return m_run->app().document()->device(); }
    CDiag newest()
    {
        CDiag r;
        device().diagData().latest(r);
        return r;
    }
    // Waits for a record pushed after now that satisfies cond.
    bool waitRecord(const std::function<bool(const CDiag&)>& cond)
    {
        const uint64_t after = device().diagData().newestSequence();
        return waitFor([&] { return device().diagData().newestSequence() > after && cond(newest()); });
    }

    QTemporaryDir m_dir;
    std::unique_ptr<CSimProcess> m_sim;
    std::unique_ptr<CShellRun> m_run;
    COdczytyDlg* page = nullptr;
};

TEST_F(SimReadings, GaugesAndInjectorTimesFollowTheSimulator)
{
    ASSERT_EQ(m_sim->send("engine rpm 3000"), "ok engine rpm 3000");
    ASSERT_EQ(m_sim->send("fuel lpg"), "ok fuel lpg");
    const int n = device().image().m_devInfo.m_injCount;
    ASSERT_GE(n, 2);
    const auto all = static_cast<uint8_t>((1u << n) - 1u);
    ASSERT_TRUE(waitRecord(
        [&](const CDiag& r) { return r.fuelState() == 3 && r.lpgMask2() == all && r.rpm() > 2900; }));
    // The tick shows the newest record; one that arrives between the tick and the
    // test's own look would be compared against the wrong line, so that tick is taken again.
    CDiag record;
    ASSERT_TRUE(waitFor([&] {
        const uint64_t before = device().diagData().newestSequence();
        page->onTimer();
        record = newest();
        return device().diagData().newestSequence() == before;
    }));
    const std::string status = m_sim->send("status");
    auto value = [&](int g) { return page->gauge(g)->valueText()->text().toDouble(); };
    EXPECT_NEAR(value(0), statusValue(status, "rpm"), 40);
    EXPECT_NEAR(value(1) * 100, statusValue(status, "pressure"), 3);
    EXPECT_NEAR(value(3), statusValue(status, "reducer"), 2);
    EXPECT_NEAR(value(4), statusValue(status, "lpgtemp"), 2);
    EXPECT_NEAR(page->gauge(0)->getPos(), value(0) / 8, 6);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(page->petrolDisplay(i)->isVisible(), i < n) << i;
        if (i >= n)
            continue;
        EXPECT_EQ(page->petrolDisplay(i)->valueText()->text(), QString::asprintf("%.2f ms", record.petrolTime(2 * i)));
        EXPECT_EQ(page->lpgDisplay(i)->valueText()->text(), QString::asprintf("%.2f ms", record.lpgTime(2 * i)));
        EXPECT_EQ(page->lpgDisplay(i)->m_state, 1) << "on LPG";
        EXPECT_EQ(page->petrolDisplay(i)->m_state, 2);
    }
    EXPECT_NE(page->petrolDisplay(0)->valueText()->text(), QStringLiteral("0.00 ms"));
}

TEST_F(SimReadings, TheWindowDescribesALegendEntryForEveryLineOfTheFourCylinders)
{
    // The simulated controller has four injectors.
    ASSERT_EQ(device().image().m_devInfo.m_injCount, 4);
    ASSERT_TRUE(waitRecord([](const CDiag&) { return true; }));
    page->onTimer();
    checkReadingsDescription(*m_run, page, 4);
}

TEST_F(SimReadings, InjectorClicksSendTheirMasksAndDoNothingOnPetrol)
{
    const int n = device().image().m_devInfo.m_injCount;
    const auto all = static_cast<uint8_t>((1u << n) - 1u);
    ASSERT_EQ(m_sim->send("fuel petrol"), "ok fuel petrol");
    ASSERT_TRUE(waitRecord([](const CDiag& r) { return r.fuelState() == 2; }));
    std::vector<std::string> sent;
    const int sink = addLogSink([&](LogLevel, const std::string& line) {
        if (line.find(" mask ") != std::string::npos)
            sent.push_back(line);
    });
    leftPress(page->petrolDisplay(1));
    EXPECT_TRUE(sent.empty()) << "on petrol a click sends nothing";

    ASSERT_EQ(m_sim->send("fuel lpg"), "ok fuel lpg");
    ASSERT_TRUE(waitRecord(
        [&](const CDiag& r) { return r.fuelState() == 3 && r.lpgMask1() == all && r.lpgMask2() == all; }));
    page->onTimer();
    ASSERT_EQ(page->petrolDisplay(1)->m_state, 2);
    leftPress(page->petrolDisplay(1));
    EXPECT_EQ(page->petrolDisplay(1)->m_state, 0);
    const auto petrolMask = static_cast<uint8_t>(all & ~0x02);
    EXPECT_TRUE(waitRecord([&](const CDiag& r) { return r.lpgMask1() == petrolMask; })) << "cylinder 2 back on petrol";
    page->onTimer();
    EXPECT_EQ(page->petrolDisplay(1)->m_state, 0);
    EXPECT_EQ(page->lpgDisplay(1)->m_state, 2);
    // Its LPG cell does nothing while its petrol display is off.
    const std::size_t before = sent.size();
    leftPress(page->lpgDisplay(1));
    EXPECT_EQ(sent.size(), before);
    // The LPG cell of cylinder 1 takes its LPG injector off.
    ASSERT_EQ(page->lpgDisplay(0)->m_state, 1);
    leftPress(page->lpgDisplay(0));
    const auto lpgMask = static_cast<uint8_t>(all & ~0x03);
    EXPECT_TRUE(waitRecord([&](const CDiag& r) { return r.lpgMask2() == lpgMask; }));
    removeLogSink(sink);
    EXPECT_EQ(sent.size(), 2u);
    EXPECT_TRUE(m_run->ui.shown().empty());
}

// The fitted car carries a sensor type's preset: "Wskazanie" names the type,
// shows the controller's thresholds and the live raw level.
TEST_F(SimReadings, LevelSensorDialogNamesTheFittedSensor)
{
    CSensorsDlg dialog(m_run->app().document()->pageContext(), m_run->app().mainFrame());
    ASSERT_TRUE(dialog.Create());
    auto* type = qobject_cast<QComboBox*>(findChildCtrl(&dialog, CSensorsDlg::kTypeId));
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(dialog.selectedCode(), 1);
    EXPECT_EQ(type->currentText(), QStringLiteral("AEB 1050"));
    const CSensorsSetup& setup = device().image().m_sensorsSetup;
    EXPECT_EQ(setup.m_fuelType, 1);
    EXPECT_EQ(setup.m_fuelRes, 1);
    const int want[4] = { 45, 140, 180, 230 };
    for (std::size_t i = 0; i < 4; ++i) {
        auto* edit = qobject_cast<QLineEdit*>(findChildCtrl(&dialog, CSensorsDlg::kThresholdIds[i]));
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->text(), QString::number(want[i])) << i;
    }
    // The simulator's level byte lies between the thresholds of its tank filling (62 %: between ¾ and ½).
    auto* level = qobject_cast<QLineEdit*>(findChildCtrl(&dialog, CSensorsDlg::kLevelId));
    ASSERT_NE(level, nullptr);
    ASSERT_TRUE(waitFor([&] { return !level->text().isEmpty(); }));
    EXPECT_GT(level->text().toInt(), 140);
    EXPECT_LT(level->text().toInt(), 180);
    dialog.show();
    guitest::saveScreenshot(&dialog, QStringLiteral("readings_level_sensor_sim"));

    // A threshold moved by hand is no type's preset any more: neither the
    // dialog nor "Typ czujnika poziomu gazu" on Ustawienia names a type.
    auto* fullSpin = qobject_cast<CUpDownCtrl*>(findChildCtrl(&dialog, CSensorsDlg::kSpinIds[0]));
    ASSERT_NE(fullSpin, nullptr);
    fullSpin->upArrow()->click();
    EXPECT_EQ(dialog.selectedCode(), -1);
    dialog.hide();
    ASSERT_TRUE(device().readBlock(CReadBlocks::SensorsSetup));
    EXPECT_EQ(device().image().m_sensorsSetup.m_fuelFull, 46) << "written to the controller";
    CkorvanaView* view = m_run->app().view();
    ASSERT_TRUE(view->showPage(1));
    auto* list = qobject_cast<QComboBox*>(findChildCtrl(view->multiPage()->getActivePage(), CSensorsDlg::kTypeId));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->currentIndex(), -1) << list->currentText().toStdString();
    m_run->app().mainFrame()->resize(1280, 800);
    guitest::saveScreenshot(m_run->app().mainFrame(), QStringLiteral("settings_level_sensor_by_hand"));
    // Choosing a type there loads its preset again.
    const int aeb = list->findText(QStringLiteral("AEB 1050"));
    ASSERT_GE(aeb, 0);
    list->setCurrentIndex(aeb);
    emit list->activated(aeb);
    ASSERT_TRUE(device().readBlock(CReadBlocks::SensorsSetup));
    EXPECT_EQ(device().image().m_sensorsSetup.m_fuelFull, 45);
    EXPECT_EQ(list->currentIndex(), aeb);
    EXPECT_TRUE(m_run->ui.shown().empty());
}

TEST_F(SimReadings, RecordingPlaysBackOntoTheSameLinesAndPauseHoldsTheWindow)
{
    const std::string path = m_dir.filePath(QStringLiteral("drive.osc")).toStdString();
    m_run->ui.queueFile(path);
    // Every record the file can hold comes after this number, however many
    // the polling thread pushes before the recording is seen to have started.
    const uint64_t before = device().diagData().newestSequence();
    // Copied as each record is pushed: Stop starts polling again, and the new
    // thread clears the queue when it starts, maybe before this test reads it.
    std::mutex copying;
    std::vector<CDiag> records;
    uint64_t copied = before;
    const int copier = device().events().add([&](const DeviceEventData& event) {
        if (event.kind != DeviceEvent::ReadingsAppended)
            return;
        std::lock_guard guard(copying);
        copied = device().diagData().copySince(copied, records).newest;
    });
    struct RemoveAtEnd {
        CDeviceEvents& events;
        int id;
        ~RemoveAtEnd() { events.remove(id); }
    } removeAtEnd { device().events(), copier };
    page->onRecord();
    ASSERT_TRUE(device().session().isRecording() || waitFor([&] { return device().session().isRecording(); }));
    const uint64_t first = device().diagData().newestSequence();
    ASSERT_TRUE(waitFor([&] { return device().diagData().newestSequence() >= first + 8; }));
    page->onTimer();
    page->onStop();
    EXPECT_FALSE(device().session().isRecording());
    EXPECT_TRUE(device().session().m_polling) << "polling goes on without the file";
    page->onTimer();
    // Waits for a delivery that is running.
    device().events().remove(copier);
    // The recording holds the chart's records, each as the polling thread's writer formats it
    // (the OBD fields at the end are the car's readings of the moment, compared as numbers only).
    std::ifstream in(path, std::ios::binary);
    std::stringstream stream;
    stream << in.rdbuf();
    const std::string text = stream.str();
    const CDiagScale scale(device().image());
    auto recordPart = [](const std::string& line) {
        std::size_t at = 0;
        for (int tabs = 0; tabs < 24 && at != std::string::npos; ++tabs)
            at = line.find('\t', at + (tabs > 0 ? 1 : 0));
        return line.substr(0, at);
    };
    std::vector<std::string> written;
    for (std::size_t begin = 0; begin < text.size();) {
        const std::size_t end = text.find('\n', begin);
        ASSERT_NE(end, std::string::npos) << "every line ends";
        const std::string line = text.substr(begin, end + 1 - begin);
        ASSERT_GE(line.size(), 2u);
        EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 31);
        written.push_back(recordPart(line));
        begin = end + 1;
    }
    const int lines = static_cast<int>(written.size());
    ASSERT_GE(lines, 8);
    std::size_t at = 0;
    while (at < records.size()
        && recordPart(CDiagFile::formatLine(records[at], scale, CDiagFile::ObdValues {})) != written[0])
        ++at;
    ASSERT_LT(at, records.size());
    for (int i = 0; i < lines; ++i) {
        ASSERT_LT(at + static_cast<std::size_t>(i), records.size());
        EXPECT_EQ(written[static_cast<std::size_t>(i)],
            recordPart(CDiagFile::formatLine(records[at + static_cast<std::size_t>(i)], scale, CDiagFile::ObdValues {})))
            << "line " << i + 1;
    }

    const auto live = chartLines(*page->chart());
    ASSERT_EQ(live.at(0).size(), static_cast<std::size_t>(page->sampleCounter() / 5));
    ASSERT_TRUE(page->playBack(path));
    EXPECT_TRUE(page->isPlayingBack());
    EXPECT_EQ(page->playbackLength(), static_cast<std::size_t>(lines));
    EXPECT_TRUE(page->chart()->GetReadMode());
    page->pausePlayback(true);
    page->seekPlayback(page->playbackLength());
    const auto played = chartLines(*page->chart());
    ASSERT_EQ(played.size(), 27u);
    for (const auto& [line, ys] : played) {
        ASSERT_EQ(ys.size(), static_cast<std::size_t>(lines)) << line;
        for (std::size_t i = 0; i < ys.size() && i < live.at(line).size(); ++i)
            ASSERT_NEAR(ys[i], live.at(line)[i], 2.1) << "line " << line << " point " << i;
    }
    EXPECT_EQ(page->sampleCounter(), 6 * lines);
    guitest::resizeTo(m_run->app().mainFrame(), QSize(1280, 800));
    guitest::saveScreenshot(m_run->app().mainFrame(), QStringLiteral("readings_playback"));

    // What the panel shows is the recording's: the gauges and cells of a
    // record in the middle are its line's numbers, not the simulator's now.
    ASSERT_EQ(m_sim->send("engine rpm 5500"), "ok engine rpm 5500");
    std::vector<CDiagFile::Record> file;
    ASSERT_TRUE(CDiagFile::readRecords(path, file));
    const std::size_t middle = file.size() / 2;
    page->seekPlayback(middle + 1);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(waitRecord([](const CDiag&) { return true; }));
        page->onTimer();
    }
    EXPECT_EQ(page->gauge(0)->valueText()->text(), QString::asprintf("%.0f", file[middle][1]));
    EXPECT_EQ(page->gauge(1)->valueText()->text(), QString::asprintf("%.2f", file[middle][18] / 100.0));
    EXPECT_EQ(page->petrolDisplay(0)->valueText()->text(), QString::asprintf("%.2f ms", file[middle][2]));
    EXPECT_LT(page->gauge(0)->valueText()->text().toDouble(), 4000) << "not the live 5500 rpm";

    // Stop: live again, the simulator's engine on the gauge.
    page->onStop();
    EXPECT_FALSE(page->isPlayingBack());
    EXPECT_FALSE(page->chart()->GetReadMode());
    ASSERT_TRUE(waitRecord([](const CDiag& r) { return r.rpm() > 5000; }));
    page->onTimer();
    EXPECT_GT(page->gauge(0)->valueText()->text().toDouble(), 5000);
    EXPECT_FALSE(page->chart()->data().line(0)->points.empty()) << "live records reach the chart again";

    // "||": the window stays while records arrive; a second press shows the newest.
    page->onStart();
    page->chart()->SetHorzRange(20);
    ASSERT_TRUE(waitFor([&] { return device().diagData().newestSequence() >= first + lines + 14; }));
    page->onTimer();
    page->onPause();
    ASSERT_TRUE(page->isPaused());
    const double held = page->chart()->data().m_xStart;
    const std::size_t points = page->chart()->data().line(0)->points.size();
    const uint64_t mark = device().diagData().newestSequence();
    ASSERT_TRUE(waitFor([&] { return device().diagData().newestSequence() >= mark + 5; }));
    page->onTimer();
    EXPECT_EQ(page->chart()->data().m_xStart, held);
    EXPECT_GT(page->chart()->data().line(0)->points.size(), points) << "records keep arriving";
    page->onPause();
    EXPECT_FALSE(page->isPaused());
    const CChartData& data = page->chart()->data();
    EXPECT_EQ(data.m_xStart, data.m_xMax - data.m_xWidth);
    EXPECT_GT(data.m_xStart, held);
}

TEST(DemoReadings, TheLegendHidesAndShowsLinesAndGroupsAndChoosesTheScale)
{
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("cfg")).toLocal8Bit());
    SAppOptions options;
    options.demo = true;
    CShellRun run(options);
    ASSERT_TRUE(run.start());
    COdczytyDlg* page = readingsPage(run);
    ASSERT_NE(page, nullptr);
    CLPGDevice& device = run.app().document()->device();
    ASSERT_TRUE(waitFor([&] { return device.diagData().newestSequence() >= 6; }));
    page->onTimer();
    CScrollChart* chart = page->chart();
    auto render = [&] {
        QImage image(chart->size(), QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        chart->paintChart(painter, chart->size());
        return image;
    };
    const QColor pressure(0x00, 0x00, 0xE0); // line 1, 0xE00000
    ASSERT_GT(pixelsOf(render(), pressure), 0);
    CChartLegend* legend = page->legend();
    ASSERT_NE(legend, nullptr);
    const auto click = [&](const QRect& r) {
        ASSERT_FALSE(r.isEmpty());
        const QPointF at = r.center();
        QMouseEvent press(QEvent::MouseButtonPress, at, legend->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
            Qt::NoModifier);
        QApplication::sendEvent(legend, &press);
    };
    // The pressure's colour sample hides its line and shows it again.
    click(legend->sampleRect(1));
    EXPECT_FALSE(chart->data().line(1)->visible);
    EXPECT_EQ(pixelsOf(render(), pressure), 0);
    click(legend->sampleRect(1));
    EXPECT_TRUE(chart->data().line(1)->visible);
    EXPECT_GT(pixelsOf(render(), pressure), 0);
    // A group's title hides all its lines and shows them again, keeping a line hidden on its own hidden.
    click(legend->sampleRect(readingschart::kPetrolLine + 2));
    const int petrol = static_cast<int>(readingschart::EGroup::PetrolTimes);
    click(legend->groupTitleRect(petrol));
    for (int k = 0; k < 8; ++k)
        EXPECT_FALSE(chart->data().line(static_cast<unsigned>(readingschart::kPetrolLine + k))->visible) << k;
    EXPECT_TRUE(chart->data().line(readingschart::kLpgLine)->visible);
    click(legend->groupTitleRect(petrol));
    EXPECT_TRUE(chart->data().line(readingschart::kPetrolLine)->visible);
    EXPECT_FALSE(chart->data().line(readingschart::kPetrolLine + 2)->visible);
    // A click on a name puts that line's scale on the chart.
    click(legend->nameRect(3));
    EXPECT_EQ(chart->GetAxisLine(), 3);
    EXPECT_EQ(legend->selected(), 3);

    click(legend->sampleRect(readingschart::kPetrolLine + 2));
    checkReadingsDescription(run, page, 8);

    CMainFrame* frame = run.app().mainFrame();
    const CDiagData& records = run.app().document()->device().diagData();
    for (const QSize size : { QSize(1280, 800), QSize(1920, 1080) }) {
        guitest::resizeTo(frame, size);
        // A dozen records on the chart, for a picture with something in it.
        const uint64_t shown = records.newestSequence();
        ASSERT_TRUE(waitFor([&] { return records.newestSequence() >= shown + 12; }));
        guitest::saveScreenshot(frame, QStringLiteral("readings_demo_%1x%2").arg(size.width()).arg(size.height()));
    }
    EXPECT_TRUE(run.ui.shown().empty());
    qunsetenv("XDG_CONFIG_HOME");
}

TEST(DemoReadings, ATickRepaintsWhatChangedAndNothingElse)
{
    // The page runs all day: a tick repaints the chart and the live values, while
    // controls whose look did not change (a line box, a page button) stay as they are.
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("cfg")).toLocal8Bit());
    SAppOptions options;
    options.demo = true;
    CShellRun run(options);
    ASSERT_TRUE(run.start());
    COdczytyDlg* page = readingsPage(run);
    ASSERT_NE(page, nullptr);
    CLPGDevice& device = run.app().document()->device();
    // A few ticks past the start, and every paint they asked for done.
    ASSERT_TRUE(waitFor([&] { return device.diagData().newestSequence() >= 8; }));
    guitest::settle();

    struct CPaintCounter : QObject {
        std::map<QObject*, int> paints;
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Paint)
                ++paints[watched];
            return false;
        }
    } counter;
    QWidget* lineBox = findChildCtrl(page, COdczytyDlg::kExportCsvId);
    ASSERT_NE(lineBox, nullptr);
    QWidget* pageButton = nullptr;
    for (QWidget* w : run.app().view()->multiPage()->findChildren<QWidget*>())
        if (auto* button = qobject_cast<QAbstractButton*>(w); button && button->text() == QStringLiteral("Mapa"))
            pageButton = w;
    ASSERT_NE(pageButton, nullptr);
    for (QObject* o : { static_cast<QObject*>(lineBox), static_cast<QObject*>(pageButton),
                        static_cast<QObject*>(page->chart()) })
        o->installEventFilter(&counter);
    const uint64_t first = device.diagData().newestSequence();
    const std::size_t points = page->chart()->data().line(0)->points.size();
    // Counted, not slept: eight records or more, five chart paints or more
    // (the console picture is refreshed on every fourth tick).
    ASSERT_TRUE(waitFor([&] {
        return device.diagData().newestSequence() >= first + 8 && counter.paints[page->chart()] >= 5;
    }));
    const uint64_t records = device.diagData().newestSequence() - first;
    EXPECT_TRUE(waitFor([&] {
        return page->chart()->data().line(0)->points.size() >= std::min<std::size_t>(points + records, 10000);
    })) << "every record reaches the chart";
    EXPECT_EQ(counter.paints[lineBox], 0);
    EXPECT_EQ(counter.paints[pageButton], 0);
    qunsetenv("XDG_CONFIG_HOME");
}

TEST(DemoReadings, LevelSensorDialog)
{
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("cfg")).toLocal8Bit());
    SAppOptions options;
    options.demo = true;
    CShellRun run(options);
    ASSERT_TRUE(run.start());
    CkorvanaDoc* doc = run.app().document();
    CSensorsSetup& setup = doc->device().liveImage().m_sensorsSetup;
    {
        CSensorsDlg dialog(doc->pageContext(), run.app().mainFrame());
        ASSERT_TRUE(dialog.Create());
        EXPECT_EQ(dialog.skinTitle(), QStringLiteral("Czujnik poziomu gazu"));
        ASSERT_NE(dialog.refreshTimer(), nullptr);
        EXPECT_EQ(dialog.refreshTimer()->interval(), 300);
        EXPECT_TRUE(dialog.refreshTimer()->isActive());
        auto* type = qobject_cast<QComboBox*>(findChildCtrl(&dialog, CSensorsDlg::kTypeId));
        ASSERT_NE(type, nullptr);
        EXPECT_EQ(type->count(), 7);
        const int aeb = type->findText(QStringLiteral("AEB 1050"));
        ASSERT_GE(aeb, 0);
        type->setCurrentIndex(aeb);
        emit type->activated(aeb);
        EXPECT_EQ(setup.m_fuelFull, 45);
        EXPECT_EQ(setup.m_fuelQuarter, 230);
        EXPECT_EQ(setup.m_fuelType, 1);
        auto* full = qobject_cast<QLineEdit*>(findChildCtrl(&dialog, 1186));
        EXPECT_EQ(full->text(), QStringLiteral("45"));
        // The upper arrow adds one; the lower one at 0 is refused.
        qobject_cast<CUpDownCtrl*>(findChildCtrl(&dialog, 1191))->upArrow()->click();
        EXPECT_EQ(setup.m_fuelFull, 46);
        EXPECT_EQ(full->text(), QStringLiteral("46"));
        EXPECT_EQ(dialog.selectedCode(), -1) << "no preset has these thresholds";
        qobject_cast<CUpDownCtrl*>(findChildCtrl(&dialog, 1191))->downArrow()->click();
        EXPECT_EQ(dialog.selectedCode(), 1);
        doc->device().changeImage([](CSettingsImage& image) { image.m_sensorsSetup.m_fuelQuarter = 0; });
        dialog.onDeltaPos(3, 1);
        EXPECT_EQ(setup.m_fuelQuarter, 0);
        doc->device().changeImage([](CSettingsImage& image) { image.m_sensorsSetup.m_fuelQuarter = 230; });
        // The valve-supply option is bit 0x20 of the second flags.
        const uint8_t flags = doc->device().image().m_advancedSetup.m_advancedFlags2;
        qobject_cast<QAbstractButton*>(findChildCtrl(&dialog, CSensorsDlg::kValveSupplyId))->click();
        EXPECT_EQ(doc->device().image().m_advancedSetup.m_advancedFlags2, flags ^ 0x20);
        ASSERT_TRUE(waitFor([&] {
            auto* level = qobject_cast<QLineEdit*>(findChildCtrl(&dialog, CSensorsDlg::kLevelId));
            return level && !level->text().isEmpty();
        })) << "the raw level shows while connected";
        dialog.show();
        guitest::saveScreenshot(&dialog, QStringLiteral("readings_level_sensor"));
        dialog.hide();
    }
    CSensorsDlg again(doc->pageContext(), run.app().mainFrame());
    ASSERT_TRUE(again.Create());
    EXPECT_EQ(again.selectedCode(), 1) << "the stored thresholds are AEB 1050's again";
    EXPECT_TRUE(run.ui.shown().empty());
    qunsetenv("XDG_CONFIG_HOME");
}

} // namespace

namespace {

TEST(DemoReadings, ARecordingOffersItsNameShowsItsMarkAndSaysWhatItSaved)
{
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("cfg")).toLocal8Bit());
    SAppOptions options;
    options.demo = true;
    CShellRun run(options);
    ASSERT_TRUE(run.start());
    COdczytyDlg* page = readingsPage(run);
    ASSERT_NE(page, nullptr);
    CLPGDevice& device = run.app().document()->device();
    const std::string path = dir.filePath(QStringLiteral("drive.osc")).toStdString();
    run.ui.queueFile(path);
    qobject_cast<QAbstractButton*>(findChildCtrl(page, COdczytyDlg::kRecordId))->click();
    // Offered: the serial, then the date, in the recordings folder.
    ASSERT_EQ(run.ui.fileDefaults().size(), 1u);
    const std::string offered = std::filesystem::path(run.ui.fileDefaults()[0]).filename().string();
    const std::string serial = toUtf8(device.image().m_devInfo.m_serial);
    EXPECT_EQ(offered.rfind(fileNamePart(device.image().m_devInfo.m_serial) + "_", 0), 0u) << offered << " " << serial;
    EXPECT_TRUE(offered.ends_with(".osc")) << offered;
    ASSERT_TRUE(device.session().isRecording());
    ASSERT_TRUE(waitFor([&] { return device.session().recordedLines() >= 3; }));
    page->onTimer();
    EXPECT_TRUE(page->recordMarkAlarm());
    EXPECT_TRUE(page->recordMark().contains(QStringLiteral("NAGRYWANIE"))) << page->recordMark().toStdString();
    EXPECT_TRUE(page->recordMark().contains(QStringLiteral("drive.osc")));
    EXPECT_TRUE(page->recordMark().contains(QStringLiteral(" kB")));
    guitest::resizeTo(run.app().mainFrame(), QSize(1366, 768));
    guitest::saveScreenshot(run.app().mainFrame(), QStringLiteral("readings_recording"));

    // Stop: the file's records and length, no longer red.
    page->onStop();
    EXPECT_FALSE(device.session().isRecording());
    std::ifstream file(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto lines = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    ASSERT_GE(lines, 3);
    const int seconds = lines / 10;
    EXPECT_EQ(page->recordMark(), QStringLiteral("Zapisano: drive.osc (%1 rekordów, %2:%3)")
        .arg(lines).arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0')));
    EXPECT_FALSE(page->recordMarkAlarm());
    page->onTimer();
    EXPECT_TRUE(page->recordMark().startsWith(QStringLiteral("Zapisano:"))) << "the saved file stays named";
    EXPECT_TRUE(run.ui.shown().empty());
    qunsetenv("XDG_CONFIG_HOME");
}

TEST(DemoReadings, APlaybackMovesWithTimeAtItsSpeedSeeksAndOpensFromTheCommandLine)
{
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("cfg")).toLocal8Bit());
    // 300 records (30 s): rpm counts up, four cylinders drive, the car on LPG from record 100.
    const std::string osc = dir.filePath(QStringLiteral("drive.osc")).toStdString();
    {
        std::ofstream out(osc, std::ios::binary);
        for (int i = 0; i < 300; ++i) {
            out << (i >= 100 ? 3 : 2) << "\t" << 1000 + 10 * i;
            for (int k = 0; k < 8; ++k)
                out << "\t" << (k < 4 ? 4.0 + k : 0.0) << "\t" << (k < 4 && i >= 100 ? 4.5 + k : 0.0);
            out << "\t120\t40\t30\t60\t0.5\t0.5\t1\t2\t3\t4\t0\t0\t0\t0\r\n";
        }
    }
    SAppOptions options;
    options.demo = true;
    options.files = { osc };
    CShellRun run(options);
    ASSERT_TRUE(run.start());
    COdczytyDlg* page = readingsPage(run);
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(waitFor([&] { return page->isPlayingBack(); })) << "the file given at start plays";
    ASSERT_EQ(page->playbackLength(), 300u);
    EXPECT_TRUE(page->isVisible());
    page->pausePlayback(true);
    run.app().mainFrame()->stopTimer();
    page->seekPlayback(0);
    // The recording's clock, stepped: a second is ten records, twice that at 2x.
    page->pausePlayback(false);
    page->advancePlayback(1000);
    EXPECT_EQ(page->playbackPosition(), 10u);
    EXPECT_EQ(page->gauge(0)->valueText()->text(), QStringLiteral("1090"));
    page->setPlaybackSpeed(2.0);
    page->advancePlayback(1000);
    EXPECT_EQ(page->playbackPosition(), 30u);
    EXPECT_EQ(page->chart()->data().line(0)->points.size(), 30u);
    page->setPlaybackSpeed(0.25);
    page->advancePlayback(200);
    page->advancePlayback(200);
    EXPECT_EQ(page->playbackPosition(), 31u) << "fractions of a record add up";
    // A seek: the chart ends at the position, the panel shows that record.
    page->seekPlayback(250);
    EXPECT_EQ(page->playbackPosition(), 250u);
    EXPECT_EQ(page->gauge(0)->valueText()->text(), QStringLiteral("3490"));
    EXPECT_EQ(page->lpgDisplay(1)->valueText()->text(), QStringLiteral("5.50 ms"));
    EXPECT_EQ(page->chart()->data().line(0)->points.rbegin()->first, 249.0 * readingschart::kPlaybackStep);
    // Only the cylinders the recording drove have lines in the demo.
    EXPECT_TRUE(page->legend()->entry(readingschart::kPetrolLine + 3)->present);
    EXPECT_FALSE(page->legend()->entry(readingschart::kPetrolLine + 4)->present);
    EXPECT_FALSE(page->chart()->data().line(readingschart::kLpgLine + 4)->visible);
    // The page says what plays; the end stops it.
    const QString said = qobject_cast<QLabel*>(findChildCtrl(page, COdczytyDlg::kPlayLabelId))->text();
    EXPECT_TRUE(said.startsWith(QStringLiteral("ODTWARZANIE: drive.osc  0:25 / 0:30"))) << said.toStdString();
    page->setPlaybackSpeed(8.0);
    page->advancePlayback(10000);
    EXPECT_EQ(page->playbackPosition(), 300u);
    EXPECT_FALSE(page->playbackRunning());
    // "Odtwórz" at the end plays it again from the start.
    qobject_cast<QAbstractButton*>(findChildCtrl(page, COdczytyDlg::kPlayId))->click();
    EXPECT_TRUE(page->playbackRunning());
    EXPECT_EQ(page->playbackPosition(), 0u);
    guitest::resizeTo(run.app().mainFrame(), QSize(1366, 768));
    page->pausePlayback(true);
    page->seekPlayback(200);
    guitest::saveScreenshot(run.app().mainFrame(), QStringLiteral("readings_playback_demo"));
    // Stop: live, every cylinder of the demo controller back.
    qobject_cast<QAbstractButton*>(findChildCtrl(page, COdczytyDlg::kStopId))->click();
    EXPECT_FALSE(page->isPlayingBack());
    EXPECT_TRUE(page->legend()->entry(readingschart::kPetrolLine + 7)->present);
    EXPECT_FALSE(findChildCtrl(page, COdczytyDlg::kPlaySliderId)->isVisible());
    EXPECT_TRUE(run.ui.shown().empty());

    // A recording dropped on the window plays too.
    QMimeData data;
    data.setUrls({ QUrl::fromLocalFile(QString::fromStdString(osc)) });
    QDragEnterEvent enter(QPoint(400, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(run.app().mainFrame(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(400, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(run.app().mainFrame(), &drop);
    EXPECT_TRUE(page->isPlayingBack());
    qunsetenv("XDG_CONFIG_HOME");
}

// Each injector icon names its cylinder and says what a click on it does.
TEST(DemoReadings, InjectorIconsSayTheirKeyAndWhatAClickDoes)
{
    SAppOptions options;
    options.demo = true;
    CShellRun run(options);
    ASSERT_TRUE(run.start());
    COdczytyDlg* page = readingsPage(run);
    ASSERT_NE(page, nullptr);
    const auto icons = page->findChildren<CGDIpInjectorStateDisplay*>();
    ASSERT_EQ(icons.size(), 16);
    QStringList tips;
    for (const auto* icon : icons)
        tips << icon->toolTip();
    EXPECT_TRUE(tips.contains(QStringLiteral(
        "B3: wtryskiwacz benzyny cylindra 3. Kliknięcie (na gazie) włącza lub wyłącza jego emulator.")));
    EXPECT_TRUE(tips.contains(QStringLiteral(
        "G8: wtryskiwacz gazu cylindra 8. Kliknięcie (na gazie) wyłącza lub włącza ten wtryskiwacz.")));
}

TEST(DemoReadings, CsvExportOfARecordingAndNothingLeftOfABadOne)
{
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("cfg")).toLocal8Bit());
    SAppOptions options;
    options.demo = true;
    CShellRun run(options);
    ASSERT_TRUE(run.start());
    COdczytyDlg* page = readingsPage(run);
    ASSERT_NE(page, nullptr);
    CDiag record;
    record.setFuelState(3);
    record.setU16(CDiag::kRpmPeriodAt, 2400);
    std::string lines;
    for (int i = 0; i < 3; ++i)
        lines += CDiagFile::formatLine(record, CDiagScale(), CDiagFile::ObdValues {});
    const std::string osc = dir.filePath(QStringLiteral("drive.osc")).toStdString();
    const std::string csv = dir.filePath(QStringLiteral("drive.csv")).toStdString();
    std::ofstream(osc, std::ios::binary) << lines;
    // Through the button: the recording, then where the CSV goes.
    run.ui.queueFile(osc);
    run.ui.queueFile(csv);
    qobject_cast<QAbstractButton*>(findChildCtrl(page, COdczytyDlg::kExportCsvId))->click();
    std::ifstream in(csv);
    std::string header, row, lastRow;
    std::getline(in, header);
    EXPECT_EQ(header, COscCsv::header().substr(0, COscCsv::header().find('\n')));
    int rows = 0;
    while (std::getline(in, row))
        if (!row.empty()) {
            ++rows;
            lastRow = row;
        }
    EXPECT_EQ(rows, 3);
    std::vector<CDiagFile::Record> records;
    ASSERT_TRUE(CDiagFile::readRecords(osc, records));
    EXPECT_EQ(lastRow + "\n", COscCsv::row(2, records[2]));
    EXPECT_TRUE(run.ui.shown().empty());

    const std::string bad = dir.filePath(QStringLiteral("bad.osc")).toStdString();
    const std::string badCsv = dir.filePath(QStringLiteral("bad.csv")).toStdString();
    std::ofstream(bad, std::ios::binary) << lines << "3\t2000\t1.5\n";
    EXPECT_FALSE(page->exportCsv(bad, badCsv));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(badCsv)));
    ASSERT_EQ(run.ui.shown().size(), 1u);
    EXPECT_NE(run.ui.shown()[0].text.find(L"wiersz 4"), std::wstring::npos);
    qunsetenv("XDG_CONFIG_HOME");
}

TEST(DemoReadings, CsvExportOfARecordingWithBytesThatAreNoTextSaysWhereAndGoesOn)
{
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("cfg")).toLocal8Bit());
    SAppOptions options;
    options.demo = true;
    CShellRun run(options);
    ASSERT_TRUE(run.start());
    COdczytyDlg* page = readingsPage(run);
    ASSERT_NE(page, nullptr);
    // A damaged recording: its bad token is no UTF-8 and holds a terminal's escape.
    const std::string bad = dir.filePath(QStringLiteral("bad.osc")).toStdString();
    std::ofstream(bad, std::ios::binary) << "3\t\xff\xfe\x1b[31m\n";
    run.ui.queueFile(bad);
    run.ui.queueFile(dir.filePath(QStringLiteral("bad.csv")).toStdString());
    qobject_cast<QAbstractButton*>(findChildCtrl(page, COdczytyDlg::kExportCsvId))->click();
    ASSERT_EQ(run.ui.shown().size(), 1u);
    const std::wstring& text = run.ui.shown()[0].text;
    EXPECT_NE(text.find(L"wiersz 1"), std::wstring::npos) << toUtf8(text);
    EXPECT_NE(text.find(L"\"\\xff\\xfe\\x1b[31m\""), std::wstring::npos) << toUtf8(text);
    qunsetenv("XDG_CONFIG_HOME");
}

TEST(DemoReadings, AnExceptionLeavingASlotIsShownAndTheProgramGoesOn)
{
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("cfg")).toLocal8Bit());
    SAppOptions options;
    options.demo = true;
    CShellRun run(options);
    ASSERT_TRUE(run.start());
    // Queued, so that it runs from the event loop as a button's slot does.
    QMetaObject::invokeMethod(
        run.app().mainFrame(), [] { throw std::runtime_error("bad state \x1b[2J"); }, Qt::QueuedConnection);
    QCoreApplication::processEvents();
    ASSERT_EQ(run.ui.shown().size(), 1u);
    EXPECT_EQ(run.ui.shown()[0].text, L"Nieoczekiwany błąd programu:\nbad state \\x1b[2J");
    // The program still runs its pages.
    ASSERT_NE(readingsPage(run), nullptr);
    qunsetenv("XDG_CONFIG_HOME");
}

} // namespace

#include <app/shell/wspolneodczytyexmultipagedlg.h>
#include <app/tuning/deviceobd.h>

namespace {

TEST(DemoReadings, ExtendedPanelTilesShowTheObdReadings)
{
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("cfg")).toLocal8Bit());
    SAppOptions options;
    options.demo = true;
    CShellRun run(options);
    ASSERT_TRUE(run.start());
    CkorvanaDoc* doc = run.app().document();
    CWspolneOdczytyExMultiPageDlg page(doc->pageContext(), 316);
    ASSERT_TRUE(page.Create());
    auto tile = [&](int id) { return qobject_cast<QLabel*>(findChildCtrl(&page, id))->text(); };
    EXPECT_EQ(tile(1154), QStringLiteral("\nSTFT Bank 1\n- %"));
    obdOf(doc->device()).setReadingText(0, L"3.1");
    obdOf(doc->device()).setReadingText(6, L"0.45");
    ASSERT_TRUE(waitFor([&] { return doc->device().diagData().newestSequence() > 0; }));
    page.onTimer();
    EXPECT_EQ(tile(1154), QStringLiteral("\nSTFT Bank 1\n3.1 %"));
    EXPECT_EQ(tile(1153), QStringLiteral("\nOS Bank 2-1\n0.45 V"));
    EXPECT_EQ(tile(1160), QStringLiteral("\nOS Bank 1-2\n- V"));
    // The panel's own controls are there too, at their ids.
    EXPECT_NE(findChildCtrl(&page, CWspolneOdczytyMultiPageDlg::kRpmId), nullptr);
    EXPECT_NE(findChildCtrl(&page, 1040), nullptr);
    EXPECT_EQ(CWspolneOdczytyExMultiPageDlg::readingOfTile(1158), 3);
    page.resize(1060, 660);
    page.show();
    guitest::saveScreenshot(&page, QStringLiteral("readings_extended_panel"));
    qunsetenv("XDG_CONFIG_HOME");
}

} // namespace
