// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/guardedapplication.h>

#include <app/data/translate.h>
#include <app/platform/log.h>
#include <app/platform/textcodec.h>
#include <app/platform/userinteraction.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <exception>

CGuardedApplication::CGuardedApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

bool CGuardedApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (IError* e) {
        CErrorGuard error(e);
        report(toUtf8(error->getMsg() + L": " + error->getText()));
    } catch (const std::exception& e) {
        report(e.what());
    } catch (...) {
        report("an exception of unknown type");
    }
    return false;
}

void CGuardedApplication::report(const std::string& what)
{
    logError("gui", "exception left an event handler: " + what);
    // The message box runs its own event loop; a second fault while it is open is only logged.
    if (m_reporting)
        return;
    m_reporting = true;
    try {
        userInteraction().message(::translate(L"Nieoczekiwany błąd programu:") + L"\n" + escapeControls(fromUtf8(what)),
            L"KORVANA", MsgIcon::Error);
    } catch (...) {
        logError("gui", "the exception could not be shown");
    }
    m_reporting = false;
}
