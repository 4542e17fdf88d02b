// SPDX-License-Identifier: GPL-3.0-or-later
// "Odczyty": the live panel plus the chart of every reading over time, the
// check boxes that show or hide its lines, one pair of injection-time bars per
// cylinder, and the recorder: record the readings to a .osc file, play one
// back, hold the chart, step through it, and export a recording as CSV.
#pragma once

#include <app/shell/wspolneodczytymultipagedlg.h>

#include <QElapsedTimer>

#include <array>
#include <chrono>
#include <memory>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CScrollChart;
class CChartLegend;
class CLevelBar;
class CImageCheckBox;
class CGDIpStatic;
class COscRecording;
class QTimer;

class COdczytyDlg : public CWspolneOdczytyMultiPageDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 313;
    static constexpr int kChartId = 1014;
    // The chart's legend and value column: every line by group, shown or hidden there.
    static constexpr int kLegendId = 1008;
    // The recorder's line under the chart: what is being recorded or was saved.
    static constexpr int kRecordMarkId = 1009;
    // Playback: what plays and where, the position and the speed.
    static constexpr int kPlayLabelId = 1084;
    static constexpr int kPlaySliderId = 1085;
    static constexpr int kPlaySpeedId = 1086;
    static constexpr std::array<double, 6> kSpeeds = { 0.25, 0.5, 1.0, 2.0, 4.0, 8.0 };
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

    // The recorder buttons' pictures, for decoding ahead of the page.
    static std::vector<std::wstring> skinFiles();

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
    // The folder button: choose a recording and play it.
    void onOpen();
    // What "Nagraj" and "Odtwórz" do once a file is chosen; true when done.
    bool recordTo(const std::string& path);
    bool playBack(const std::string& path);

    // Playback, the recording's clock a record every 100 ms.
    bool isPlayingBack() const { return m_played != nullptr; }
    bool playbackRunning() const { return m_playing; }
    // Records shown of the recording (the position), and how many it has.
    std::size_t playbackPosition() const { return m_playShown; }
    std::size_t playbackLength() const;
    void seekPlayback(std::size_t record);
    void setPlaybackSpeed(double speed);
    double playbackSpeed() const { return m_playSpeed; }
    // Moves the playback on by ms of the recording's time at its speed (the
    // playback timer calls it with the time that passed).
    void advancePlayback(double ms);
    void pausePlayback(bool paused);
    // Back to live readings.
    void stopPlayback();
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
    // Appends records m_playShown … last − 1 to the chart and shows the last on the panel.
    void playTo(std::size_t last);
    void showPlaybackState();
    // Connected to a controller that is not the demo's.
    bool realController() const;
    // Bars and line boxes of cylinders beyond the controller's injector count are hidden.
    void showCylinders();
    // The legend entries and chart lines of one cylinder's petrol and LPG times.
    void showCylinderLines(int cylinder, bool shown);

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
    // The recording played back, null while live.
    std::unique_ptr<COscRecording> m_played;
    std::size_t m_playShown = 0; // records on the chart and behind the panel
    double m_playPos = 0.0;      // the position in records, fractions of the next one included
    double m_playSpeed = 1.0;
    bool m_playing = false;
    QTimer* m_playTimer = nullptr;
    QElapsedTimer m_playClock;
    // When the legend's values were last refreshed from live records.
    static constexpr int kValuesPeriodMs = 250;
    QElapsedTimer m_valuesShown;
    int m_shownCylinders = -1;
    // Chart x per record: live and played-back records step differently.
    int m_xPerRecord = 5;
};
