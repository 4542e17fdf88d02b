// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/menumnemonics.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSet>

QStringList withMnemonics(const QStringList& texts)
{
    QSet<QString> taken;
    QStringList out;
    for (const QString& text : texts) {
        QString marked = text;
        marked.replace(QLatin1Char('&'), QStringLiteral("&&"));
        for (int i = 0; i < marked.size(); ++i) {
            const QChar ch = marked[i];
            if (ch == QLatin1Char('&') || !ch.isLetterOrNumber())
                continue;
            const QString key = QString(ch).toLower();
            if (taken.contains(key))
                continue;
            taken.insert(key);
            marked.insert(i, QLatin1Char('&'));
            break;
        }
        out << marked;
    }
    return out;
}

QString withoutMnemonic(QString text)
{
    QString plain;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        plain += text[i];
    }
    return plain;
}

namespace {

void mark(const QList<QAction*>& actions)
{
    QList<QAction*> items;
    QStringList texts;
    for (QAction* action : actions)
        if (!action->isSeparator() && action->isVisible()) {
            items << action;
            texts << withoutMnemonic(action->text());
        }
    const QStringList marked = withMnemonics(texts);
    for (int i = 0; i < items.size(); ++i)
        items[i]->setText(marked[i]);
}

} // namespace

void applyMnemonics(QMenuBar* bar)
{
    if (bar)
        mark(bar->actions());
}

void applyMnemonics(QMenu* menu)
{
    if (menu)
        mark(menu->actions());
}
