// SPDX-License-Identifier: GPL-3.0-or-later
// The grid's in-place editor: a line edit over the header being edited.
// Enter commits, Escape cancels, losing the focus commits — each only while
// the edit sits in a CCellArray. Derived editors decide in getText() what
// text the edited cell keeps.
#pragma once

#include <basectrls/itemedit.h>

#include <QLineEdit>

class CCellArrayEdit : public CItemEdit {
    Q_OBJECT
public:
    // edit: the control to use (a plain line edit when null); owned from now on.
    explicit CCellArrayEdit(QLineEdit* edit = nullptr);
    ~CCellArrayEdit() override;

    // The text the edited cell keeps when the edit is committed; the typed text by default.
    virtual QString getText();

protected:
    void onCommit(const QString& text) override;
    void onCancel() override;
};
