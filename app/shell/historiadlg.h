// SPDX-License-Identifier: GPL-3.0-or-later
// "Historia": the restore points this PC keeps of every controller. The
// controllers by serial and car, their points (time, operation, PC, note);
// two points compared, or one with the controller now (the settings by their
// pages' names with units, the map as its grid with the changed cells
// coloured and both values shown, the curves that differ as charts); a point put back whole or by groups through the
// write path after a confirmation that lists what changes; a point exported
// as a settings file; its note edited.
#pragma once

#include <app/data/historystore.h>
#include <app/device/historyimage.h>
#include <app/shell/skindlg.h>

#include <cstdint>
#include <optional>
#include <vector>

class CHistoryCurves;
class CHistoryRecorder;
class CLPGDevice;
class QTableWidget;
class QTreeWidget;

class CHistoriaDlg : public CSkinDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 341;
    static constexpr int kPointsId = 1001;
    static constexpr int kDiffId = 1002;
    static constexpr int kMapId = 1003;
    static constexpr int kCompareId = 1010;
    static constexpr int kRestoreId = 1011;
    static constexpr int kExportId = 1012;
    static constexpr int kNoteId = 1013;
    static constexpr int kOkId = 1;

    // device: the controller now (compared with when connected).
    CHistoriaDlg(CHistoryRecorder& history, CLPGDevice& device, QWidget* parent = nullptr);

    QTreeWidget* points() const { return m_points; }
    QTableWidget* differences() const { return m_diff; }
    QTableWidget* mapGrid() const { return m_map; }
    // How many curves the last comparison draws (those that differ).
    int curveCount() const;

    // Selects the points (by id) as a click would; the list stays as it is for unknown ids.
    void selectPoints(const std::vector<int64_t>& ids);
    // The selected points compared (one: with the controller now). False when
    // there is nothing to compare (no point, no controller for one point).
    bool compare();
    // The selected point put back: the groups of mask (CReadBlocks bits) and
    // the OBD records when obd, after the confirmation. True when written.
    bool restore(uint32_t mask, bool obd);
    // The selected point as a settings file (asked for through the seam when path is empty).
    bool exportPoint(std::string path = {});
    // Heading of the difference table's second and third column.
    QString firstTitle() const { return m_firstTitle; }

protected:
    std::span<const SCtrlLayout> layoutTable() const override;
    void createControls() override;
    bool OnInitDialog() override;

private:
    void fillPoints();
    std::vector<int64_t> selectedIds() const;
    std::optional<CHistoryContent> contentOf(int64_t id, CHistoryPoint* point = nullptr) const;
    void showDifferences(const CHistoryContent& a, const CHistoryContent& b, const QString& titleA,
                         const QString& titleB);
    void onRestore();
    void onNote();
    QString pointTitle(const CHistoryPoint& p) const;

    CHistoryRecorder& m_history;
    CLPGDevice& m_device;
    QTreeWidget* m_points = nullptr;
    QTableWidget* m_diff = nullptr;
    QTableWidget* m_map = nullptr;
    CHistoryCurves* m_curves = nullptr;
    QString m_firstTitle;
};
