// SPDX-License-Identifier: GPL-3.0-or-later
// What every korvana-cli command that changes or shows the controller shares:
// the refusal of blocks that were not read, the report of a write that did
// not end well, and the signals that must not cut a write in half.
#include "cli.h"

#include <app/data/settingsio.h>
#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>
#include <app/platform/filereplace.h>
#include <app/platform/log.h>
#include <app/platform/textcodec.h>
#include <app/tuning/mapcsv.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>

namespace {

volatile std::sig_atomic_t g_interrupt = 0;

// While a write session runs the signal only asks it to stop: it puts back
// what it wrote and gives the car its fuel mode back before the command exits.
extern "C" void onWriteSignal(int sig)
{
    if (CWriteSession::active()) {
        g_interrupt = 1;
        return;
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

std::string stateFolder()
{
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    std::filesystem::path dir = state && *state ? std::filesystem::path(state)
                                                : std::filesystem::path(home && *home ? home : ".") / ".local/state";
    dir /= "korvana";
    std::error_code ignored;
    std::filesystem::create_directories(dir, ignored);
    return dir.string();
}

std::string stamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm {};
    localtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &tm);
    return text;
}

void line(const std::wstring& text)
{
    std::cerr << "korvana-cli: " << toUtf8(text) << "\n";
}

} // namespace

void installWriteSignals()
{
    CWriteSession::setInterruptFlag(&g_interrupt);
#ifdef SIGHUP
    for (int sig : { SIGINT, SIGTERM, SIGHUP })
#else
    for (int sig : { SIGINT, SIGTERM }) // Windows has no hang-up signal
#endif
        std::signal(sig, onWriteSignal);
}

int requireRead(CLPGDevice& device, uint32_t blocks)
{
    const std::wstring missing = device.readBlocks().missingNames(blocks);
    if (missing.empty())
        return kExitOk;
    line(translate(L"Nie odczytano ze sterownika:") + L" " + missing);
    line(translate(L"Nic nie zostało wpisane do urządzenia."));
    return kExitFailed;
}

int writeFailed(const CWriteReport& report, CLPGDevice& device)
{
    if (report.ok())
        return kExitOk;
    const std::wstring text = report.text();
    for (std::size_t at = 0, next; at <= text.size(); at = next + 1) {
        next = text.find(L'\n', at);
        if (next == std::wstring::npos)
            next = text.size();
        line(text.substr(at, next - at));
    }
    return leftChangedExit(report, device);
}

int leftChangedExit(const CWriteReport& report, CLPGDevice& device)
{
    if (report.ok())
        return kExitOk;
    if (device.leftChanged().empty())
        return report.exitCode();
    return printLeftChanged(device.leftChanged());
}

int printLeftChanged(const CLeftChanged& left)
{
    // The CLI exits: what the car was left with, and how to put it back once it answers again.
    line(translate(L"Sterownik pozostał w tym stanie:"));
    for (const auto& text : left.describe())
        line(L"  " + text);
    line(translate(L"Aby przywrócić poprzedni stan, gdy sterownik znów odpowiada:"));
    const std::string base = stateFolder() + "/before-" + stamp();
    if (left.blocks & ~(CReadBlocks::InjMap | CReadBlocks::MapAxes)) {
        const std::string path = base + ".settings";
        if (writeSettings(path, left.before))
            std::cerr << "  korvana-cli restore '" << path << "'\n";
    }
    if ((left.blocks & (CReadBlocks::InjMap | CReadBlocks::MapAxes)) || left.mapInvalid) {
        const std::string path = base + ".csv";
        if (replaceFile(path, formatMapCsv(mapFileOf(left.before))) == FileReplaceResult::Saved)
            std::cerr << "  korvana-cli map set '" << path << "'\n";
    }
    if (left.fuelForced)
        std::cerr << "  korvana-cli switch " << (left.backToAuto ? "auto" : "petrol") << "\n";
    logMessage(LogLevel::Warning, "cli", L"left changed by " + left.operation);
    return kExitChanged;
}
