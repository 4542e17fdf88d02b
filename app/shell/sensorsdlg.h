// SPDX-License-Identifier: GPL-3.0-or-later
// "Czujnik poziomu gazu": the level-sensor dialog behind "Wskazanie". The
// fitter picks the sensor type (which loads its thresholds), nudges the four
// thresholds, sets the sensor's three options, and watches the raw level and
// the console picture while the controller is connected. Every change is
// written to the controller at once.
#pragma once

#include <app/shell/itimerbasedgui.h>
#include <app/shell/pagecontext.h>
#include <app/shell/skindlg.h>
#include <app/shell/viewdisplaystate.h>
#include <app/data/imultilanggui.h>

#include <QImage>

#include <array>
#include <cstdint>

class CUnreadLine;
class QTimer;

class CSensorsDlg : public CSkinDlg, public ITimerBasedGUI, public IMultilangGUI {
    Q_OBJECT
public:
    static constexpr int kResourceId = 334;
    static constexpr int kTypeId = 1115;
    static constexpr int kValveSupplyId = 1120;
    static constexpr int kStartInAutoId = 1040;
    static constexpr int kNoRisingLevelId = 1041;
    static constexpr int kLevelId = 1190;
    // Thresholds full, three quarters, half, quarter and their arrows.
    static constexpr std::array<int, 4> kThresholdIds = { 1186, 1187, 1188, 1189 };
    static constexpr std::array<int, 4> kSpinIds = { 1191, 1192, 1193, 1194 };
    static constexpr int kConsoleId = 1001;
    static constexpr int kOkId = 1;
    static constexpr int kTimerId = 5005;
    static constexpr int kTimerMs = 300;

    explicit CSensorsDlg(const CPageContext& context, QWidget* parent = nullptr);
    ~CSensorsDlg() override;

    // The raw level and the console picture from the newest record, while connected.
    void onTimer() override;
    void updateTexts() override;

    // What the controls do (also called by tests).
    void onSelectType(int code);
    void onToggleFlag(int id);
    void onDeltaPos(int threshold, int delta);
    int selectedCode() const;
    QTimer* refreshTimer() const { return m_timer; }

protected:
    std::span<const SCtrlLayout> layoutTable() const override;
    void createControls() override;
    bool OnInitDialog() override;

private:
    void showThresholds();
    void selectMatchingType();
    bool writeSensors(const wchar_t* handler, const wchar_t* failure);

    // Everything from the settings image; what was not read from the controller shows "—" and is disabled.
    void showAll();
    bool unread(uint32_t block) const;

    CPageContext m_context;
    CUnreadLine* m_unread = nullptr;
    QTimer* m_timer = nullptr;
    std::array<QImage, 7> m_consoleImages;
    CViewDisplayState m_display;
};
