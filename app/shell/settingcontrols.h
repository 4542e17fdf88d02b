// SPDX-License-Identifier: GPL-3.0-or-later
// The controls of one settings page built from the settings table: a label,
// an edit and up-down arrows per spin, an image check box per bit, a value
// list per list. The page holds no values: every control shows the settings
// image, and a change is stored there and, while connected, written at once
// with the blocks (and for the restart settings the restart sequence) the
// table names. Both settings pages own one.
#pragma once

#include <app/data/settingfields.h>
#include <app/shell/pagecontext.h>
#include <gradctrls/layout/pagelayout.h>

#include <QObject>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

class CCheckBoxImages;
class CExtEdit;
class CStrValueCmbBox;
class CUnreadLine;
class QCheckBox;
class QWidget;

class CSettingControls : public QObject {
    Q_OBJECT
public:
    // Labels carry the id of their control plus this.
    static constexpr int kLabelIdOffset = 5000;
    // The unit beside a spin carries its edit's id plus this.
    static constexpr int kUnitIdOffset = 6000;
    static constexpr const wchar_t* kWriteFailed = L"Nie powiodło się wpisanie ustawień do urządzenia!";
    static constexpr const wchar_t* kRestartFailed = L"Nie powiodło się zresetowanie urządzenia!";
    static constexpr const wchar_t* kOutOfRange = L"Wartość poza zakresem. Dozwolone:";
    // The property of an edit that refused its typed value: the range, until a value is taken.
    static constexpr const char* kRefusedProperty = "refusedRange";
    // How long a field stays in the confirming colour after a write.
    static constexpr int kFlashMs = 800;

    // handlerName(controlId): the name an error thrown by that control's handler is shown with.
    CSettingControls(QWidget* page, SettingsPage which, const CPageContext& context,
                     std::function<std::wstring(int)> handlerName);

    // The page's rows (labels, edits, boxes) in dialog units; value lists and arrows are added by create().
    static std::vector<SCtrlLayout> layout(SettingsPage which);
    static std::vector<const CSettingField*> fieldsOf(SettingsPage which);

    // After the page built its table: arrows, lists, pictures and connections.
    void create();
    // Every control from the settings image.
    void refresh();
    // Labels and lists in the current language, the stored values kept.
    void updateTexts();

    // What the controls run (tests call them as a click would).
    void onSpin(const CSettingField& field, int delta);
    void onTyped(const CSettingField& field);
    void onCheck(const CSettingField& field, bool checked);
    void onList(const CSettingField& field, int value);

    // Ctrl+Z / Ctrl+Y on the page: the changes made on it in this session. An
    // undo reads the field's blocks again and is refused, with the reason,
    // when the controller no longer holds what the change left; one that needs
    // the controller's restart asks first.
    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    void undo();
    void redo();
    QWidget* page() const { return m_page; }

    // What the last successful write said ("Zapisano: Temperatura przełączenia 35 °C").
    QString lastConfirmation() const { return m_lastConfirmation; }
    // Whether the field's control shows a value the controller may not hold (a write failed).
    bool warned(int controlId) const { return m_warned.count(controlId) != 0; }
    // The line naming the blocks not read, and its button.
    CUnreadLine* unreadLine() const { return m_unread; }
    // Whether the field's value is of a block not read (shown "—"), and
    // whether it cannot be changed for that (its own or a written block not read).
    bool noValue(const CSettingField& field) const;
    bool locked(const CSettingField& field) const;

private:
    // Writes the blocks while connected (true offline: nothing to send).
    bool write(const CSettingField& field, uint8_t blocks, bool restart);
    void show(const CSettingField& field);
    void showWarning(const CSettingField& field);
    void showDividerLock();
    // The status word and the field's flash after a write that took.
    void confirmWritten(const CSettingField& field);
    struct SEdit {
        int controlId;
        double before;
        double after;
    };
    void replay(std::vector<SEdit>& from, std::vector<SEdit>& to, bool forward);
    // The value a change started from, taken just before it is stored.
    void noteBefore(const CSettingField& field);

    QWidget* m_page;
    SettingsPage m_which;
    CPageContext m_context;
    std::function<std::wstring(int)> m_handlerName;
    QString m_lastConfirmation;
    std::vector<SEdit> m_undo;
    std::vector<SEdit> m_redo;
    std::optional<SEdit> m_pending; // the change being written
    bool m_replaying = false;
    std::vector<const CSettingField*> m_fields;
    std::map<int, CExtEdit*> m_edits;
    std::map<int, QWidget*> m_spins;
    std::map<int, QCheckBox*> m_boxes;
    std::map<int, CStrValueCmbBox*> m_lists;
    std::set<int> m_warned;
    CCheckBoxImages* m_boxImages = nullptr;
    CUnreadLine* m_unread = nullptr;
};
