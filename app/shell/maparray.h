// SPDX-License-Identifier: GPL-3.0-or-later
// The injection-map grid: the owner-drawn cell grid over CMapModel. The model
// holds the values, the selection, the step-edit counting, the axis rules and
// the operating point; this control only mirrors it into its cells, turns keys
// and mouse selection into model calls and paints the operating point's trail.
//
// Writes to the controller run through the operation runner (the document's
// one-operation-at-a-time guard); without one they run directly.
#pragma once

#include <app/tuning/mapmodel.h>
#include <gradctrls/cellarray/cellarray.h>

#include <QTimer>

#include <functional>

class CLPGDevice;
class CMapEdit;
class QKeyEvent;
class QLineEdit;
class QMenu;

class CMapArray : public CCellArray {
    Q_OBJECT
public:
    // Runs body as the named operation; false (body not run) when refused.
    using OperationRunner = std::function<bool(const wchar_t* name, const std::function<void()>& body)>;

    static constexpr uint32_t kHeaderBack = 0xC6C6C6;
    static constexpr uint32_t kSelectedBack = 0xA0FFA0;
    static constexpr uint32_t kGridColour = 0xD2D2D2;

    // device may be null (the grid then never sends anything).
    explicit CMapArray(CLPGDevice* device);
    ~CMapArray() override;

    // The grid of 15 × 19 cells with the page font; texts and colours from the model.
    void initGrid(const QFont& font);
    void setOperationRunner(OperationRunner runner) { m_runner = std::move(runner); }

    CMapModel& model() { return m_model; }
    const CMapModel& model() const { return m_model; }

    // Cells and axes from the settings image; the selection stays.
    void refresh();
    // Copies the model's texts, colours, selection and marker into the cells.
    void syncFromModel();
    // The map or the axes were not read from the controller now connected:
    // their cells show no values ("—" in the headers) and the grid takes no edit.
    void setUnread(bool map, bool axes);
    bool mapUnread() const { return m_mapUnread; }
    bool axesUnread() const { return m_axesUnread; }

    void incrementSelected(int delta);
    void selectMove(MapKey key);
    void selectExtend(MapKey key);
    void clearSelection(bool redraw);
    void setChangeNeighbours(bool on);
    void setColourMode(int mode);
    void setDarkenStep(double step);
    void markOperatingPoint(double rpm, double timeMs);
    int cellValue(int column, int row) const { return m_model.cellValue(column, row); }
    void setCellValue(int column, int row, double v);

    // Ctrl+C: the selection as tab-separated text on the clipboard.
    void copySelection();
    // Ctrl+V: the clipboard's block at the first selected cell.
    void pasteClipboard();
    // Ctrl+I: the selection interpolated from its corners.
    void interpolateSelection();

    // Typing a number opens the value editor over the current cell; Enter
    // sets every selected cell to it (setSelectedTo), Esc closes it.
    void openValueEditor(const QString& typed);
    bool valueEditorOpen() const;
    QLineEdit* valueEditor() const { return m_valueEdit; }
    void commitValueEditor();
    void cancelValueEditor();
    // A value outside −50 … 50 is refused with the range; nothing is written.
    void setSelectedTo(int value);

    // Ctrl+Z / Ctrl+Y: the map edits of this session.
    void undo();
    void redo();
    bool canUndo() const { return m_model.canUndo(); }
    bool canRedo() const { return m_model.canRedo(); }

    // Ctrl+wheel notches gather into one step this long after the last.
    static constexpr int kWheelGatherMs = 300;
    int pendingWheelSteps() const { return m_wheelSteps; }
    // The gathered notches as one step now.
    void flushWheel();

    // The right-click menu (set value, steps, copy, paste, interpolate, undo); the caller owns it.
    QMenu* contextMenu();

    // The page's key pre-translation (key-down): true when the key was used.
    bool handleKey(QKeyEvent* event);

    // CMapEdit::getText() of the header being edited: the text it keeps.
    QString commitEditedText(const QString& typed);

signals:
    // The grid changed what the controller holds (or tried to).
    void mapWritten(bool acknowledged);

protected:
    void v_draw(QPainter& painter) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    bool runWrite(const std::function<void()>& body);
    void takeMouseSelection();
    void paintTrail(QPainter& painter) const;
    void paintAxisNames(QPainter& painter) const;
    // The cell the value editor opens on: the anchor when selected, else the first selected.
    CCell* editorCell() const;
    QString cellToolTip(int column, int row) const;

    CMapModel m_model;
    CMapEdit* m_edit = nullptr; // owned by the base grid
    OperationRunner m_runner;
    // The header the in-place editor is on (the base clears its own record before asking for the text).
    bool m_editingRow = false;
    int m_editIndex = -1;
    bool m_mapUnread = false;
    bool m_axesUnread = false;
    QLineEdit* m_valueEdit = nullptr;
    QTimer m_wheelTimer;
    int m_wheelSteps = 0;
    int m_wheelRemainder = 0; // eighths of a degree short of a notch
};
