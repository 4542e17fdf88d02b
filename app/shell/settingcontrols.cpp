// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/settingcontrols.h>

#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/device/settingblocks.h>
#include <app/device/settingwriter.h>
#include <app/platform/log.h>
#include <app/platform/userinteraction.h>
#include <app/shell/checkboximages.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/mainframe.h>
#include <app/shell/strvaluecmbbox.h>
#include <app/shell/wspolneodczytymultipagedlg.h>
#include <app/shell/spinbutton.h>
#include <app/shell/unreadline.h>
#include <basectrls/ctrlid.h>
#include <basectrls/extedit.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <memory>

namespace {

const wchar_t* const kRestartTip
    = L"Przy tej zmianie sterownik przełącza się na benzynę i uruchamia ponownie.";

constexpr int kLeft = 8;
constexpr int kTop = 8;
// Translated labels run long, and so do the value lists' items; numbers are
// short. A spin row gives its label the room, a list row its list: the lists
// reach the readings panel.
constexpr int kLabelWidth = 330;
constexpr int kEditX = kLeft + kLabelWidth + 6;
constexpr int kEditWidth = 96;
constexpr int kListLabelWidth = 280;
constexpr int kListX = kLeft + kListLabelWidth + 6;
constexpr int kListWidth = CWspolneOdczytyMultiPageDlg::kPanelLeftDu - kListX;
constexpr int kSpinWidth = 22;
constexpr int kUsableHeight = 584;
constexpr int kMaxPitch = 26;
constexpr int kFuelTypeId = 1148;

// The field's warning colour: the controller may hold another value.
const QColor kWarning(0xff, 0xc8, 0x3d);
const QColor kConfirmed(0xb8, 0xf0, 0xb0);

int pitchOf(std::size_t rows)
{
    return rows == 0 ? kMaxPitch : std::min(kMaxPitch, kUsableHeight / static_cast<int>(rows));
}

QString translatedText(const wchar_t* text)
{
    return QString::fromStdWString(translate(text));
}

} // namespace

std::vector<const CSettingField*> CSettingControls::fieldsOf(SettingsPage which)
{
    std::vector<const CSettingField*> out;
    for (const CSettingField& f : CSettingsTable::fields())
        if (f.page == which && f.controlId != 0)
            out.push_back(&f);
    return out;
}

std::vector<SCtrlLayout> CSettingControls::layout(SettingsPage which)
{
    const auto fields = fieldsOf(which);
    // The last row is the line that names the blocks not read.
    const int pitch = pitchOf(fields.size() + 1);
    const int height = pitch - 4;
    std::vector<SCtrlLayout> rows;
    int y = kTop;
    for (const CSettingField* f : fields) {
        switch (f->kind) {
        case SettingKind::Spin:
            rows.push_back({ f->controlId + kLabelIdOffset, ECtrlKind::Label, kLeft, y, kLabelWidth, height, f->label });
            rows.push_back({ f->controlId, ECtrlKind::Edit, kEditX, y, kEditWidth, height, nullptr });
            if (*f->unit)
                rows.push_back({ f->controlId + kUnitIdOffset, ECtrlKind::Label, kEditX + kEditWidth + kSpinWidth + 8, y,
                                 48, height, f->unit });
            break;
        case SettingKind::Check:
            rows.push_back({ f->controlId, ECtrlKind::CheckBox, kLeft, y, kLabelWidth + kEditWidth + kSpinWidth + 10,
                             height, f->label });
            break;
        case SettingKind::List:
            rows.push_back({ f->controlId + kLabelIdOffset, ECtrlKind::Label, kLeft, y, kListLabelWidth, height, f->label });
            rows.push_back({ f->controlId, ECtrlKind::Placeholder, kListX, y, kListWidth, height, nullptr });
            break;
        }
        y += pitch;
    }
    CUnreadLine::addRows(rows, kLeft, y, CWspolneOdczytyMultiPageDlg::kPanelLeftDu - 2 * kLeft, height);
    return rows;
}

CSettingControls::CSettingControls(QWidget* page, SettingsPage which, const CPageContext& context,
                                   std::function<std::wstring(int)> handlerName)
    : QObject(page)
    , m_page(page)
    , m_which(which)
    , m_context(context)
    , m_handlerName(std::move(handlerName))
    , m_fields(fieldsOf(which))
{
}

void CSettingControls::create()
{
    m_boxImages = new CCheckBoxImages(L"CheckBox_Selected.tif", L"CheckBox_Unselected.tif", this);
    uint32_t blocks = 0;
    for (const CSettingField* f : m_fields)
        blocks |= shownBlocksOf(*f) | writtenBlocksOf(*f);
    m_unread = new CUnreadLine(m_page, m_context, blocks, [this] { refresh(); });
    m_unread->create();
    for (const CSettingField* f : m_fields) {
        QWidget* ctrl = findChildCtrl(m_page, f->controlId);
        if (!ctrl)
            continue;
        switch (f->kind) {
        case SettingKind::Spin: {
            auto* edit = qobject_cast<CExtEdit*>(ctrl);
            if (!edit)
                break;
            m_edits[f->controlId] = edit;
            auto* spin = new CSpinButton(m_page);
            setCtrlId(spin, f->spinId);
            const QRect r = edit->geometry();
            spin->setGeometry(r.right() + 3, r.top(), CPageLayout::duToPixelsX(kSpinWidth), r.height());
            spin->show();
            m_spins[f->controlId] = spin;
            connect(spin, &CSpinButton::deltaPos, this, [this, f](int delta) { onSpin(*f, delta); });
            connect(edit, &QLineEdit::editingFinished, this, [this, f] { onTyped(*f); });
            break;
        }
        case SettingKind::Check:
            if (auto* box = qobject_cast<QCheckBox*>(ctrl)) {
                m_boxes[f->controlId] = box;
                m_boxImages->apply(box);
                connect(box, &QCheckBox::clicked, this, [this, f](bool on) { onCheck(*f, on); });
            }
            break;
        case SettingKind::List: {
            auto* list = new CStrValueCmbBox(m_page);
            setCtrlId(list, f->controlId);
            list->setGeometry(ctrl->geometry());
            list->setClosedHeight(ctrl->geometry().height());
            ctrl->hide();
            ctrl->setParent(nullptr);
            ctrl->deleteLater();
            list->show();
            m_lists[f->controlId] = list;
            connect(list, &QComboBox::activated, this, [this, f, list] { onList(*f, list->value()); });
            break;
        }
        }
    }
    updateTexts();
    refresh();
}

void CSettingControls::updateTexts()
{
    const CSettingsImage& image = m_context.device.image();
    for (const CSettingField* f : m_fields) {
        // Every label says what its field takes: range, step and unit, or the values of a list.
        const QString range = QString::fromStdWString(CSettingsTable::rangeText(*f, image));
        if (auto* label = qobject_cast<QLabel*>(findChildCtrl(m_page, f->controlId + kLabelIdOffset))) {
            label->setText(translatedText(f->label));
            label->setToolTip(range);
        }
        // A change that restarts the controller says so before the click.
        const QString restart = f->restart ? QStringLiteral("\n") + translatedText(kRestartTip) : QString();
        if (auto it = m_boxes.find(f->controlId); it != m_boxes.end()) {
            it->second->setText(translatedText(f->label));
            it->second->setToolTip(QString::fromStdWString(translate(L"Kliknięcie włącza lub wyłącza; zmiana jest od razu wpisywana do sterownika."))
                                   + restart);
        }
        if (auto it = m_lists.find(f->controlId); it != m_lists.end())
            it->second->setToolTip(range + restart);
        if (auto it = m_lists.find(f->controlId); it != m_lists.end()) {
            std::vector<CStrValueCmbBox::Item> items;
            for (const CSettingItem& item : f->items)
                items.push_back({ translate(item.text), item.value });
            it->second->setItems(items);
            it->second->selectValue(static_cast<int>(CSettingsTable::value(*f, m_context.device.image())));
        }
    }
    if (m_unread)
        m_unread->updateTexts();
    refresh();
}

bool CSettingControls::noValue(const CSettingField& field) const
{
    return m_unread && m_unread->unread(shownBlocksOf(field)) != 0;
}

bool CSettingControls::locked(const CSettingField& field) const
{
    return m_unread && m_unread->unread(shownBlocksOf(field) | writtenBlocksOf(field)) != 0;
}

void CSettingControls::show(const CSettingField& f)
{
    const CSettingsImage& image = m_context.device.image();
    const double value = CSettingsTable::value(f, image);
    // A value of a block not read from this controller is not the car's: a dash, and no change to it.
    const bool unknown = noValue(f);
    const bool enabled = !locked(f);
    if (auto it = m_edits.find(f.controlId); it != m_edits.end()) {
        const QSignalBlocker quiet(it->second);
        it->second->setText(unknown ? QString::fromStdWString(CUnreadLine::kNoValue)
                                    : QString::fromStdWString(CSettingsTable::formatValue(f, value)));
        const QString range = QString::fromStdWString(CSettingsTable::rangeText(f, image));
        it->second->setToolTip(range);
        m_spins[f.controlId]->setToolTip(range);
        it->second->setEnabled(enabled);
        m_spins[f.controlId]->setEnabled(enabled);
    }
    if (auto it = m_boxes.find(f.controlId); it != m_boxes.end()) {
        const QSignalBlocker quiet(it->second);
        it->second->setChecked(!unknown && value != 0);
        it->second->setProperty(CCheckBoxImages::kNoValueProperty, unknown);
        it->second->setEnabled(enabled);
        it->second->update();
    }
    if (auto it = m_lists.find(f.controlId); it != m_lists.end()) {
        it->second->setEnabled(enabled);
        // The dash only for a value not read; a level sensor set by hand names no type, as before.
        it->second->setPlaceholderText(unknown ? QString::fromStdWString(CUnreadLine::kNoValue) : QString());
        if (unknown) {
            const QSignalBlocker quiet(it->second);
            it->second->setCurrentIndex(-1);
        } else if (f.special == SettingSpecial::LevelSensor && value < 0) {
            // Thresholds set by hand are no type's preset: name none, as "Wskazanie" does.
            const QSignalBlocker quiet(it->second);
            it->second->setCurrentIndex(-1);
        } else {
            it->second->selectValue(static_cast<int>(value));
        }
    }
    showWarning(f);
}

void CSettingControls::showWarning(const CSettingField& f)
{
    auto it = m_edits.find(f.controlId);
    if (it == m_edits.end())
        return;
    it->second->setBackgroundColor(warned(f.controlId) ? kWarning : QColor(Qt::white));
}

void CSettingControls::refresh()
{
    if (m_unread)
        m_unread->refresh();
    for (const CSettingField* f : m_fields)
        show(*f);
    showDividerLock();
}

void CSettingControls::showDividerLock()
{
    const bool bySource = CSettingsTable::dividerLocked(m_context.device.image());
    for (const CSettingField* f : m_fields) {
        if (std::string(f->key) != "m_base.m_sparkDivider" || f->kind != SettingKind::Spin || locked(*f))
            continue;
        if (auto it = m_edits.find(f->controlId); it != m_edits.end())
            it->second->setEnabled(!bySource);
        if (auto it = m_spins.find(f->controlId); it != m_spins.end())
            it->second->setEnabled(!bySource);
    }
}

bool CSettingControls::write(const CSettingField& field, uint8_t blocks, bool restart)
{
    CLPGDevice& device = m_context.device;
    if (!device.isConnected() || blocks == 0)
        return true;
    bool ok = false;
    const bool ran = m_context.doc.runOperation(
        L"Zapis ustawień", m_handlerName(field.controlId),
        [&] {
            std::unique_ptr<CWaitCursor> wait;
            if (restart)
                wait = std::make_unique<CWaitCursor>();
            const CSettingWriter::Outcome outcome = CSettingWriter::write(device, blocks, restart, false);
            ok = outcome.ok();
            if (outcome.result == CSettingWriter::Result::RestartFailed) {
                userInteraction().message(translate(kRestartFailed), L"KORVANA", MsgIcon::Error);
            } else if (!ok) {
                logInfo("settings", CSettingWriter::describe(outcome));
                userInteraction().message(translate(kWriteFailed), L"KORVANA", MsgIcon::Error);
            }
        },
        m_page);
    if (!ran)
        ok = false;
    // A field is in the warning colour while the controller may hold another value.
    if (ok) {
        confirmWritten(field);
        if (m_pending && m_pending->controlId == field.controlId && !m_replaying) {
            m_pending->after = CSettingsTable::value(field, device.image());
            if (m_pending->after != m_pending->before) {
                m_undo.push_back(*m_pending);
                m_redo.clear();
            }
        }
    }
    m_pending.reset();
    if (ok) {
        for (const CSettingField* f : m_fields)
            if ((f->blocks & blocks) && m_warned.erase(f->controlId))
                showWarning(*f);
    } else {
        m_warned.insert(field.controlId);
    }
    // A write that left a block unknown takes it off the page with the rest of what was not read.
    refresh();
    return ok;
}

void CSettingControls::noteBefore(const CSettingField& field)
{
    // A list that sets several members at once (a sensor preset, the signal source) is not undone by one value.
    if (field.special == SettingSpecial::None)
        m_pending = SEdit { field.controlId, CSettingsTable::value(field, m_context.device.image()), 0 };
    else
        m_pending.reset();
}

void CSettingControls::undo()
{
    replay(m_undo, m_redo, false);
}

void CSettingControls::redo()
{
    replay(m_redo, m_undo, true);
}

void CSettingControls::replay(std::vector<SEdit>& from, std::vector<SEdit>& to, bool forward)
{
    if (from.empty())
        return;
    const SEdit edit = from.back();
    const CSettingField* field = CSettingsTable::byControl(m_which, edit.controlId);
    CLPGDevice& device = m_context.device;
    if (!field || !device.isConnected() || locked(*field) || m_context.doc.refuseWhileBusy(m_page))
        return;
    const double expected = forward ? edit.before : edit.after;
    const double wanted = forward ? edit.after : edit.before;
    // What the controller holds now decides: another program may have changed it since.
    bool read = false;
    m_context.doc.runOperation(
        L"Odczyt ustawień",
        [&] {
            try {
                CWaitCursor wait;
                read = true;
                if (field->blocks & kBlockBase)
                    read = read && device.readBlock(CReadBlocks::Base);
                if (field->blocks & kBlockAdv)
                    read = read && device.readBlock(CReadBlocks::Adv);
                if (field->blocks & kBlockAdvancedSetup)
                    read = read && device.readBlock(CReadBlocks::AdvancedSetup);
                if (field->blocks & kBlockSensorsSetup)
                    read = read && device.readBlock(CReadBlocks::SensorsSetup);
            } catch (IError* e) {
                CErrorGuard error(e);
                logSwallowed("settings", "CSettingControls::undo()", *error);
                read = false;
            }
        },
        m_page);
    refresh();
    if (!read) {
        userInteraction().message(translate(L"Nie powiodło się odczytanie ustawień urządzenia!"), L"KORVANA",
                                  MsgIcon::Error);
        return;
    }
    const CSettingsImage& image = device.image();
    if (CSettingsTable::value(*field, image) != expected) {
        from.pop_back();
        userInteraction().message(
            translate(L"Nie można cofnąć tej zmiany: sterownik ma już inną wartość:") + L"\n" + translate(field->label)
                + L" " + CSettingsTable::text(*field, image),
            L"KORVANA", MsgIcon::Warning);
        return;
    }
    if (field->restart
        && !userInteraction().question(
            translate(L"Cofnięcie tej zmiany wymaga ponownego uruchomienia sterownika. Kontynuować?"), L"KORVANA",
            MsgIcon::Question, false))
        return;
    m_replaying = true;
    device.changeImage([&](CSettingsImage& live) { CSettingsTable::setValue(*field, live, wanted); });
    show(*field);
    const bool written = write(*field, field->blocks, field->restart);
    m_replaying = false;
    if (written) {
        from.pop_back();
        to.push_back(edit);
    }
}

void CSettingControls::confirmWritten(const CSettingField& field)
{
    const CSettingsImage& image = m_context.device.image();
    std::wstring what = translate(field.label);
    while (!what.empty() && (what.back() == L':' || what.back() == L' '))
        what.pop_back();
    std::wstring value = CSettingsTable::text(field, image);
    if (field.kind == SettingKind::Spin && *field.unit)
        value += L" " + translate(field.unit);
    if (field.kind == SettingKind::Check)
        value = translate(CSettingsTable::value(field, image) != 0 ? L"włączone" : L"wyłączone");
    const QString text = QString::fromStdWString(translate(L"Zapisano:") + L" " + what + L" " + value);
    m_lastConfirmation = text;
    logInfo("settings", "written " + std::string(field.key));
    if (CMainFrame* frame = m_context.doc.mainFrame())
        frame->showNotice(text);
    // The field itself flashes, so the eye that watched it sees the write took.
    if (auto it = m_edits.find(field.controlId); it != m_edits.end()) {
        CExtEdit* edit = it->second;
        edit->setBackgroundColor(kConfirmed);
        QTimer::singleShot(kFlashMs, edit, [this, id = field.controlId] {
            if (const CSettingField* f = CSettingsTable::byControl(m_which, id))
                showWarning(*f);
        });
    }
}

void CSettingControls::onSpin(const CSettingField& field, int delta)
{
    if (locked(field)) {
        show(field);
        return;
    }
    const std::optional<double> next = CSettingsTable::spin(field, m_context.device.image(), delta);
    if (!next)
        return;
    if (m_context.device.isConnected() && m_context.doc.refuseWhileBusy(m_page))
        return;
    noteBefore(field);
    m_context.device.changeImage([&](CSettingsImage& live) { CSettingsTable::setValue(field, live, *next); });
    show(field);
    write(field, field.blocks, field.restart);
}

void CSettingControls::onTyped(const CSettingField& field)
{
    auto it = m_edits.find(field.controlId);
    if (it == m_edits.end())
        return;
    if (locked(field)) {
        show(field);
        return;
    }
    const CSettingsImage& image = m_context.device.image();
    double typed = 0;
    const std::wstring text = it->second->text().trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toStdWString();
    const bool parsed = CSettingsTable::parse(field, text, typed);
    // A value the controller would read back as the one it holds changes nothing.
    if (parsed && CSettingsTable::snap(field, image, typed) == CSettingsTable::value(field, image)) {
        show(field);
        return;
    }
    if (!parsed || !CSettingsTable::allows(field, image, typed)) {
        show(field);
        // The range stands beside the field as well as in the box.
        const QString range = QString::fromStdWString(translate(kOutOfRange) + L" " + CSettingsTable::rangeText(field, image));
        it->second->setProperty(kRefusedProperty, range);
        QToolTip::showText(it->second->mapToGlobal(QPoint(0, it->second->height())), range, it->second);
        userInteraction().message(translate(kOutOfRange) + L" " + CSettingsTable::rangeText(field, image), L"KORVANA",
                                  MsgIcon::Warning);
        return;
    }
    it->second->setProperty(kRefusedProperty, QVariant());
    if (m_context.device.isConnected() && m_context.doc.refuseWhileBusy(m_page)) {
        show(field);
        return;
    }
    noteBefore(field);
    m_context.device.changeImage([&](CSettingsImage& live) { CSettingsTable::setValue(field, live, typed); });
    show(field);
    write(field, field.blocks, field.restart);
}

void CSettingControls::onCheck(const CSettingField& field, bool checked)
{
    if (locked(field)) {
        show(field);
        return;
    }
    if (m_context.device.isConnected() && m_context.doc.refuseWhileBusy(m_page)) {
        show(field);
        return;
    }
    noteBefore(field);
    m_context.device.changeImage([&](CSettingsImage& live) { CSettingsTable::setValue(field, live, checked ? 1 : 0); });
    show(field);
    write(field, field.blocks, field.restart);
}

void CSettingControls::onList(const CSettingField& field, int value)
{
    CLPGDevice& device = m_context.device;
    const CSettingsImage& image = device.image();
    const bool levelSensor = field.special == SettingSpecial::LevelSensor;
    if (locked(field)) {
        show(field);
        return;
    }
    // Offline a list changes nothing, except the gas-level sensor's presets.
    if (!device.isConnected() && !levelSensor) {
        show(field);
        return;
    }
    if (!CSettingsTable::allows(field, image, value)) {
        show(field);
        return;
    }
    const bool same = CSettingsTable::value(field, image) == value;
    if (same && field.special == SettingSpecial::None) {
        show(field);
        return;
    }
    if (device.isConnected() && m_context.doc.refuseWhileBusy(m_page)) {
        show(field);
        return;
    }
    noteBefore(field);
    device.changeImage([&](CSettingsImage& live) { CSettingsTable::setValue(field, live, value); });
    refresh();
    const bool written = write(field, field.blocks, field.restart);
    // The fuel type is in the frame's and pages' titles.
    if (written && field.page == SettingsPage::Settings && field.controlId == kFuelTypeId)
        m_context.doc.updateTexts();
    refresh();
}
