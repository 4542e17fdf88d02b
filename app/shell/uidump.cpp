// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/uidump.h>

#include <basectrls/ctrlid.h>
#include <gradctrls/dialogs/paintedtext.h>

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QWidget>

#include <map>

namespace {

QString windowName(const QWidget* window)
{
    if (!window->objectName().isEmpty())
        return window->objectName();
    return QString::fromLatin1(window->metaObject()->className());
}

QString widgetName(const QWidget* widget)
{
    if (hasCtrlId(widget) && ctrlId(widget) != kNoCtrlId)
        return QStringLiteral("ctrl_%1").arg(ctrlId(widget));
    return widget->objectName();
}

// The text a standard widget stands for, and the room it has for one line.
struct SPlainText {
    QString text;
    int room = -1; // -1: not measured (wrapped, rich or no text)
};

SPlainText plainText(const QWidget* widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        if (label->wordWrap() || label->textFormat() == Qt::RichText || label->text().contains(QLatin1Char('\n')))
            return { label->text(), -1 };
        const int m = label->margin();
        return { label->text(), label->contentsRect().width() - 2 * m - label->indent() * (label->indent() > 0) };
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
        const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
        return { button->text(), button->width() - icon - 2 * margin };
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        return { edit->text(), -1 };
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        return { combo->currentText(), -1 };
    return {};
}

QJsonObject rectObject(QJsonObject object, const QRect& r)
{
    object.insert(QStringLiteral("x"), r.x());
    object.insert(QStringLiteral("y"), r.y());
    object.insert(QStringLiteral("w"), r.width());
    object.insert(QStringLiteral("h"), r.height());
    return object;
}

bool shownOnScreen(const QWidget* widget)
{
    return widget->isVisible() && !widget->visibleRegion().isEmpty();
}

void describeWidgets(QWidget* window, const std::map<const QWidget*, QList<paintedtext::SNote>>& painted,
                     QJsonArray& out)
{
    const QString name = windowName(window);
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* widget : widgets) {
        if (widget != window && (!shownOnScreen(widget) || widget->isWindow()))
            continue;
        QJsonObject o;
        o.insert(QStringLiteral("window"), name);
        o.insert(QStringLiteral("class"), QString::fromLatin1(widget->metaObject()->className()));
        o.insert(QStringLiteral("name"), widgetName(widget));
        QString text;
        QString fullText;
        bool elided = false;
        if (const auto found = painted.find(widget); found != painted.end() && !found->second.isEmpty()) {
            // Owner-drawn: what it painted.
            QStringList shown;
            QStringList full;
            for (const paintedtext::SNote& note : found->second) {
                shown << note.text;
                full << note.fullText;
                elided = elided || note.text != note.fullText;
            }
            text = shown.join(QLatin1Char('\n'));
            fullText = full.join(QLatin1Char('\n'));
        } else if (!QByteArray(widget->metaObject()->className()).startsWith('Q')) {
            // Owner-drawn and painted no text (a picture button): nothing shown to cut.
            fullText = plainText(widget).text;
        } else {
            const SPlainText plain = plainText(widget);
            text = fullText = plain.text;
            if (plain.room >= 0 && !plain.text.isEmpty())
                elided = QFontMetricsF(widget->font()).horizontalAdvance(plain.text) > plain.room;
        }
        o.insert(QStringLiteral("text"), text);
        o.insert(QStringLiteral("fullText"), fullText);
        o.insert(QStringLiteral("elided"), elided);
        o.insert(QStringLiteral("toolTip"), widget->toolTip());
        const QRect r(widget->mapTo(window, QPoint(0, 0)), widget->size());
        o = rectObject(o, widget == window ? QRect(QPoint(0, 0), widget->size()) : r);
        o.insert(QStringLiteral("enabled"), widget->isEnabled());
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget); button && button->isCheckable())
            o.insert(QStringLiteral("checked"), button->isChecked());
        else
            o.insert(QStringLiteral("checked"), QJsonValue());
        out.append(o);
    }
}

QJsonArray describeMenus()
{
    QJsonArray menus;
    QMainWindow* main = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* candidate = qobject_cast<QMainWindow*>(widget); candidate && candidate->isVisible())
            main = candidate;
    auto* bar = main ? main->findChild<QMenuBar*>() : nullptr;
    if (!bar)
        return menus;
    std::map<const QActionGroup*, int> groups;
    for (QAction* top : bar->actions()) {
        QMenu* menu = top->menu();
        if (!menu || !top->isVisible())
            continue;
        QJsonArray actions;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator() || !action->isVisible())
                continue;
            QJsonObject a;
            a.insert(QStringLiteral("text"), action->text());
            a.insert(QStringLiteral("shortcut"), action->shortcut().toString(QKeySequence::PortableText));
            a.insert(QStringLiteral("checkable"), action->isCheckable());
            a.insert(QStringLiteral("checked"), action->isChecked());
            // Only a tip of its own: Qt's default repeats the text.
            const QString tip = action->toolTip();
            a.insert(QStringLiteral("toolTip"), tip == QString(action->text()).remove(QLatin1Char('&')) ? QString() : tip);
            const QActionGroup* group = action->actionGroup();
            if (group && group->isExclusive()) {
                const int number = groups.try_emplace(group, static_cast<int>(groups.size()) + 1).first->second;
                a.insert(QStringLiteral("exclusiveGroup"), number);
            } else {
                a.insert(QStringLiteral("exclusiveGroup"), QJsonValue());
            }
            actions.append(a);
        }
        QJsonObject m;
        m.insert(QStringLiteral("title"), top->text());
        m.insert(QStringLiteral("actions"), actions);
        menus.append(m);
    }
    return menus;
}

} // namespace

QByteArray describeUi()
{
    QList<QWidget*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && !qobject_cast<QMenu*>(widget))
            windows.append(widget);
    QJsonArray widgets;
    QJsonArray painted;
    for (QWidget* window : windows) {
        // Painted once more, off screen, with every control noting its texts.
        paintedtext::clear();
        paintedtext::setRecording(true);
        (void)window->grab();
        paintedtext::setRecording(false);
        std::map<const QWidget*, QList<paintedtext::SNote>> byOwner;
        for (const paintedtext::SNote& note : paintedtext::notes()) {
            auto* owner = const_cast<QWidget*>(note.owner);
            if (!owner || !shownOnScreen(owner))
                continue;
            byOwner[note.owner].append(note);
            QJsonObject p;
            p.insert(QStringLiteral("window"), windowName(window));
            p.insert(QStringLiteral("owner"), QStringLiteral("%1 %2").arg(
                QString::fromLatin1(owner->metaObject()->className()), widgetName(owner)));
            p.insert(QStringLiteral("text"), note.text);
            p.insert(QStringLiteral("fullText"), note.fullText);
            p.insert(QStringLiteral("elided"), note.text != note.fullText);
            painted.append(rectObject(p, QRect(owner->mapTo(window, note.rect.topLeft()), note.rect.size())));
        }
        paintedtext::clear();
        describeWidgets(window, byOwner, widgets);
    }
    QJsonObject root;
    root.insert(QStringLiteral("widgets"), widgets);
    root.insert(QStringLiteral("menus"), describeMenus());
    root.insert(QStringLiteral("painted"), painted);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}
