// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/maparray.h>

#include <app/platform/log.h>
#include <app/platform/userinteraction.h>
#include <app/shell/mapedit.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>

namespace {

const wchar_t* const kMapOperation = L"Zapis mapy wtrysków";

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

CMapArray::CMapArray(CLPGDevice* device)
    : m_model(device)
{
    setObjectName(QStringLiteral("mapArray"));
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &CCellArray::selectionChanged, this, &CMapArray::takeMouseSelection);
}

CMapArray::~CMapArray() = default;

void CMapArray::initGrid(const QFont& font)
{
    QStringList columns;
    for (double rpm : m_model.rpmAxis())
        columns << qs(rpmText(rpm));
    QStringList rows;
    for (double ms : m_model.timeAxis())
        rows << qs(timeText(ms));
    m_edit = new CMapEdit(this);
    init(m_edit, QStringLiteral("ms"), 25, 43, columns, 25, 43, rows, 0, kHeaderBack, 0, kMapGrey, kSelectedBack,
         kGridColour, &font, kEditColumnHeaders | kEditRowHeaders);
    for (const auto& row : getTable())
        for (CCell* cell : row)
            cell->setCurrentCellColor(kMapMarkerColour);
    syncFromModel();
}

void CMapArray::refresh()
{
    m_model.refresh();
    syncFromModel();
}

void CMapArray::setUnread(bool map, bool axes)
{
    m_mapUnread = map;
    m_axesUnread = axes;
    setEnabled(!map && !axes);
}

void CMapArray::syncFromModel()
{
    const auto& columns = getColHdrs();
    const auto& rows = getRowHdrs();
    const QString dash = QStringLiteral("\u2014");
    for (int c = 0; c < kMapCols && c < static_cast<int>(columns.size()); ++c)
        columns[c]->setTxt(m_axesUnread ? dash : qs(rpmText(m_model.rpmAxis()[c])));
    for (int r = 0; r < kMapRows && r < static_cast<int>(rows.size()); ++r)
        rows[r]->setTxt(m_axesUnread ? dash : qs(timeText(m_model.timeAxis()[r])));
    const auto current = m_model.currentCell();
    for (int c = 0; c < kMapCols; ++c) {
        for (int r = 0; r < kMapRows; ++r) {
            CCell* cell = cellAt(r, c);
            if (!cell)
                continue;
            // A map not read from the controller is no map of this car: empty, uncoloured cells.
            cell->setTxt(m_mapUnread ? QString() : qs(cellText(m_model.cellValue(c, r))));
            cell->setBkColor(m_mapUnread ? 0xFFFFFF : m_model.background(c, r));
            cell->setSel(m_model.isSelected(c, r));
            cell->setCurrent(current && current->column == c && current->row == r);
        }
    }
    setAnchor(m_model.anchor().row, m_model.anchor().column);
}

bool CMapArray::runWrite(const std::function<void()>& body)
{
    if (!m_runner) {
        body();
        return true;
    }
    return m_runner(kMapOperation, body);
}

void CMapArray::takeMouseSelection()
{
    for (int c = 0; c < kMapCols; ++c)
        for (int r = 0; r < kMapRows; ++r)
            if (const CCell* cell = cellAt(r, c))
                m_model.setSelected(c, r, cell->isSel());
    m_model.setAnchor({ anchorColumn(), anchorRow() });
}

void CMapArray::incrementSelected(int delta)
{
    if (!m_model.selectionRect())
        return; // nothing selected: nothing changes, nothing is sent
    CWaitCursor wait;
    CMapModel::StepResult result;
    runWrite([&] { result = m_model.incrementSelected(delta); });
    syncFromModel();
    if (result.sent)
        emit mapWritten(result.acknowledged);
}

void CMapArray::selectMove(MapKey key)
{
    m_model.selectMove(key);
    syncFromModel();
}

void CMapArray::selectExtend(MapKey key)
{
    m_model.selectExtend(key);
    syncFromModel();
}

void CMapArray::clearSelection(bool redraw)
{
    m_model.clearSelection();
    syncFromModel();
    if (redraw)
        update();
}

void CMapArray::setChangeNeighbours(bool on)
{
    m_model.setChangeNeighbours(on);
}

void CMapArray::setColourMode(int mode)
{
    m_model.setColourMode(mode);
    syncFromModel();
}

void CMapArray::setDarkenStep(double step)
{
    m_model.setDarkenStep(step);
    syncFromModel();
}

void CMapArray::markOperatingPoint(double rpm, double timeMs)
{
    const auto trailBefore = m_model.trail();
    m_model.markOperatingPoint(rpm, timeMs);
    syncFromModel();
    // The trail's fading squares lie over cells whose own state did not change.
    if (m_model.trail() != trailBefore)
        for (const MapCell& cell : trailBefore)
            if (const CCell* c = cellAt(cell.row, cell.column))
                update(c->rect().adjusted(0, 0, 1, 1));
    for (const MapCell& cell : m_model.trail())
        if (const CCell* c = cellAt(cell.row, cell.column))
            update(c->rect().adjusted(0, 0, 1, 1));
}

void CMapArray::setCellValue(int column, int row, double v)
{
    m_model.setCellValue(column, row, v);
    syncFromModel();
}

void CMapArray::copySelection()
{
    const std::string text = m_model.copySelection();
    if (text.empty())
        return;
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(qs(text));
}

void CMapArray::pasteClipboard()
{
    if (!m_model.selectionRect())
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    const std::string text = clipboard ? clipboard->text().toStdString() : std::string();
    CWaitCursor wait;
    bool done = false;
    runWrite([&] { done = m_model.paste(text); });
    syncFromModel();
    emit mapWritten(done);
}

void CMapArray::interpolateSelection()
{
    if (!m_model.selectionRect())
        return;
    CWaitCursor wait;
    bool done = false;
    runWrite([&] { done = m_model.interpolateSelection(); });
    syncFromModel();
    emit mapWritten(done);
}

bool CMapArray::handleKey(QKeyEvent* event)
{
    if (event->type() != QEvent::KeyPress || m_mapUnread || m_axesUnread)
        return false;
    // The in-place editor keeps its own keys.
    if (editedRow() >= 0 || editedColumn() >= 0)
        return false;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const int key = event->key();
    if (ctrl) {
        switch (key) {
        case Qt::Key_Up: incrementSelected(+1); return true;
        case Qt::Key_Down: incrementSelected(-1); return true;
        case Qt::Key_C: copySelection(); return true;
        case Qt::Key_V: pasteClipboard(); return true;
        case Qt::Key_I: interpolateSelection(); return true;
        default: break;
        }
    }
    MapKey arrow;
    switch (key) {
    case Qt::Key_Left: arrow = MapKey::Left; break;
    case Qt::Key_Up: arrow = MapKey::Up; break;
    case Qt::Key_Right: arrow = MapKey::Right; break;
    case Qt::Key_Down: arrow = MapKey::Down; break;
    default: return false;
    }
    if (shift)
        selectExtend(arrow);
    else
        selectMove(arrow);
    return true;
}

void CMapArray::keyPressEvent(QKeyEvent* event)
{
    if (handleKey(event))
        event->accept();
    else
        CCellArray::keyPressEvent(event);
}

void CMapArray::mouseDoubleClickEvent(QMouseEvent* event)
{
    CCellArray::mouseDoubleClickEvent(event);
    m_editingRow = editedRow() >= 0;
    m_editIndex = m_editingRow ? editedRow() : editedColumn();
}

void CMapArray::changeEvent(QEvent* event)
{
    CCellArray::changeEvent(event);
    // The page hands its font to its controls as a plain widget font; the cells paint with their own.
    if (event->type() == QEvent::FontChange && font() != cellFont())
        CCellArray::setFont(font());
}

QString CMapArray::commitEditedText(const QString& typed)
{
    const int index = m_editIndex;
    const bool row = m_editingRow;
    m_editIndex = -1;
    if (index < 0)
        return qs(CMapModel::bodyCellText(typed.toStdString()));
    const std::string old = row ? timeText(m_model.timeAxis()[index]) : rpmText(m_model.rpmAxis()[index]);
    std::string kept = old;
    CWaitCursor wait;
    if (!runWrite([&] { kept = m_model.commitHeaderEdit(row, index, typed.toStdString()); }))
        logInfo("map", "axis edit refused while another operation runs");
    return qs(kept);
}

void CMapArray::v_draw(QPainter& painter)
{
    CCellArray::v_draw(painter);
    paintTrail(painter);
}

void CMapArray::paintTrail(QPainter& painter) const
{
    // The newest entry is the marker itself; the older ones fade out.
    const auto& trail = m_model.trail();
    const int n = static_cast<int>(CMapModel::kTrailLength);
    painter.save();
    painter.setPen(Qt::NoPen);
    for (int i = 1; i < static_cast<int>(trail.size()); ++i) {
        const CCell* cell = cellAt(trail[i].row, trail[i].column);
        if (!cell || cell->isCurrent())
            continue;
        QColor colour = CCell::toQColor(kMapMarkerColour);
        colour.setAlpha(220 * (n - i) / n);
        // Smaller than the marker and tucked into the corner, so the value stays readable in narrow cells.
        const int size = std::max(3, cell->markerSize() / 2 - i / 3);
        painter.setBrush(colour);
        painter.drawRect(QRect(cell->left() + 2, cell->top() + 2, size, size));
    }
    painter.restore();
}
