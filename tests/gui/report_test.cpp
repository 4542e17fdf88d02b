// SPDX-License-Identifier: GPL-3.0-or-later
// The customer's report. A session against korvana-sim in-process (two
// settings changed, a map region stepped, the car's codes read and cleared)
// gives a PDF whose text holds the serial, the car, both values of each
// changed setting, the codes with their texts and "X / N" page numbers, and
// whose pages all render. korvana --report writes the report of the demo
// controller and of the simulator without a window, and no word of it lies
// outside the page's margins in Polish, English or German. The car dialog
// reads the VIN from the simulated car and the car is kept by serial.
#include <app/data/languages.h>
#include <app/data/settingfields.h>
#include <app/device/historyrecorder.h>
#include <app/device/lpgdevice.h>
#include <app/platform/consoleinteraction.h>
#include <app/shell/samochoddlg.h>
#include <app/shell/sessionreport.h>
#include <app/tuning/deviceobd.h>
#include <basectrls/ctrlid.h>

#include <childprocess.h>
#include <scratchfolder.h>
#include <simprocess.h>

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QString>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// pdftotext's text of the PDF ("" when poppler is missing: the caller skips).
std::string pdfText(const std::string& pdf, const std::vector<std::string>& extra = {})
{
    std::vector<std::string> args = extra;
    args.push_back(pdf);
    args.push_back("-");
    const ProgramResult r = runProgram("/usr/bin/pdftotext", args, 30s);
    return r.exitCode == 0 ? r.out : std::string();
}

int pageCount(const std::string& pdf)
{
    const ProgramResult r = runProgram("/usr/bin/pdfinfo", { pdf }, 30s);
    std::smatch m;
    if (std::regex_search(r.out, m, std::regex("Pages:\\s+(\\d+)")))
        return std::stoi(m[1]);
    return 0;
}

bool havePoppler()
{
    return fs::exists("/usr/bin/pdftotext") && fs::exists("/usr/bin/pdftoppm") && fs::exists("/usr/bin/pdfinfo");
}

// Squeezes runs of blanks, as pdftotext may set words apart.
std::string squeezed(std::string text)
{
    return std::regex_replace(text, std::regex("[ \\t]+"), " ");
}

class Report : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!havePoppler())
            GTEST_SKIP() << "poppler-utils (pdftotext, pdftoppm, pdfinfo) not installed";
        m_dir = scratch(::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
        m_env = { "XDG_DATA_HOME=" + m_dir + "/data", "XDG_CONFIG_HOME=" + m_dir + "/config",
            "XDG_STATE_HOME=" + m_dir + "/state", "HOME=" + m_dir, "QT_QPA_PLATFORM=offscreen" };
    }

    ProgramResult korvana(std::vector<std::string> args)
    {
        return runProgram(KORVANA_PROGRAM, args, 60s, m_env);
    }

    // Every word inside the printable area: 15 mm (42.5 pt) from the left and right edges of A4.
    void expectInsideMargins(const std::string& pdf, const std::string& what)
    {
        const std::string html = pdfText(pdf, { "-bbox" });
        ASSERT_FALSE(html.empty()) << what;
        const std::regex word(R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
        int words = 0;
        for (auto it = std::sregex_iterator(html.begin(), html.end(), word); it != std::sregex_iterator(); ++it) {
            ++words;
            const double x0 = std::stod((*it)[1]);
            const double y0 = std::stod((*it)[2]);
            const double x1 = std::stod((*it)[3]);
            const double y1 = std::stod((*it)[4]);
            EXPECT_GE(x0, 42.0) << what << ": " << (*it)[5];
            EXPECT_LE(x1, 595.3 - 42.0) << what << ": " << (*it)[5];
            EXPECT_GE(y0, 20.0) << what << ": " << (*it)[5];
            EXPECT_LE(y1, 841.9 - 20.0) << what << ": " << (*it)[5];
        }
        EXPECT_GT(words, 200) << what;
    }

    std::string m_dir;
    std::vector<std::string> m_env;
};

} // namespace

TEST_F(Report, SessionAgainstTheSimulator)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.start()) << sim.error();
    ASSERT_EQ(sim.send("engine idle"), "ok engine idle");
    CConsoleInteraction yes(true);
    CInteractionScope scope(yes);
    CHistoryRecorder recorder(m_dir + "/history.sqlite3");
    CLPGDevice device;
    ASSERT_TRUE(device.session().connectOnPort(device.link().ports().addPath(sim.ptyPath(), "test")));
    recorder.connected(device);
    ASSERT_NE(recorder.connectedPoint(), 0);
    ASSERT_TRUE(obdOf(device).setupStep());

    CCarDetails car;
    car.m_carInfo.m_vendor = L"Skoda";
    car.m_carInfo.m_model = L"Octavia";
    car.m_carInfo.m_engine = L"1.6 MPI";
    car.m_vin = L"KRVZZZ1ZZAK012345";
    car.m_registration = L"WE 4711K";
    car.m_customer = L"Jan Kowalski";
    ASSERT_TRUE(recorder.setCar(device, car));

    // Two settings up by a few steps, and a block of the map.
    std::vector<std::pair<std::wstring, std::wstring>> changed;
    for (const char* key : { "m_base.m_switchRPM", "m_base.m_switchTempr" }) {
        const CSettingField* field = CSettingsTable::find(key);
        ASSERT_NE(field, nullptr) << key;
        const std::wstring unit = std::wstring(L" ") + field->unit;
        const std::wstring before = CSettingsTable::text(*field, device.image()) + unit;
        const auto next = CSettingsTable::spin(*field, device.image(), -3);
        ASSERT_TRUE(next) << key;
        device.changeImage([&](CSettingsImage& image) { CSettingsTable::setValue(*field, image, *next); });
        changed.emplace_back(before, CSettingsTable::text(*field, device.image()) + unit);
    }
    ASSERT_TRUE(device.writeBlock(CReadBlocks::Base));
    for (int row = 4; row < 7; ++row)
        for (int col = 2; col < 5; ++col)
            device.liveImage().m_corrMap.m_injMapTable[row][col] += 5;
    ASSERT_TRUE(device.writeBlock(CReadBlocks::InjMap));

    std::vector<uint16_t> codes;
    ASSERT_EQ(obdOf(device).readTroubleCodes(codes), CObdDiagnostic::Outcome::Done);
    ASSERT_EQ(codes.size(), 3u);
    ASSERT_EQ(obdOf(device).clearTroubleCodes(), CObdDiagnostic::Outcome::Done);

    const CSessionReport report = CSessionReport::gather(device, &recorder, recorder.connectedPoint());
    EXPECT_EQ(report.changedCellCount, 9);
    const std::string pdf = m_dir + "/session.pdf";
    ASSERT_TRUE(report.writePdf(QString::fromStdString(pdf)));
    const std::string text = squeezed(pdfText(pdf));
    const int pages = pageCount(pdf);
    ASSERT_GE(pages, 2);
    for (const char* expected : { "SIM0412345", "Skoda", "Octavia", "1.6 MPI", "KRVZZZ1ZZAK012345", "WE 4711K",
             "Jan Kowalski", "P0171 System too Lean (Bank 1)", "P0300 Random/Multiple Cylinder Misfire Detected",
             "P0420 Catalyst System Efficiency Below Threshold (Bank 1)", "skasowane" })
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    for (const auto& [before, after] : changed) {
        const std::string both = QString::fromStdWString(before + L" → " + after).toStdString();
        EXPECT_NE(text.find(both), std::string::npos) << both << "\n" << text;
    }
    for (int page = 1; page <= pages; ++page) {
        const std::string mark = std::to_string(page) + " / " + std::to_string(pages);
        EXPECT_NE(text.find(mark), std::string::npos) << mark;
    }
    // Every page renders.
    const ProgramResult rendered = runProgram("/usr/bin/pdftoppm", { "-r", "30", "-png", pdf, m_dir + "/page" }, 60s);
    ASSERT_EQ(rendered.exitCode, 0) << rendered.err;
    for (int page = 1; page <= pages; ++page)
        EXPECT_TRUE(fs::exists(m_dir + "/page-" + std::to_string(page) + ".png")) << page;
}

// The car dialog against the simulated car: "Odczytaj VIN" fills the VIN, a
// car that answers short leaves it empty, and what the dialog holds is kept by
// serial (with what a calibration changed in the image) and filled into the
// image by the next run's recorder.
TEST_F(Report, TheCarDialogReadsTheVinAndTheCarIsKeptBySerial)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.start()) << sim.error();
    ASSERT_EQ(sim.send("engine idle"), "ok engine idle");
    CConsoleInteraction no(false);
    CInteractionScope scope(no);
    CHistoryRecorder recorder(m_dir + "/history.sqlite3");
    CLPGDevice device;
    ASSERT_TRUE(device.session().connectOnPort(device.link().ports().addPath(sim.ptyPath(), "test")));
    recorder.connected(device);
    ASSERT_TRUE(obdOf(device).setupStep());

    CSamochodDlg dialog(recorder.car(), [&device] { return readVinShown(device); });
    ASSERT_TRUE(dialog.Create());
    auto edit = [&dialog](int id) { return qobject_cast<QLineEdit*>(findChildCtrl(&dialog, id)); };
    ASSERT_TRUE(edit(CSamochodDlg::kVendorId) && edit(CSamochodDlg::kEngineId) && edit(CSamochodDlg::kPressureId));
    edit(CSamochodDlg::kVendorId)->setText(QStringLiteral("Skoda"));
    edit(CSamochodDlg::kEngineId)->setText(QStringLiteral(" 1.6 MPI "));
    edit(CSamochodDlg::kPressureId)->setText(QStringLiteral("120,5"));
    dialog.OnBnClickedReadVin();
    CCarDetails car = dialog.details();
    EXPECT_EQ(car.m_vin, L"KRVZZZ1ZZAK012345");
    EXPECT_EQ(car.m_carInfo.m_engine, L"1.6 MPI");
    EXPECT_DOUBLE_EQ(car.m_carInfo.m_reductorPress, 120.5);

    ASSERT_EQ(sim.send("vin KRVZZZ1Z"), "ok vin KRVZZZ1Z");
    edit(CSamochodDlg::kVinId)->clear();
    dialog.OnBnClickedReadVin();
    EXPECT_EQ(dialog.details().m_vin, L"") << "never a part of a VIN";

    ASSERT_TRUE(recorder.setCar(device, car));
    // The calibration sets the reducer pressure in the image: its point keeps it for the car.
    device.liveImage().m_carInfo.m_reductorPress = 118;
    ASSERT_NE(recorder.point(device, "after calibration"), 0);
    car.m_carInfo.m_reductorPress = 118;
    device.liveImage().m_carInfo = {};
    CHistoryRecorder next(m_dir + "/history.sqlite3");
    ASSERT_TRUE(next.loadCar(device));
    EXPECT_EQ(device.image().m_carInfo, car.m_carInfo);
    EXPECT_EQ(next.car(), car);
}

TEST_F(Report, FromTheCommandLineInsideTheMarginsInEveryLongLanguage)
{
    const std::string demo = m_dir + "/demo.pdf";
    ProgramResult r = korvana({ "--demo", "--report", demo });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(pdfText(demo).find("XZ0001"), std::string::npos) << "the demo controller's serial";

    CSimProcess sim;
    ASSERT_TRUE(sim.start()) << sim.error();
    ASSERT_EQ(sim.send("engine idle"), "ok engine idle");
    for (const char* language : { "0", "1", "4" }) {
        const std::string pdf = m_dir + "/sim-" + language + ".pdf";
        r = korvana({ "--port", sim.ptyPath(), "--lang", language, "--report", pdf });
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(pdfText(pdf).find("SIM0412345"), std::string::npos) << language;
        expectInsideMargins(pdf, std::string("language ") + language);
    }

    // No controller: status 1 and no file.
    const std::string none = m_dir + "/none.pdf";
    r = korvana({ "--port", m_dir + "/no-such-port", "--report", none });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(fs::exists(none));
}
