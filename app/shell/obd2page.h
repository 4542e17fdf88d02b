// SPDX-License-Identifier: GPL-3.0-or-later
// The corrections part of the OBD page: "Włącz korekty", the averaging time,
// the maximum correction, the neutral points, "Aktualna korekta" and the
// injector-to-bank boxes. Lives on the OBD page's controls; every change goes
// through CObdConfigEdit and is written to the controller at once.
#pragma once

#include <app/tuning/obdconfigedit.h>
#include <gradctrls/layout/pagelayout.h>

#include <QObject>

#include <span>

class CGDIpGradientDialog;
class CLPGDevice;
class CkorvanaDoc;

class COBD2Page : public QObject {
    Q_OBJECT
public:
    static constexpr int kComboCorrOn = 1301; // "Włącz korekty"
    static constexpr int kEditAverageCorr = 1302;
    static constexpr int kSpinAverageCorr = 1303;
    static constexpr int kEditMaxCorr = 1304;
    static constexpr int kSpinMaxCorr = 1305;
    static constexpr int kEditNeutral1 = 1306;
    static constexpr int kSpinNeutral1 = 1307;
    static constexpr int kEditNeutral2 = 1308;
    static constexpr int kSpinNeutral2 = 1309;
    static constexpr int kEditActualCorr1 = 1310;
    static constexpr int kEditActualCorr2 = 1311;
    static constexpr int kChkBank1First = 1320; // injector i: kChkBank1First + i
    static constexpr int kChkBank2First = 1330;
    static constexpr int kLabelInjFirst = 1340;
    static constexpr int kButtonAdvanced = 1350; // "Zaawansowane"
    static constexpr int kInjectors = 8;

    COBD2Page(CGDIpGradientDialog& page, CkorvanaDoc& doc, CLPGDevice& device, CObdPageTimer& timer);

    static std::span<const SCtrlLayout> layout();
    // The controls' signals (once the page's controls exist).
    void connectControls();
    // Shows the configuration record.
    void showConfig();
    // Both "Aktualna korekta" fields; empty text clears them.
    void showActualCorrections(const QString& bank1, const QString& bank2);
    void refreshActualCorrections();

    void OnCbnSelendokCombocorron();
    // Writes the record after a change; the message when the controller refused it.
    bool store();

private:
    CGDIpGradientDialog& m_page;
    CkorvanaDoc& m_doc;
    CLPGDevice& m_device;
    CObdPageTimer& m_timer;
};
