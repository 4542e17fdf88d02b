// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/maparray.h>

#include <app/data/translate.h>
#include <app/platform/log.h>
#include <app/platform/userinteraction.h>
#include <app/shell/mapedit.h>
#include <gradctrls/dialogs/paintedtext.h>

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>

namespace {

const wchar_t* const kMapOperation = L"Zapis mapy wtrysków";
const wchar_t* const kOutOfRange = L"Wartość komórki mapy musi leżeć w zakresie od -50 do 50 %.";

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

QString trw(const wchar_t* text)
{
    return QString::fromStdWString(translate(text));
}

} // namespace

CMapArray::CMapArray(CLPGDevice* device)
    : m_model(device)
{
    setObjectName(QStringLiteral("mapArray"));
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &CCellArray::selectionChanged, this, &CMapArray::takeMouseSelection);
    m_valueEdit = new QLineEdit(this);
    m_valueEdit->setObjectName(QStringLiteral("mapValueEdit"));
    m_valueEdit->setAlignment(Qt::AlignCenter);
    m_valueEdit->setFrame(false);
    m_valueEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[+-]?[0-9]{0,3}")), m_valueEdit));
    m_valueEdit->hide();
    m_valueEdit->installEventFilter(this);
    m_wheelTimer.setSingleShot(true);
    m_wheelTimer.setInterval(kWheelGatherMs);
    connect(&m_wheelTimer, &QTimer::timeout, this, &CMapArray::flushWheel);
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
        for (CCell* cell : row) {
            cell->setCurrentCellColor(kMapMarkerColour);
            cell->setMarkerStyle(CCell::MarkerStyle::Frame);
        }
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
    // The in-place editors keep their own keys.
    if (editedRow() >= 0 || editedColumn() >= 0 || valueEditorOpen())
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
        case Qt::Key_Z: undo(); return true;
        case Qt::Key_Y: redo(); return true;
        default: break;
        }
    }
    // A digit or a sign starts typing a value into the selection.
    const QString typed = event->text();
    if (!ctrl && !(event->modifiers() & Qt::AltModifier) && typed.size() == 1
        && (typed[0].isDigit() || typed[0] == QLatin1Char('-') || typed[0] == QLatin1Char('+'))
        && m_model.selectionRect()) {
        openValueEditor(typed);
        return true;
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
    paintAxisNames(painter);
    paintTrail(painter);
}

void CMapArray::paintTrail(QPainter& painter) const
{
    // The newest entry is the marker itself; the older ones are thin outlines
    // that fade out, so that no trail is taken for a value or a selection.
    const auto& trail = m_model.trail();
    const int n = static_cast<int>(CMapModel::kTrailLength);
    painter.save();
    painter.setBrush(Qt::NoBrush);
    for (int i = 1; i < static_cast<int>(trail.size()); ++i) {
        const CCell* cell = cellAt(trail[i].row, trail[i].column);
        if (!cell || cell->isCurrent())
            continue;
        QColor colour = CCell::toQColor(kMapMarkerColour);
        colour.setAlpha(160 * (n - i) / n);
        painter.setPen(QPen(colour, 1));
        painter.drawRect(cell->rect().adjusted(2, 2, -2, -2));
    }
    painter.restore();
}

// ---- Typed values ----

CCell* CMapArray::editorCell() const
{
    const MapCell anchor = m_model.anchor();
    if (anchor.column >= 0 && anchor.row >= 0 && m_model.isSelected(anchor.column, anchor.row))
        return cellAt(anchor.row, anchor.column);
    const auto rect = m_model.selectionRect();
    return rect ? cellAt(rect->r1, rect->c1) : nullptr;
}

bool CMapArray::valueEditorOpen() const
{
    return m_valueEdit && !m_valueEdit->isHidden();
}

void CMapArray::openValueEditor(const QString& typed)
{
    const CCell* cell = editorCell();
    if (!cell || m_mapUnread || m_axesUnread)
        return;
    m_valueEdit->setFont(cellFont());
    m_valueEdit->setGeometry(cell->rect().adjusted(1, 1, 0, 0));
    m_valueEdit->setText(typed);
    m_valueEdit->show();
    m_valueEdit->raise();
    m_valueEdit->setFocus();
    m_valueEdit->end(false);
}

void CMapArray::cancelValueEditor()
{
    if (!valueEditorOpen())
        return;
    m_valueEdit->hide();
    m_valueEdit->clear();
    setFocus();
}

void CMapArray::commitValueEditor()
{
    if (!valueEditorOpen())
        return;
    bool ok = false;
    const int value = m_valueEdit->text().toInt(&ok);
    if (!ok) {
        cancelValueEditor();
        return;
    }
    if (value < -50 || value > 50) {
        // The editor stays open with the typed value so that it can be corrected.
        userInteraction().message(translate(kOutOfRange), L"KORVANA", MsgIcon::Warning);
        m_valueEdit->setFocus();
        m_valueEdit->selectAll();
        return;
    }
    cancelValueEditor();
    setSelectedTo(value);
}

void CMapArray::setSelectedTo(int value)
{
    if (value < -50 || value > 50) {
        userInteraction().message(translate(kOutOfRange), L"KORVANA", MsgIcon::Warning);
        return;
    }
    if (!m_model.selectionRect())
        return;
    CMapModel::WriteOutcome outcome = CMapModel::WriteOutcome::Nothing;
    runWrite([&] { outcome = m_model.setSelectedTo(value); });
    syncFromModel();
    if (outcome == CMapModel::WriteOutcome::Done || outcome == CMapModel::WriteOutcome::Failed)
        emit mapWritten(outcome == CMapModel::WriteOutcome::Done);
}

void CMapArray::undo()
{
    CMapModel::WriteOutcome outcome = CMapModel::WriteOutcome::Nothing;
    runWrite([&] { outcome = m_model.undo(); });
    syncFromModel();
    if (outcome == CMapModel::WriteOutcome::Done || outcome == CMapModel::WriteOutcome::Failed)
        emit mapWritten(outcome == CMapModel::WriteOutcome::Done);
}

void CMapArray::redo()
{
    CMapModel::WriteOutcome outcome = CMapModel::WriteOutcome::Nothing;
    runWrite([&] { outcome = m_model.redo(); });
    syncFromModel();
    if (outcome == CMapModel::WriteOutcome::Done || outcome == CMapModel::WriteOutcome::Failed)
        emit mapWritten(outcome == CMapModel::WriteOutcome::Done);
}

bool CMapArray::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_valueEdit) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                commitValueEditor();
                return true;
            }
            if (key == Qt::Key_Escape) {
                cancelValueEditor();
                return true;
            }
        } else if (event->type() == QEvent::FocusOut && valueEditorOpen()
                   && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason
                   && static_cast<QFocusEvent*>(event)->reason() != Qt::ActiveWindowFocusReason) {
            // Nothing is written without Enter: a click elsewhere drops the typed value.
            QTimer::singleShot(0, this, &CMapArray::cancelValueEditor);
        }
    }
    return CCellArray::eventFilter(watched, event);
}

// ---- Wheel and context menu ----

void CMapArray::wheelEvent(QWheelEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier) || m_mapUnread || m_axesUnread || !m_model.selectionRect()) {
        CCellArray::wheelEvent(event);
        return;
    }
    event->accept();
    m_wheelRemainder += event->angleDelta().y();
    const int notches = m_wheelRemainder / 120;
    m_wheelRemainder -= notches * 120;
    if (notches == 0)
        return;
    m_wheelSteps += notches;
    m_wheelTimer.start();
}

void CMapArray::flushWheel()
{
    m_wheelTimer.stop();
    const int steps = std::clamp(m_wheelSteps, -100, 100);
    m_wheelSteps = 0;
    m_wheelRemainder = 0;
    if (steps != 0)
        incrementSelected(steps);
}

QMenu* CMapArray::contextMenu()
{
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("mapContextMenu"));
    const bool editable = !m_mapUnread && !m_axesUnread;
    const bool selected = editable && m_model.selectionRect().has_value();
    const auto add = [&](const wchar_t* text, const QKeySequence& keys, bool enabled, auto&& run) {
        QAction* action = menu->addAction(trw(text));
        action->setShortcut(keys);
        action->setShortcutVisibleInContextMenu(true);
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, run);
        return action;
    };
    add(L"Ustaw wartość…", QKeySequence(), selected, [this] { openValueEditor(QString()); });
    menu->addSeparator();
    add(L"Zwiększ o 1", QKeySequence(Qt::CTRL | Qt::Key_Up), selected, [this] { incrementSelected(+1); });
    add(L"Zmniejsz o 1", QKeySequence(Qt::CTRL | Qt::Key_Down), selected, [this] { incrementSelected(-1); });
    add(L"Zwiększ o 5 %", QKeySequence(), selected, [this] { incrementSelected(+5); });
    add(L"Zmniejsz o 5 %", QKeySequence(), selected, [this] { incrementSelected(-5); });
    menu->addSeparator();
    add(L"Kopiuj", QKeySequence(Qt::CTRL | Qt::Key_C), selected, [this] { copySelection(); });
    add(L"Wklej", QKeySequence(Qt::CTRL | Qt::Key_V), selected, [this] { pasteClipboard(); });
    add(L"Interpoluj", QKeySequence(Qt::CTRL | Qt::Key_I), selected, [this] { interpolateSelection(); });
    menu->addSeparator();
    add(L"Cofnij", QKeySequence(Qt::CTRL | Qt::Key_Z), editable && canUndo(), [this] { undo(); });
    add(L"Przywróć", QKeySequence(Qt::CTRL | Qt::Key_Y), editable && canRedo(), [this] { redo(); });
    // The keys work on the grid; in the menu they are only shown.
    for (QAction* action : menu->actions())
        action->setShortcutContext(Qt::WidgetShortcut);
    return menu;
}

void CMapArray::contextMenuEvent(QContextMenuEvent* event)
{
    // A right click on an unselected cell selects it first, as a left click would.
    for (int c = 0; c < kMapCols; ++c)
        for (int r = 0; r < kMapRows; ++r)
            if (const CCell* cell = cellAt(r, c); cell && cell->containsStrictly(event->pos()) && !m_model.isSelected(c, r)) {
                m_model.selectRect({ c, r, c, r });
                syncFromModel();
            }
    QMenu* menu = contextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

// ---- Tool tips and axis names ----

QString CMapArray::cellToolTip(int column, int row) const
{
    const QString from = column == 0 ? QStringLiteral("0") : qs(rpmText(m_model.rpmAxis()[column - 1]));
    const QString fromMs = row == 0 ? QStringLiteral("0") : qs(timeText(m_model.timeAxis()[row - 1]));
    return trw(L"%1–%2 obr/min, %3–%4 ms: korekta %5 %\nCyfry i Enter: wpisz wartość; Ctrl+↑/↓ lub Ctrl+kółko: krok; "
              L"prawy przycisk: więcej")
        .arg(from, qs(rpmText(m_model.rpmAxis()[column])), fromMs, qs(timeText(m_model.timeAxis()[row])))
        .arg(m_model.cellValue(column, row));
}

bool CMapArray::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        for (int c = 0; c < kMapCols; ++c)
            for (int r = 0; r < kMapRows; ++r)
                if (const CCell* cell = cellAt(r, c); cell && cell->containsStrictly(help->pos())) {
                    if (m_mapUnread || m_axesUnread)
                        break;
                    QToolTip::showText(help->globalPos(), cellToolTip(c, r), this, cell->rect());
                    return true;
                }
        const auto& columns = getColHdrs();
        const auto& rows = getRowHdrs();
        const bool onColumns = std::any_of(columns.begin(), columns.end(),
                                           [&](const CCell* h) { return h->containsWithBorder(help->pos()); });
        const bool onRows = std::any_of(rows.begin(), rows.end(),
                                        [&](const CCell* h) { return h->containsWithBorder(help->pos()); });
        if (onColumns || onRows) {
            QToolTip::showText(help->globalPos(),
                               trw(onColumns ? L"Prędkość obrotowa w obr/min (500 … 8000, co 100). Dwuklik: zmiana."
                                            : L"Czas wtrysku benzyny w ms (do 50.0, co 0.2). Dwuklik: zmiana."),
                               this);
            return true;
        }
    }
    return CCellArray::event(event);
}

void CMapArray::paintAxisNames(QPainter& painter) const
{
    // The corner names both axes: engine speed along the top, injection time down the side.
    const CCell& corner = const_cast<CMapArray*>(this)->getFirstCell();
    const QRect r = corner.rect();
    if (r.width() < 8 || r.height() < 8)
        return;
    painter.save();
    painter.fillRect(QRect(r.left(), r.top(), r.width() + 1, r.height() + 1), CCell::toQColor(kHeaderBack));
    painter.setPen(CCell::toQColor(kGridColour));
    painter.drawRect(r);
    painter.setPen(QColor(0x60, 0x60, 0x60));
    painter.drawLine(r.topLeft() + QPoint(1, 1), r.bottomRight() - QPoint(1, 1));
    const QString rpm = trw(L"obr/min");
    const QString ms = trw(L"ms");
    QFont font = cellFont();
    const int base = font.pixelSize() > 0 ? font.pixelSize() : 12;
    // As large as fits in half the corner, never larger than the cells' own text.
    const QRect top(r.left() + r.width() / 4, r.top() + 1, r.width() - r.width() / 4 - 2, r.height() / 2);
    const QRect bottom(r.left() + 2, r.top() + r.height() / 2, r.width() / 2, r.height() / 2 - 1);
    int size = std::max(6, base * 4 / 5);
    for (; size > 6; --size) {
        font.setPixelSize(size);
        const QFontMetrics metrics(font);
        if (metrics.horizontalAdvance(rpm) <= top.width() && metrics.height() <= top.height() + 2)
            break;
    }
    font.setPixelSize(size);
    painter.setFont(font);
    painter.setPen(CCell::toQColor(0));
    const QFontMetrics metrics(font);
    const QString rpmShown = metrics.elidedText(rpm, Qt::ElideRight, top.width());
    painter.drawText(top, Qt::AlignRight | Qt::AlignTop, rpmShown);
    painter.drawText(bottom, Qt::AlignLeft | Qt::AlignBottom, ms);
    paintedtext::note(this, rpmShown, rpm, top);
    paintedtext::note(this, ms, bottom);
    painter.restore();
}
