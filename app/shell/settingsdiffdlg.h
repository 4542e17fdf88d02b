// SPDX-License-Identifier: GPL-3.0-or-later
// "Porównaj z plikiem…": the settings whose values differ between a settings
// file and the controller's, each in the pages' format and unit, named by its
// page and label (the file's key in the tool tip); the map's changed cells are
// one row of the list and a grid below it (and in the row's tool tip).
#pragma once

#include <app/shell/skindlg.h>
#include <app/tuning/settingsdiff.h>

#include <tuple>
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
    // The changed map cells as a grid (rich text: ms rows, rpm columns, "file → controller").
    QString mapGrid() const { return m_mapGrid; }
    // The same cells on screen: rows and columns keyed as the file keys them; null without map changes.
    QTableWidget* mapTable() const { return m_mapTable; }

protected:
    std::span<const SCtrlLayout> layoutTable() const override;
    void createControls() override;
    bool OnInitDialog() override;

private:
    std::vector<CSettingDifference> m_differences;
    QString m_fileTitle;
    QTableWidget* m_table = nullptr;
    QTableWidget* m_mapTable = nullptr;
    QString m_mapGrid;

    QTableWidget* makeMapTable(const std::vector<std::tuple<QString, QString, QString, QString>>& cells);
    static QString mapGridText(const std::vector<std::tuple<QString, QString, QString, QString>>& cells);
};
