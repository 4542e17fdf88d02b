// SPDX-License-Identifier: GPL-3.0-or-later
#include "shelltest.h"

#include <app/data/languages.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/mainframe.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include <string_view>

namespace shelltest {

void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void onNextModal(const std::function<void(QWidget*)>& action)
{
    QTimer::singleShot(0, qApp, [action] { action(QApplication::activeModalWidget()); });
}

EnglishScope::EnglishScope(const QList<QPair<QString, QString>>& pairs)
{
    QString text = QStringLiteral("\ufeff");
    for (const auto& [pl, en] : pairs)
        text += pl + QLatin1Char('\t') + en + QStringLiteral("\r\n");
    langSlot(0)->openBytes(
        std::string_view(reinterpret_cast<const char*>(text.utf16()), static_cast<std::size_t>(text.size()) * 2));
    setCurrentLanguage(1);
}

EnglishScope::~EnglishScope()
{
    setCurrentLanguage(0);
    langSlot(0)->close();
}

CShellRun::CShellRun(SAppOptions options, bool demo)
    : answerDemo(demo)
    , m_scope(std::make_unique<CInteractionScope>(ui))
    , m_app(std::make_unique<CkorvanaApp>(std::move(options)))
{
}

CShellRun::~CShellRun()
{
    m_app.reset();
    m_scope.reset();
}

bool CShellRun::start()
{
    // The dialog is answered through the document's hook, so that a test
    // decides without a window; the dialog itself has tests of its own.
    const bool ok = m_app->InitInstance([this](CkorvanaDoc& doc) {
        doc.device().session().setThreadManager(&m_threads);
        if (realDialog)
            return;
        doc.askNoConnection = [this](QWidget*) {
            ++noConnectionDialogs;
            return answerDemo ? ENoConnectionChoice::Demo : ENoConnectionChoice::Offline;
        };
    });
    return ok;
}

} // namespace shelltest
