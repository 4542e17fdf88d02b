// SPDX-License-Identifier: GPL-3.0-or-later
// Shown when no controller answers on any port: start in demo mode (OK, the
// default), without a connection (Cancel; closing the dialog too) or search
// again now ("Ponów"). Under the buttons, what the search saw on the ports
// (a controller silent behind its adapter, a port gone, permission, a program
// holding one, no adapter) when there is something to tell.
#pragma once

#include <app/device/controllersearch.h>
#include <app/platform/serialdiagnosis.h>
#include <app/shell/skindlg.h>

#include <string>
#include <vector>

// What the fitter chose in the dialog.
enum class ENoConnectionChoice {
    Demo,
    Offline,
    Retry,
};

class CNoConnectionDlg : public CSkinDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 311;
    static constexpr int kTextId = 1211;
    static constexpr int kDemoId = 1; // "Uruchom w trybie demo"
    static constexpr int kOfflineId = 2; // "Uruchom bez połączenia"
    static constexpr int kDiagnosisId = 1212;
    static constexpr int kRetryId = 1213; // "Ponów"
    // The dialog's result for "Ponów" (accepted is demo, rejected without a connection).
    static constexpr int kRetryResult = 2;

    explicit CNoConnectionDlg(QWidget* parent = nullptr, std::wstring diagnosis = {});

    // The translated lines about the ports the search tried in vain and the
    // ports present; empty when nothing stood in the way that a fitter can fix.
    // diagnosis looks at the ports and their holders (tests give it a fake /proc).
    // lostPath: the port the controller answered on before the link went (empty at start).
    static std::wstring diagnosisText(const std::vector<SearchAttempt>& attempts, const std::vector<PortEntry>& present,
                                      const CSerialDiagnosis& diagnosis, const std::string& lostPath = {});
    // Shows the dialog modally; the fitter's choice.
    ENoConnectionChoice ask();

protected:
    std::span<const SCtrlLayout> layoutTable() const override;
    bool OnInitDialog() override;
    // The message stays bold whatever font the scaling hands over.
    void recalcControls() override;

private:
    std::wstring m_diagnosis;
};
