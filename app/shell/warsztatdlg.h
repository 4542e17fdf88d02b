// SPDX-License-Identifier: GPL-3.0-or-later
// "Dane warsztatu…": the workshop that heads the customer's report.
#pragma once

#include <app/data/workshop.h>
#include <app/shell/skindlg.h>

class CWarsztatDlg : public CSkinDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 343;
    static constexpr int kNameId = 1401;
    static constexpr int kAddressId = 1402;
    static constexpr int kPhoneId = 1403;
    static constexpr int kTaxId = 1404;
    static constexpr int kLogoId = 1405;
    static constexpr int kChooseLogoId = 1406;
    static constexpr int kOkId = 1;
    static constexpr int kCancelId = 2;

    explicit CWarsztatDlg(const CWorkshop& workshop, QWidget* parent = nullptr);

    CWorkshop workshop() const;

protected:
    std::span<const SCtrlLayout> layoutTable() const override;
    bool OnInitDialog() override;

private:
    void setField(int id, const std::wstring& text);
    std::wstring field(int id) const;

    CWorkshop m_workshop;
};
