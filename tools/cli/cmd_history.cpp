// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli history: the restore points this PC keeps of every controller.
//   history [--serial S] [--json]        the points, oldest first
//   history show ID                      one point: who, when, why, then every value it holds
//   history diff ID [ID2]                two points, or a point and the controller now
//                                        (exit 0 the same, 1 they differ, 2 an error)
//   history restore ID [--only GROUP…] [--force] --yes
//   history export ID FILE.settings
//   history note ID TEXT
#include "cli.h"
#include "cli_connect.h"

#include <app/data/readblocks.h>
#include <app/data/settingsio.h>
#include <app/device/historyrecorder.h>
#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>
#include <app/platform/textcodec.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <iostream>

namespace {

constexpr int kDiffError = 2;

std::string versionText(int32_t version)
{
    return std::to_string(version >> 8 & 0xFF) + "." + std::to_string(version & 0xFF);
}

CHistoryStore* openStore()
{
    CHistoryRecorder* recorder = CHistoryRecorder::installed();
    if (!recorder)
        return nullptr;
    CHistoryStore& store = recorder->store();
    if (!store.readable()) {
        failed(toUtf8(recorder->problemText()));
        return nullptr;
    }
    return &store;
}

bool parseId(const std::string& text, int64_t& id)
{
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    id = std::stoll(text);
    return id > 0;
}

// The point ID and its content; says why on stderr when there is none.
bool loadPoint(const CHistoryStore& store, const std::string& idText, CHistoryPoint& point, CHistoryContent& content)
{
    int64_t id = 0;
    if (!parseId(idText, id)) {
        failed("not a point number: " + escapeControls(idText));
        return false;
    }
    const auto p = store.point(id);
    if (!p) {
        failed("no point " + idText + " in " + store.path());
        return false;
    }
    const auto bytes = store.image(p->imageId);
    if (!bytes || !decodeHistoryImage(*bytes, content)) {
        failed("point " + idText + " cannot be read: its image is damaged");
        return false;
    }
    point = *p;
    return true;
}

void printDifferences(const std::vector<CHistoryDifference>& differences)
{
    for (const auto& d : differences)
        std::cout << d.key << "\t" << escapeControls(d.a) << "\t" << escapeControls(d.b) << "\n";
}

int list(std::vector<std::string> args)
{
    const bool json = takeOption(args, "--json");
    std::string serial;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--serial" && i + 1 < args.size())
            serial = args[++i];
        else
            return usageError("history", "unexpected argument " + escapeControls(args[i]));
    }
    const CHistoryStore* store = openStore();
    if (!store)
        return kExitFailed;
    const auto points = store->list(serial);
    if (json) {
        std::cout << "[";
        for (std::size_t i = 0; i < points.size(); ++i) {
            const auto& p = points[i];
            std::cout << (i ? ",\n " : "") << "{\"id\":" << p.id << ",\"serial\":" << jsonString(p.serial)
                      << ",\"model\":" << jsonString(p.model) << ",\"version\":" << jsonString(versionText(p.version))
                      << ",\"time\":" << jsonString(p.time) << ",\"operation\":" << jsonString(p.operation)
                      << ",\"pc\":" << jsonString(p.pc) << ",\"note\":" << jsonString(p.note) << "}";
        }
        std::cout << "]\n";
        return kExitOk;
    }
    for (const auto& p : points)
        std::cout << p.id << "\t" << CHistoryRecorder::localTime(p.time) << "\t" << escapeControls(p.serial) << "\t"
                  << escapeControls(p.model) << " " << versionText(p.version) << "\t" << p.operation << "\t" << p.pc
                  << "\t" << escapeControls(p.note) << "\n";
    return kExitOk;
}

int show(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return usageError("history", "show takes one point number");
    const CHistoryStore* store = openStore();
    CHistoryPoint point;
    CHistoryContent content;
    if (!store || !loadPoint(*store, args[0], point, content))
        return kExitFailed;
    std::cout << "id: " << point.id << "\n"
              << "time: " << point.time << "\n"
              << "serial: " << escapeControls(point.serial) << "\n"
              << "model: " << escapeControls(point.model) << "\n"
              << "version: " << versionText(point.version) << "\n"
              << "operation: " << point.operation << "\n"
              << "pc: " << point.pc << "\n"
              << "note: " << escapeControls(point.note) << "\n"
              << "blocks: " << toUtf8(CReadBlocks().missingNames(point.blocks)) << "\n";
    for (const auto& m : historyMembers(content))
        std::cout << m.key << "\t" << escapeControls(m.shown) << "\n";
    return kExitOk;
}

int diff(const CliContext& context, std::vector<std::string> args)
{
    const bool demo = takeDemoOption(args);
    if (args.empty() || args.size() > 2) {
        usageError("history", "diff takes one or two point numbers");
        return kDiffError;
    }
    const CHistoryStore* store = openStore();
    CHistoryPoint point;
    CHistoryContent a;
    if (!store || !loadPoint(*store, args[0], point, a))
        return kDiffError;
    CHistoryContent b;
    if (args.size() == 2) {
        CHistoryPoint second;
        if (!loadPoint(*store, args[1], second, b))
            return kDiffError;
    } else {
        try {
            CLPGDevice device(*context.ports);
            if (connectDevice(context, demo, device) != kExitOk)
                return kDiffError;
            b = heldContent(device);
        } catch (IError* e) {
            CErrorGuard error(e);
            failed(error);
            return kDiffError;
        }
    }
    const auto differences = historyDifferences(a, b);
    printDifferences(differences);
    return differences.empty() ? kExitOk : kExitFailed;
}

int restore(const CliContext& context, std::vector<std::string> args)
{
    const bool demo = takeDemoOption(args);
    const bool yes = takeOption(args, "--yes");
    const bool force = takeOption(args, "--force");
    uint32_t mask = 0;
    bool obd = false;
    std::string idText;
    bool only = false;
    for (const auto& arg : args) {
        if (arg == "--only") {
            only = true;
        } else if (only && arg.rfind("--", 0) != 0) {
            if (!historyGroupBlocks(arg, mask, obd))
                return usageError("history", "unknown group " + escapeControls(arg)
                                      + " (base, advanced, map, curves, corrections, sensors, obd)");
        } else if (idText.empty()) {
            idText = arg;
        } else {
            return usageError("history", "unexpected argument " + escapeControls(arg));
        }
    }
    if (idText.empty())
        return usageError("history", "restore takes a point number");
    if (only && mask == 0 && !obd)
        return usageError("history", "--only needs at least one group");
    if (!only) {
        for (const auto& g : historyGroups())
            historyGroupBlocks(g.name, mask, obd);
    }
    const CHistoryStore* store = openStore();
    CHistoryPoint point;
    CHistoryContent content;
    if (!store || !loadPoint(*store, idText, point, content))
        return kExitFailed;
    try {
        CLPGDevice device(*context.ports);
        if (const int code = connectDevice(context, demo, device))
            return code;
        const CDevInfo& d = device.liveImage().m_devInfo;
        // The blocks' encodings depend on the model and the firmware version.
        std::string other;
        if (toUtf8(d.m_serial) != point.serial)
            other = "serial " + escapeControls(point.serial) + ", this controller " + escapeControls(toUtf8(d.m_serial));
        else if (toUtf8(d.m_modelName) != point.model)
            other = "model " + escapeControls(point.model) + ", this controller " + escapeControls(toUtf8(d.m_modelName));
        else if (d.m_version != point.version)
            other = "version " + versionText(point.version) + ", this controller " + versionText(d.m_version);
        if (!other.empty() && !force)
            return failed("point " + idText + " is of another controller (" + other + "); --force restores it anyway");
        CHistoryContent selected = content;
        selected.blocks = content.blocks & (mask | CReadBlocks::DevInfo);
        if (!obd) {
            selected.obdSettings.reset();
            selected.obdConfig.reset();
        }
        const auto changes = historyDifferences(heldContent(device), selected);
        if (changes.empty()) {
            std::cout << "the controller holds point " << idText << " already\n";
            return kExitOk;
        }
        std::cout << "what changes (key, now, point " << idText << "):\n";
        printDifferences(changes);
        if (!yes)
            return usageError("history", "restoring changes the controller: give --yes");
        const CWriteReport report = restoreHistoryContent(device, content, mask, obd);
        if (!report.ok())
            return writeFailed(report, device);
        std::cout << "restored point " << idText << "\n";
        return kExitOk;
    } catch (IError* e) {
        CErrorGuard error(e);
        return failed(error);
    }
}

int exportPoint(const std::vector<std::string>& args)
{
    if (args.size() != 2)
        return usageError("history", "export takes a point number and a file");
    const CHistoryStore* store = openStore();
    CHistoryPoint point;
    CHistoryContent content;
    if (!store || !loadPoint(*store, args[0], point, content))
        return kExitFailed;
    const uint32_t missing = CReadBlocks::kSettingsFile & ~content.blocks;
    if (missing)
        return failed("point " + args[0] + " lacks what a settings file carries: "
            + toUtf8(CReadBlocks().missingNames(missing)));
    if (!writeSettings(args[1], content.image))
        return failed("cannot write the settings file: " + escapeControls(args[1]));
    return kExitOk;
}

int note(const std::vector<std::string>& args)
{
    if (args.size() != 2)
        return usageError("history", "note takes a point number and a text");
    CHistoryRecorder* recorder = CHistoryRecorder::installed();
    CHistoryStore* store = openStore();
    int64_t id = 0;
    if (!store)
        return kExitFailed;
    if (!parseId(args[0], id))
        return failed("not a point number: " + escapeControls(args[0]));
    if (!store->writable())
        return failed(toUtf8(recorder->problemText()));
    if (!store->setNote(id, args[1]))
        return failed("no point " + args[0] + " in " + store->path());
    return kExitOk;
}

} // namespace

int cmdHistory(const CliContext& context)
{
    std::vector<std::string> args = context.args;
    if (args.empty() || args[0].rfind("--", 0) == 0)
        return list(args);
    const std::string sub = args[0];
    args.erase(args.begin());
    if (sub == "show")
        return show(args);
    if (sub == "diff")
        return diff(context, args);
    if (sub == "restore")
        return restore(context, args);
    if (sub == "export")
        return exportPoint(args);
    if (sub == "note")
        return note(args);
    return usageError("history", "unknown subcommand " + escapeControls(sub));
}
