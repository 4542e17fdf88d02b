// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/cellarray/cellarrayedit.h>

#include <gradctrls/cellarray/cellarray.h>

#include <QLineEdit>

CCellArrayEdit::CCellArrayEdit(QLineEdit* edit)
    : CItemEdit(edit ? edit : new QLineEdit)
{
}

CCellArrayEdit::~CCellArrayEdit() = default;

QString CCellArrayEdit::getText()
{
    return text();
}

void CCellArrayEdit::onCommit(const QString& text)
{
    CItemEdit::onCommit(text);
    if (auto* grid = qobject_cast<CCellArray*>(getWindow() ? getWindow()->parentWidget() : nullptr))
        grid->hideEditCtrl(true);
}

void CCellArrayEdit::onCancel()
{
    CItemEdit::onCancel();
    if (auto* grid = qobject_cast<CCellArray*>(getWindow() ? getWindow()->parentWidget() : nullptr))
        grid->hideEditCtrl(false);
}
