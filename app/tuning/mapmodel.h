// SPDX-License-Identifier: GPL-3.0-or-later
// What the injection-map grid shows and does, without a window: the cell
// values and their selection, the keyboard selection rules, the step edit of
// the selection (record 13, then command 0x13), the axis header edits, copy,
// paste and interpolation of blocks, the colours and the operating-point
// marker with its trail. The grid control mirrors this state; every user
// action is one call here, and messages go through the user-interaction seam.
//
// Cells are addressed (column, row): column on the RPM axis (0 … 14), row on
// the injection-time axis (0 … 18). "Storage order" is column by column, as
// the grid keeps its cells.
//
// A step reaches the settings image only once the controller has acknowledged
// it, and only in the region sent; without a connection only the grid changes.
#pragma once

#include <app/tuning/mapaxes.h>

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

class CDiag;
class CLPGDevice;

// The operating point of a live readings record: the engine speed and the
// largest petrol time of the 2 × injCount slots, each rounded to 0.01 ms.
struct OperatingPoint {
    double rpm = 0;
    double timeMs = 0;
};
OperatingPoint operatingPointOf(const CDiag& record, int injCount);

enum class MapKey { Left, Up, Right, Down };

// A rectangle of cells, both ends included.
struct MapRect {
    int c1 = 0, r1 = 0, c2 = 0, r2 = 0;
    int columns() const { return c2 - c1 + 1; }
    int rows() const { return r2 - r1 + 1; }
    bool operator==(const MapRect&) const = default;
};

// The six bytes of record 13: first row, first column, row count, column
// count, operation (2 up, 3 down), amount.
using MapRegionRecord = std::array<uint8_t, 6>;

// Whole-percent cell values, addressed [column][row].
using MapValues = std::array<std::array<int, kMapRows>, kMapCols>;

// The region a step edit sends: from first minus margin, extent plus twice
// the margin, cut to the grid.
MapRegionRecord mapEditRegion(MapCell first, int rowExtent, int columnExtent, int margin, int delta);

class CMapModel {
public:
    static constexpr std::size_t kTrailLength = 10;

    // device may be null: the grid then behaves as not connected.
    explicit CMapModel(CLPGDevice* device = nullptr);

    // Cells and axes from the settings image (page refresh); the selection stays.
    void refresh();
    // Without a device: the map and axes to show.
    void load(const std::array<std::array<double, kMapCols>, kMapRows>& table, const TimeAxis& time,
              const RpmAxis& rpm);

    int cellValue(int column, int row) const { return m_value[column][row]; }
    // Text "%.0f" of v (the grid keeps whole percent); in colour mode 1 the background follows.
    void setCellValue(int column, int row, double v);
    uint32_t background(int column, int row) const { return m_background[column][row]; }
    const TimeAxis& timeAxis() const { return m_time; }
    const RpmAxis& rpmAxis() const { return m_rpm; }

    // ---- Selection ----
    bool isSelected(int column, int row) const { return m_selected[column][row]; }
    void setSelected(int column, int row, bool selected);
    // Selects exactly rect (clamped to the grid); the anchor becomes its first cell.
    void selectRect(const MapRect& rect);
    // clear-selection: repeatCount := 0 and nothing selected.
    void clearSelection();
    MapCell anchor() const { return m_anchor; }
    // The anchor as the grid's mouse handling leaves it; (−1, −1) for none.
    void setAnchor(MapCell anchor) { m_anchor = anchor; }
    // The first and last selected cells in storage order span this; nothing when none is selected.
    std::optional<MapRect> selectionRect() const;
    void selectMove(MapKey key);
    void selectExtend(MapKey key);

    // ---- Step edit ----
    struct StepResult {
        bool changed = false; // something was selected
        bool sent = false;    // record 13 went out
        bool acknowledged = false;
        MapRegionRecord region {};
    };
    // incrementSelected(delta): the selected cells (and, with changeNeighbours,
    // the rings around them) step by delta, clamped to −50 … +50; when
    // connected the region goes out as record 13 and command 0x13 follows.
    // On failure the grid returns to what it was and the message is shown.
    StepResult incrementSelected(int delta);
    bool changeNeighbours() const { return m_changeNeighbours; }
    void setChangeNeighbours(bool on);
    int repeatCount() const { return m_repeatCount; }
    bool lastStepUp() const { return m_lastStepUp; }

    // ---- Typed values and undo ----
    enum class WriteOutcome {
        Nothing,   // nothing to change
        Done,      // the controller holds it (or, offline, the grid does)
        Cancelled, // the fitter said No to a whole-map write
        Refused,   // not sent: the block was not read, or the controller no longer holds what the edit left
        Failed,    // sent and not taken; the grid shows what the controller holds
    };
    // Every selected cell to value. When the cells changed form one block
    // moved by one amount (all selected cells held the same value) it goes as
    // a region step like Ctrl+Up; otherwise as the whole map page, which the
    // write path wraps with petrol and a restart, so the fitter is asked first.
    WriteOutcome setSelectedTo(int value);
    // The grid becomes wanted: a region step when the change is one block
    // moved by one amount, else the whole map after asking (askWhole, translated here).
    WriteOutcome writeCells(const MapValues& wanted, const wchar_t* askWhole);
    // The edits of this session (cells and axis breakpoints), newest last. An
    // undo reads the map (or the axes) again and is refused when the
    // controller no longer holds what the edit left.
    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    // An edit of the whole map made beside the grid ("Kasuj korekty"), once
    // the controller took it and refresh() shows it: kept like the grid's own.
    void rememberEdit(const MapValues& before) { remember(before); }
    // The cells as the grid shows them.
    const MapValues& values() const { return m_value; }
    WriteOutcome undo();
    WriteOutcome redo();

    // ---- Axis headers ----
    // CMapEdit::getText() of a header: the text the header keeps. Sends both
    // axes when connected and the breakpoint changed; a refused write keeps
    // the old breakpoint (and its text) and shows the message.
    std::string commitHeaderEdit(bool rowHeader, int index, const std::string& typed);
    // A body cell: the typed value as "%.0f"; nothing else.
    static std::string bodyCellText(const std::string& typed);

    // ---- Blocks ----
    // The selection as tab-separated text: "ms" and the RPM breakpoints, then
    // one line per row, the time breakpoint first. Empty when nothing is selected.
    std::string copySelection() const;
    // Pastes text (with or without the axes of copySelection) at the first
    // selected cell, values clamped; sent as the whole map page and read back.
    // False, with the message shown, when refused or not taken by the controller.
    bool paste(const std::string& text);
    // Each selected cell becomes the bilinear interpolation of the selection's
    // four corners (by cell position), rounded half away from zero; sent like paste.
    bool interpolateSelection();

    // ---- Colours and the operating point ----
    int colourMode() const { return m_colourMode; }
    void setColourMode(int mode);
    double darkenStep() const { return m_darkenStep; }
    void setDarkenStep(double step);
    // mark-operating-point: moves the marker to the point's cell.
    void markOperatingPoint(double rpm, double timeMs);
    std::optional<MapCell> currentCell() const { return m_current; }
    // The cells the marker has stood on, newest first, at most kTrailLength,
    // the current cell included.
    const std::deque<MapCell>& trail() const { return m_trail; }

private:
    struct EditRecord {
        MapValues before {};
        MapValues after {};
        // An axis edit leaves the cells alone.
        bool axes = false;
        TimeAxis timeBefore {}, timeAfter {};
        RpmAxis rpmBefore {}, rpmAfter {};
    };
    static constexpr std::size_t kUndoDepth = 100;
    void remember(const MapValues& before);
    void push(const EditRecord& edit);
    WriteOutcome replayAxes(const EditRecord& edit, bool forward);
    // The first cell the controller holds other than expected: "5 ms, 3000 obr/min: 33 %".
    std::wstring heldCell(const MapValues& expected) const;
    WriteOutcome replay(std::vector<EditRecord>& from, std::vector<EditRecord>& to, bool forward);

    bool connected() const;
    void showMapWriteFailure() const;
    void snapshotTo(std::array<std::array<int, kMapRows>, kMapCols>& values) const;
    void restoreValues(const std::array<std::array<int, kMapRows>, kMapCols>& values);
    void applyStepToImage(const MapRegionRecord& region);
    bool sendTable(const std::array<std::array<int, kMapRows>, kMapCols>& wanted);
    // A page write that failed: the image's map (and what the pages see) back to table.
    void putBackTable(const std::array<std::array<double, kMapCols>, kMapRows>& table);
    std::optional<MapCell> firstSelected() const;
    std::optional<MapCell> lastSelected() const;
    void setBand(bool column, int index, int from, int to, bool selected);

    CLPGDevice* m_device;
    std::array<std::array<int, kMapRows>, kMapCols> m_value {};
    std::array<std::array<bool, kMapRows>, kMapCols> m_selected {};
    std::array<std::array<uint32_t, kMapRows>, kMapCols> m_background {};
    TimeAxis m_time {};
    RpmAxis m_rpm {};
    MapCell m_anchor { -1, -1 };

    bool m_changeNeighbours = false;
    bool m_lastStepUp = true;
    int m_repeatCount = 0;
    int m_colourMode = 1;
    double m_darkenStep = 5.0;

    std::optional<MapCell> m_current;
    uint32_t m_savedColour = kMapGrey;
    std::deque<MapCell> m_trail;
    std::vector<EditRecord> m_undo;
    std::vector<EditRecord> m_redo;
};
