// SPDX-License-Identifier: GPL-3.0-or-later
#include <basectrls/ctrlid.h>

#include <QString>
#include <QVariant>
#include <QWidget>

namespace {
constexpr const char* kIdProperty = "ctrlId";
}

void setCtrlId(QWidget* widget, int id)
{
    if (!widget)
        return;
    widget->setProperty(kIdProperty, id);
    widget->setObjectName(QStringLiteral("ctrl_%1").arg(id));
}

int ctrlId(const QWidget* widget)
{
    if (!widget)
        return kNoCtrlId;
    bool ok = false;
    const int id = widget->property(kIdProperty).toInt(&ok);
    return ok ? id : kNoCtrlId;
}

bool hasCtrlId(const QWidget* widget)
{
    return widget && widget->property(kIdProperty).isValid();
}

QWidget* findChildCtrl(const QWidget* parent, int id)
{
    if (!parent)
        return nullptr;
    for (QObject* child : parent->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w && hasCtrlId(w) && ctrlId(w) == id)
            return w;
    }
    return nullptr;
}

QWidget* findCtrl(const QWidget* root, int id)
{
    if (!root)
        return nullptr;
    for (QObject* child : root->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w)
            continue;
        if (hasCtrlId(w) && ctrlId(w) == id)
            return w;
        if (QWidget* found = findCtrl(w, id))
            return found;
    }
    return nullptr;
}
