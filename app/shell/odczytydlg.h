// "Odczyty": the live panel plus the chart of every reading over time, the
// check boxes that show or hide its lines, one pair of injection-time bars per
// cylinder, and the recorder: record the readings to a .osc file, play one
// back, hold the chart, step through it, and export a recording as CSV.
#pragma once

#include <app/shell/wspolneodczytymultipagedlg.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CScrollChart;
class CChartLegend;
class CLevelBar;
class CImageCheckBox;
class CGDIpStatic;

class COdczytyDlg : public CWspolneOdczytyMultiPageDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 313;
    static constexpr int kChartId = 1014;
    // The chart's legend and value column: every line by group, shown or hidden there.
    static constexpr int kLegendId = 1008;
    // The recorder's line under the chart: what is being recorded or was saved.
    static constexpr int kRecordMarkId = 1009;
    // Bars: cylinder k has petrol bar 1059 + 3k, LPG bar 1060 + 3k and label 1061 + 3k.
    static constexpr int kFirstBarId = 1059;
    // Recorder.
    static constexpr int kStartId = 1083;
    static constexpr int kStopId = 1002;
    static constexpr int kRecordId = 1003;
    static constexpr int kPlayId = 1001;
    static constexpr int kPauseId = 1020;
    static constexpr int kPrevId = 1004;
    static constexpr int kNextId = 1005;
    static constexpr int kOpenId = 1006;
    static constexpr int kExportCsvId = 1007;
    // Injection time that fills a bar, ms.
    static constexpr double kBarFullMs = 20.0;

    explicit COdczytyDlg(const CPageContext& context, QWidget* parent = nullptr);
    ~COdczytyDlg() override;

    // The panel, then every record that arrived since the last refresh onto the chart.
    void onTimer() override;
    void updateTexts() override;
    void activate() override;

    CScrollChart* chart() const { return m_chart; }
    // The recorder's line as shown, and whether it is red (recording, or a write failed).
    QString recordMark() const;
    bool recordMarkAlarm() const { return m_recordAlarm; }
    // The name "Nagraj" offers: serial, car and the time now.
    std::string defaultRecordingPath() const;
    CChartLegend* legend() const { return m_legend; }
    int32_t sampleCounter() const { return m_counter; }
    bool isPaused() const { return m_paused; }
    CLevelBar* petrolBar(int cylinder) const { return m_bars[static_cast<std::size_t>(cylinder)][0]; }
    CLevelBar* lpgBar(int cylinder) const { return m_bars[static_cast<std::size_t>(cylinder)][1]; }

    // The recorder buttons.
    void onStart();
    void onStop();
    void onRecord();
    void onPlay();
    void onPause();
    void onPrev();
    void onNext();
    void onExportCsv();
    // What "Nagraj" and "Odtwórz" do once a file is chosen; true when done.
    bool recordTo(const std::string& path);
    bool playBack(const std::string& path);
    // What "Eksport CSV" does once both files are chosen; true when written.
    bool exportCsv(const std::string& oscPath, const std::string& csvPath);

protected:
    std::span<const SCtrlLayout> layoutTable() const override;
    void createControls() override;
    bool OnInitDialog() override;

private:
    void setUpChart();
    void resetChart(bool readMode);
    void addPoints(const std::array<double, 27>& points);
    void stepWindow(int direction);
    void setUpLegend();
    void onLineBox(int line, bool shown);
    void onGroupBox(int group, bool shown);
    // The legend's values: the newest points, or those under the cursor at x.
    void showValues(std::optional<double> x);
    // Back to the newest data when nothing holds the window.
    void followNewest();
    void updateBars(const CDiag& record);
    // The recorder's line from the device's recording state.
    void updateRecordMark();
    void setRecordMark(const QString& text, bool alarm);
    // Bars and line boxes of cylinders beyond the controller's injector count are hidden.
    void showCylinders();

    CScrollChart* m_chart = nullptr;
    CChartLegend* m_legend = nullptr;
    CGDIpStatic* m_recordMarkLabel = nullptr;
    std::array<std::array<CLevelBar*, 2>, 8> m_bars {};
    // The chart's x of the next record.
    int32_t m_counter = 0;
    // Holds the chart's window while records go on arriving.
    bool m_paused = false;
    double m_heldStart = 0.0;
    // The newest record already on the chart.
    uint64_t m_chartSequence = 0;
    std::string m_lastFile;
    // The recording started here, and when (for the elapsed time).
    std::string m_recordingPath;
    std::chrono::steady_clock::time_point m_recordingSince;
    bool m_recordAlarm = false;
    // The lines a recording stopped here wrote (the next polling start counts afresh).
    std::optional<uint32_t> m_stoppedRecords;
    int m_shownCylinders = -1;
    // Chart x per record: live and played-back records step differently.
    int m_xPerRecord = 5;
};
