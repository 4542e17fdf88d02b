// SPDX-License-Identifier: GPL-3.0-or-later
// "Porównaj z plikiem…": the keys whose values differ between a settings file
// and the controller's settings, each in the pages' format and unit.
#pragma once

#include <app/shell/skindlg.h>
#include <app/tuning/settingsdiff.h>

#include <vector>

class QTableWidget;

class CSettingsDiffDlg : public CSkinDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 340;
    static constexpr int kListId = 1001;
    static constexpr int kOkId = 1;

    // fileTitle heads the file's column.
    CSettingsDiffDlg(std::vector<CSettingDifference> differences, const QString& fileTitle, QWidget* parent = nullptr);

    QTableWidget* table() const { return m_table; }

protected:
    std::span<const SCtrlLayout> layoutTable() const override;
    void createControls() override;
    bool OnInitDialog() override;

private:
    std::vector<CSettingDifference> m_differences;
    QString m_fileTitle;
    QTableWidget* m_table = nullptr;
};
