// Shown when no controller answers on any port: start in demo mode (OK, the
// default) or without a connection (Cancel; closing the dialog too).
#pragma once

#include <app/shell/skindlg.h>

class CNoConnectionDlg : public CSkinDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 311;
    static constexpr int kTextId = 1211;
    static constexpr int kDemoId = 1; // "Uruchom w trybie demo"
    static constexpr int kOfflineId = 2; // "Uruchom bez połączenia"

    explicit CNoConnectionDlg(QWidget* parent = nullptr);

protected:
    std::span<const SCtrlLayout> layoutTable() const override;
    bool OnInitDialog() override;
    // The message stays bold whatever font the scaling hands over.
    void recalcControls() override;
};
