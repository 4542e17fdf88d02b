// SPDX-License-Identifier: GPL-3.0-or-later
// Shown when no controller answers on any port: start in demo mode (OK, the
// default) or without a connection (Cancel; closing the dialog too). Under
// the buttons, what the search saw on the ports (permission, a program holding
// one, no adapter) when there is something to tell.
#pragma once

#include <app/device/controllersearch.h>
#include <app/platform/serialdiagnosis.h>
#include <app/shell/skindlg.h>

#include <string>
#include <vector>

class CNoConnectionDlg : public CSkinDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 311;
    static constexpr int kTextId = 1211;
    static constexpr int kDemoId = 1; // "Uruchom w trybie demo"
    static constexpr int kOfflineId = 2; // "Uruchom bez połączenia"
    static constexpr int kDiagnosisId = 1212;

    explicit CNoConnectionDlg(QWidget* parent = nullptr, std::wstring diagnosis = {});

    // The translated lines about the ports the search tried in vain and the
    // ports present; empty when nothing stood in the way that a fitter can fix.
    // diagnosis looks at the ports and their holders (tests give it a fake /proc).
    static std::wstring diagnosisText(const std::vector<SearchAttempt>& attempts, const std::vector<PortEntry>& present,
                                      const CSerialDiagnosis& diagnosis);

protected:
    std::span<const SCtrlLayout> layoutTable() const override;
    bool OnInitDialog() override;
    // The message stays bold whatever font the scaling hands over.
    void recalcControls() override;

private:
    std::wstring m_diagnosis;
};
