// SPDX-License-Identifier: GPL-3.0-or-later
// The "OBD" page: the link to the car's engine computer through the
// controller ("Włącz OBD" with its automatic detection), the eight OBD
// readings, the car's trouble codes (read and clear) and the automatic
// corrections from the fuel trims (COBD2Page), with "Zaawansowane" from
// controller version 0x305. The left side holds the page's own controls; the
// right side shows the readings panel with its OBD tiles.
#pragma once


#include <app/shell/obd2page.h>
#include <app/shell/pagecontext.h>
#include <app/shell/wspolneodczytyexmultipagedlg.h>
#include <app/tuning/obdcodes.h>
#include <app/tuning/obdconfigedit.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QListWidget;

class CObdDlg : public CWspolneOdczytyExMultiPageDlg, public COBDCodes {
    Q_OBJECT
public:
    static constexpr int kResourceId = 318;
    static constexpr int kComboEnable = 1201; // "Włącz OBD"
    static constexpr int kEditProtocol = 1202;
    static constexpr int kEditStandard = 1203; // "Wersja:"
    static constexpr int kEditReadingFirst = 1210; // reading i: kEditReadingFirst + i
    static constexpr int kListCodes = 1220;
    static constexpr int kButtonRead = 1221; // "Wczytaj błędy OBD"
    static constexpr int kButtonClear = 1222; // "Kasuj błędy OBD"
    static constexpr int kButtonVin = 1223; // "Odczytaj VIN"
    static constexpr int kEditVin = 1224;

    // "Włącz OBD" items in list order and the value each stands for.
    static constexpr uint8_t kEnableValues[5] = { 0, 4, 3, 1, 2 };
    static int enableItem(uint8_t value);

    explicit CObdDlg(const CPageContext& context, QWidget* parent = nullptr);
    ~CObdDlg() override;

    void init() override;
    void activate() override;
    void onTimer() override;
    // The page's own texts in the current language (the panel's through the base).
    void updateTexts() override;

    void OnBnClickedButtonread();
    void OnBnClickedButtonclear();
    // The car's VIN into the field and into the car kept for this controller.
    void OnBnClickedButtonVin();
    void OnCbnSelendokComboEnable();
    void OnDeltaposSpinAverageCorr(int step);
    void OnDeltaposSpinMaxCorr(int step);
    void OnDeltaposSpinNeutral1(int step);
    void OnDeltaposSpinNeutral2(int step);
    void onInjActive(int injector, bool bank2, bool ticked);
    void OnBnClickedButtonAdvanced();

    // The codes listed now (tests).
    QStringList listedCodes() const;
    COBD2Page& corrections() { return m_page2; }
    const CObdPageTimer& pageTimer() const { return m_timer; }
    // Time the last "Włącz OBD" detection took, in microseconds (−1 before any).
    qint64 lastDetectionUs() const { return m_lastDetectionUs; }

protected:
    std::span<const SCtrlLayout> layoutTable() const override;
    void createControls() override;
    bool OnInitDialog() override;

private:
    void initWhenSetupRan();
    void initFromRecords();
    void showReadings();
    void showLinkTexts();
    void setEnableCombo(uint8_t value);
    void emptyReadings();
    bool connected() const;
    void changeConfig(const wchar_t* handler, const std::function<bool(CObdMapConfig&)>& change);
    QListWidget* codeList() const;

    CObdPageTimer m_timer;
    COBD2Page m_page2;
    std::vector<SCtrlLayout> m_layout;
    // The device's setup count the page last filled itself from (0: not yet).
    unsigned m_shownSetup = 0;
    bool m_updating = false;
    qint64 m_lastDetectionUs = -1;
};
