// SPDX-License-Identifier: GPL-3.0-or-later
// "Zaawansowane" of the OBD page (controllers from version 0x305): the
// engine-speed threshold of the automatic corrections, the inversion and
// divider options of the trims and the selective clearing of the car's
// trouble codes with its four code combos. Every change is written at once.
#pragma once

#include <app/shell/pagecontext.h>
#include <gradctrls/dialogs/gdipgradientdialog.h>

#include <cstdint>

class COBDAdvancedDlg : public CGDIpGradientDialog {
    Q_OBJECT
public:
    static constexpr int kResourceId = 340;
    static constexpr int kEditRpmForCorr = 1401;
    static constexpr int kSpinRpmForCorr = 1402;
    static constexpr int kChkStftInverted = 1403;
    static constexpr int kChkLtftInverted = 1404;
    static constexpr int kChkCorrDivider = 1405;
    static constexpr int kChkClearErrSet = 1406;
    static constexpr int kChkClearErrEmision = 1407;
    static constexpr int kChkClearAllErr = 1408;
    static constexpr int kCmbClearErrFirst = 1410; // combo i: kCmbClearErrFirst + i
    static constexpr int kButtonOk = 1;

    explicit COBDAdvancedDlg(const CPageContext& context, QWidget* parent = nullptr);

    void OnDeltaposSpinRpmForCorr(int step);
    void OnClickedChkStftInverted();
    void OnClickedChkLtftInverted();
    void OnClickedChkCorrDivider();
    void OnClickedChkClearErrSet();
    void OnClickedChkClearAllErr();
    void OnClickedChkClearErrEmision();
    void OnSelendokCmbClearErr1(int combo);

    // The text a code combo shows for a code ("P 0171"), empty for none.
    static QString codeText(uint16_t code);

protected:
    std::span<const SCtrlLayout> layoutTable() const override;
    void createControls() override;
    bool OnInitDialog() override;

private:
    void showConfig();
    void flag(const char* handler, int id, uint8_t bit);
    bool store();

    CPageContext m_context;
};
