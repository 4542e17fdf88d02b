// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli afm-info FILE.afm: an offline look at a firmware file.
// korvana-cli flash FILE.afm [--yes]: the user-started firmware update; the
// downgrade question is answered Yes with --yes, No without. A controller
// found in its bootloader on connecting is programmed with the same file
// (the forced update), which then ends the command.
#include "cli.h"
#include "cli_connect.h"

#include <app/data/firmwarefile.h>
#include <app/data/identity.h>
#include <app/device/connectfailure.h>
#include <app/device/controllersearch.h>
#include <app/device/firmwareupdate.h>
#include <app/device/lpgdevice.h>
#include <app/platform/consoleinteraction.h>
#include <app/platform/textcodec.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace {

std::string hex16(uint16_t v)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", v);
    return text;
}

std::string hexAddress(uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", v);
    return text;
}

const CFlashLayout* layoutOfName(const std::wstring& name)
{
    for (const auto& model : kDeviceModels)
        if (name == model.name)
            return findFlashLayout(model.code);
    return nullptr;
}

// Installs the terminal interaction of this command and restores the default one.
class CInteractionGuard {
public:
    explicit CInteractionGuard(IUserInteraction& ui) { setUserInteraction(&ui); }
    ~CInteractionGuard() { setUserInteraction(nullptr); }
    CInteractionGuard(const CInteractionGuard&) = delete;
    CInteractionGuard& operator=(const CInteractionGuard&) = delete;
};

} // namespace

int cmdAfmInfo(const CliContext& context)
{
    if (context.args.size() != 1)
        return usageError("afm-info", "give one .afm file");
    const std::string& path = context.args[0];
    CFirmwareFile file;
    uint16_t version = 0;
    uint16_t marker = 0;
    std::wstring name;
    if (!file.load(path, version, name, marker))
        return failed(path + ": refused: " + CFirmwareFile::describe(file.problem()));

    std::cout << "version: " << (version >> 8) << "." << (version & 0xFF) << "\n"
              << "model: " << escapeControls(toUtf8(name)) << "\n"
              << "marker: " << hex16(marker) << "\n"
              << "body size: " << file.bodySize() << "\n"
              << "image length: " << file.imageLength() << "\n"
              << "rows: " << file.rowCount() << "\n"
              << "checksum ok\n";
    if (marker != CFirmwareFile::kMarker)
        return failed(path + ": refused: the type marker is " + hex16(marker) + ", not 0x0101");
    if (const CFlashLayout* layout = layoutOfName(name)) {
        if (!CFirmwareUpdate::fitsLayout(file, *layout))
            return failed(path + ": refused: the image has nothing to program in the flash of " + escapeControls(toUtf8(name)) + " ("
                + hexAddress(layout->first) + " to " + hexAddress(layout->end) + ")");
        std::cout << "rows to write: " << CFirmwareUpdate::rowsToWrite(file, *layout) << " ("
                  << hexAddress(layout->first) << " to " << hexAddress(layout->end) << ")\n";
        if (const std::size_t past = CFirmwareUpdate::bytesPastEnd(file, *layout))
            std::cout << "past the end: " << past << " image bytes from " << hexAddress(layout->end)
                      << " on are not written\n";
    } else {
        std::cout << "no controller model of this name\n";
    }
    return kExitOk;
}

int cmdFlash(const CliContext& context)
{
    std::vector<std::string> args = context.args;
    const auto yes = std::find(args.begin(), args.end(), "--yes");
    const bool answerYes = yes != args.end();
    if (answerYes)
        args.erase(yes);
    if (args.size() != 1 || args[0].rfind("--", 0) == 0)
        return usageError("flash", "give one .afm file (and --yes to allow an older version)");
    const std::string& path = args[0];

    // A file no controller would take is refused before the car is touched.
    {
        CFirmwareFile file;
        uint16_t version = 0;
        uint16_t marker = 0;
        std::wstring name;
        if (!file.load(path, version, name, marker))
            return failed(path + ": refused: " + CFirmwareFile::describe(file.problem()));
    }

    CConsoleInteraction ui(answerYes);
    ui.setFile(path);
    CInteractionGuard guard(ui);
    try {
        CLPGDevice device(*context.ports);
        CFirmwareUpdate update(device);
        uint32_t port = 0;
        if (!context.port.empty()) {
            std::string message;
            port = resolvePort(*context.ports, context.port, message);
            if (port == 0)
                return failed(message);
        }
        update.onReconnect = [&device, port] { return port ? device.session().connectOnPort(port) : searchController(device); };
        std::size_t shown = 0;
        update.onRow = [&shown](std::size_t done, std::size_t total) {
            // About every tenth of the way, and the last row.
            if (done == total || done * 10 / total != shown * 10 / total)
                std::cerr << "korvana-cli: row " << done << " of " << total << "\n";
            shown = done;
        };
        update.onLog = [](const std::string& line) { std::cerr << "korvana-cli: " << line << "\n"; };
        bool forcedRan = false;
        bool forcedResult = false;
        device.session().setFirmwareUpdate([&](bool forced) {
            forcedRan = true;
            forcedResult = update.update(forced);
            return forcedResult;
        });

        // Every row was written: the controller holds the new firmware whatever failed after.
        const auto programmedButSilent = [&] {
            if (device.isConnected())
                return failed("the firmware was programmed, but the settings could not be carried across to it");
            const std::string where = context.port.empty() ? std::string("any port") : context.port;
            return failed("the firmware was programmed, but the controller did not answer afterwards ("
                          + describeConnectFailure(device.session().lastConnectFailure(), where, device.session().lastConnectDetail())
                          + ")");
        };
        const int code = connectDevice(context, false, device);
        if (forcedRan) {
            if (!forcedResult && update.flashWritten())
                return programmedButSilent();
            if (!forcedResult)
                return failed("the controller in its bootloader could not be programmed");
        } else {
            if (code != kExitOk)
                return code;
            if (!update.onDeviceUpdate())
                return update.flashWritten() ? programmedButSilent() : failed("the firmware was not programmed");
        }
        const int32_t v = device.liveImage().m_devInfo.m_version;
        std::cout << "programmed " << path << ": " << toUtf8(device.liveImage().m_devInfo.m_modelName) << " now runs "
                  << (v >> 8) << "." << (v & 0xFF) << "\n";
        return kExitOk;
    } catch (IError* e) {
        CErrorGuard error(e);
        return failed(error);
    }
}
