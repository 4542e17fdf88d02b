// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/qtinteraction.h>

#include <QApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <memory>

namespace {

QMessageBox::Icon boxIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Error:
        return QMessageBox::Critical;
    case MsgIcon::Warning:
        return QMessageBox::Warning;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// Runs f on the GUI thread and waits for it.
template <class F> void onGui(F&& f)
{
    QMetaObject::invokeMethod(qApp, std::forward<F>(f), Qt::BlockingQueuedConnection);
}

} // namespace

bool CQtInteraction::onGuiThread()
{
    return qApp && QThread::currentThread() == qApp->thread();
}

QWidget* CQtInteraction::owner() const
{
    for (auto it = m_owners.rbegin(); it != m_owners.rend(); ++it)
        if (*it)
            return *it;
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    return m_mainWindow;
}

QMessageBox* CQtInteraction::buildBox(
    const std::wstring& text, const std::wstring& caption, MsgIcon icon, bool question, bool defaultYes) const
{
    auto* box = new QMessageBox(owner());
    box->setWindowTitle(QString::fromStdWString(caption));
    box->setText(QString::fromStdWString(text));
    box->setIcon(boxIcon(icon));
    if (question) {
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
        box->setEscapeButton(QMessageBox::No);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
        box->setDefaultButton(QMessageBox::Ok);
    }
    return box;
}

void CQtInteraction::message(const std::wstring& text, const std::wstring& caption, MsgIcon icon)
{
    if (!qApp)
        return;
    if (!onGuiThread()) {
        // The reporting thread must not wait for the person at the keyboard.
        QMetaObject::invokeMethod(
            qApp, [this, text, caption, icon] { message(text, caption, icon); }, Qt::QueuedConnection);
        return;
    }
    std::unique_ptr<QMessageBox> box(buildBox(text, caption, icon, false, true));
    // A wait cursor held by the caller must not hide the arrow over the box.
    const bool waiting = m_waitDepth > 0;
    if (waiting)
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    box->exec();
    if (waiting)
        QGuiApplication::restoreOverrideCursor();
}

bool CQtInteraction::question(const std::wstring& text, const std::wstring& caption, MsgIcon icon, bool defaultYes)
{
    if (!qApp)
        return false;
    if (!onGuiThread()) {
        bool answer = false;
        onGui([&] { answer = question(text, caption, icon, defaultYes); });
        return answer;
    }
    std::unique_ptr<QMessageBox> box(buildBox(text, caption, icon, true, defaultYes));
    const bool waiting = m_waitDepth > 0;
    if (waiting)
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const bool yes = box->exec() == QMessageBox::Yes;
    if (waiting)
        QGuiApplication::restoreOverrideCursor();
    return yes;
}

QString CQtInteraction::qtFilter(const std::wstring& filter)
{
    const QStringList parts = QString::fromStdWString(filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString text = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        if (text.isEmpty() && patterns.isEmpty())
            break;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the parentheses; add them when the text has none.
        out << (text.contains(QLatin1Char('(')) ? text : QStringLiteral("%1 (%2)").arg(text, patterns));
    }
    return out.join(QStringLiteral(";;"));
}

QString CQtInteraction::defaultSuffix(const std::wstring& filter)
{
    const QStringList parts = QString::fromStdWString(filter).split(QLatin1Char('|'));
    if (parts.size() < 2)
        return {};
    const QString first = parts[1].split(QLatin1Char(';')).value(0).trimmed();
    if (!first.startsWith(QStringLiteral("*.")))
        return {};
    const QString suffix = first.mid(2);
    if (suffix.isEmpty() || suffix.contains(QLatin1Char('*')) || suffix.contains(QLatin1Char('?')))
        return {};
    return suffix;
}

std::string CQtInteraction::chooseFile(bool save, const std::wstring& title, const std::wstring& filter,
    const std::string& folder, const std::string& defaultName)
{
    if (!qApp)
        return {};
    if (!onGuiThread()) {
        std::string chosen;
        onGui([&] { chosen = chooseFile(save, title, filter, folder, defaultName); });
        return chosen;
    }
    QFileDialog dialog(owner(), QString::fromStdWString(title), QString::fromStdString(folder), qtFilter(filter));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(defaultSuffix(filter));
    if (!defaultName.empty())
        dialog.selectFile(QString::fromStdString(defaultName));
    const bool waiting = m_waitDepth > 0;
    if (waiting)
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (waiting)
        QGuiApplication::restoreOverrideCursor();
    if (!accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
}

void CQtInteraction::beginWaitCursor()
{
    if (!qApp)
        return;
    if (!onGuiThread()) {
        QMetaObject::invokeMethod(
            qApp, [this] { beginWaitCursor(); }, Qt::QueuedConnection);
        return;
    }
    ++m_waitDepth;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void CQtInteraction::endWaitCursor()
{
    if (!qApp)
        return;
    if (!onGuiThread()) {
        QMetaObject::invokeMethod(
            qApp, [this] { endWaitCursor(); }, Qt::QueuedConnection);
        return;
    }
    if (m_waitDepth == 0)
        return;
    --m_waitDepth;
    QGuiApplication::restoreOverrideCursor();
}

void CQtInteraction::pump()
{
    if (onGuiThread())
        QCoreApplication::processEvents();
}

void CQtInteraction::sleep(unsigned milliseconds)
{
    if (!onGuiThread()) {
        QThread::msleep(milliseconds);
        return;
    }
    // Timers and input keep running while the caller waits.
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(milliseconds), &loop, &QEventLoop::quit);
    loop.exec();
}

COwnerScope::COwnerScope(QWidget* owner)
    : m_ui(dynamic_cast<CQtInteraction*>(&userInteraction()))
{
    if (m_ui)
        m_ui->m_owners.emplace_back(owner);
}

COwnerScope::~COwnerScope()
{
    if (m_ui && !m_ui->m_owners.empty())
        m_ui->m_owners.pop_back();
}
