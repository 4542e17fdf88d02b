// SPDX-License-Identifier: GPL-3.0-or-later
// The "Kalibracja" page: the idle autocalibration with its coloured log and
// progress bar, and the eight main corrections with their spins. The page only
// shows; the live readings panel sits on its right. The procedure is CAutoCalibration and the spin rule CMainCorrEdits.
//
// A run holds the document's operation for its whole length, so no search,
// fuel button or second procedure starts inside it; "Zatrzymaj" is no
// operation of its own and ends the run at its next wait. While a run goes on
// the spins stay disabled: the procedure owns the corrections then.
//
// A run whose link went leaves the controller changed (the cylinder switching
// time, the fuel mode): when the link returns the page names that and asks
// whether to put it back, as an operation of its own once the search that
// reconnected has ended.
#pragma once

#include <app/data/readblocks.h>
#include <app/shell/wspolneodczytyexmultipagedlg.h>
#include <app/tuning/autocalibration.h>
#include <app/tuning/blockundo.h>
#include <app/tuning/calibrationobserver.h>
#include <app/tuning/maincorredits.h>

#include <array>

class CCorrectionSpin;
class CUnreadLine;
class CExtEdit;
class QCheckBox;
class QListWidget;
class QProgressBar;
class QWidget;

class CKalibracjaDlg : public CWspolneOdczytyExMultiPageDlg, private ICalibrationObserver {
    Q_OBJECT
public:
    static constexpr int kResourceId = 316;
    // Control ids.
    static constexpr int kStartId = 1201; // "Kalibracja", captioned "Autokalibracja"
    static constexpr int kStopId = 1202; // "Zatrzymaj"
    static constexpr int kPerCylinderId = 1203; // "Autokalibracja po 1 cylindrze"
    static constexpr int kOneCorrectionId = 1204; // "Jedna poprawka"
    static constexpr int kProgressId = 1205; // 0 … 1000
    static constexpr int kLogId = 1206;
    static constexpr int kCorrBoxId = 1207;
    static constexpr int kFirstEditId = 1210; // 1210 … 1217, cylinders 1 … 8
    static constexpr int kFirstSpinId = 1220; // 1220 … 1227
    static constexpr int kFirstLabelId = 1230; // 1230 … 1237, "1" … "8"

    explicit CKalibracjaDlg(const CPageContext& context, QWidget* parent = nullptr);
    ~CKalibracjaDlg() override;

    // The panel, and the corrections from the settings image.
    void activate() override;
    void updateTexts() override;

    // The buttons and the spin handler.
    void OnBnClickedStart();
    void OnBnClickedStop();
    void onDeltaSpinMainCorr(int index, int positionChange);
    // After a reconnection: the question about what the last run left changed.
    void offerPutBack();

    // Ctrl+Z / Ctrl+Y: the corrections' spin changes of this session, read again before each.
    bool canUndo() const { return m_undo.canUndo(); }
    bool canRedo() const { return m_undo.canRedo(); }
    void undo();
    void redo();

    bool running() const { return m_calibration.running(); }
    bool oneCorrection() const;
    bool perCylinder() const;
    // The log as shown: text and colour (0x00BBGGRR) of each line.
    struct SLogLine {
        std::wstring text;
        uint32_t colour;
    };
    std::vector<SLogLine> logLines() const;
    int progressPosition() const;
    QString correctionText(int index) const;
    CUnreadLine* unreadLine() const { return m_unread; }
    // What the page shows and its run writes: the corrections and the base block.
    static constexpr uint32_t kShownBlocks = CReadBlocks::MainCorr | CReadBlocks::Base;

protected:
    std::span<const SCtrlLayout> layoutTable() const override;
    void createControls() override;
    bool OnInitDialog() override;

private:
    // ICalibrationObserver
    void clearLog() override;
    void logLine(const std::wstring& text, uint32_t colour) override;
    void progress(int position) override;
    void mainCorrectionsChanged() override;
    void runningChanged(bool running) override;

    void showCorrections();
    bool correctionsUnread() const;
    void updateSpins();
    void updateStartButton();

    CAutoCalibration m_calibration;
    CMainCorrEdits::Texts m_texts;
    CBlockUndo m_undo;
    CUnreadLine* m_unread = nullptr;
    QListWidget* m_log = nullptr;
    QProgressBar* m_progress = nullptr;
    std::array<CExtEdit*, CMainCorrEdits::kEdits> m_edits {};
    std::array<CCorrectionSpin*, CMainCorrEdits::kEdits> m_spins {};
    std::array<QWidget*, CMainCorrEdits::kEdits> m_labels {};
};
