// SPDX-License-Identifier: GPL-3.0-or-later
// Single settings from the command line, with the settings pages' rules:
// get KEY, set KEY VALUE …, and diff of a settings file with the controller
// or with another file. A value is checked against the pages' range (with the
// paired limits taken from the image as it will be) before anything is sent.
#include "cli.h"
#include "cli_connect.h"

#include <app/data/translate.h>
#include <app/data/settingfields.h>
#include <app/data/settingsfile.h>
#include <app/data/settingsio.h>
#include <app/device/lpgdevice.h>
#include <app/device/settingblocks.h>
#include <app/device/settingwriter.h>
#include <app/device/writesession.h>
#include <app/data/settingsdiff.h>
#include <app/platform/consoleinteraction.h>
#include <app/platform/textcodec.h>
#include <app/platform/userinteraction.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <iostream>
#include <map>

namespace {

std::wstring widen(const std::string& s)
{
    return fromUtf8(s);
}

// The pages' text with the unit, for a field of the table.
std::string shown(const CSettingField& f, const CSettingsImage& image)
{
    std::wstring text = CSettingsTable::text(f, image);
    if (f.kind == SettingKind::Spin && *f.unit)
        text += L" " + std::wstring(f.unit);
    return toUtf8(text);
}

uint8_t changedBlocks(const std::vector<std::pair<const CSettingField*, double>>& changes)
{
    uint8_t blocks = 0;
    for (const auto& change : changes)
        blocks |= change.first->blocks;
    return blocks;
}

} // namespace

int cmdGet(const CliContext& context)
{
    std::vector<std::string> args = context.args;
    const bool demo = takeDemoOption(args);
    if (args.size() != 1)
        return usageError("get", "one key expected");
    const std::string& key = args[0];
    CSettingsImage defaults;
    bool known = CSettingsTable::find(key) != nullptr;
    for (const auto& [k, v] : settingsLines(defaults))
        known = known || toUtf8(k) == key;
    if (!known)
        return failed("unknown key " + key);
    try {
        CLPGDevice device(*context.ports);
        if (const int code = connectDevice(context, demo, device))
            return code;
        // A block that was not read holds defaults or another car's values: never shown as this car's.
        const CSettingField* field = CSettingsTable::find(key);
        if (const int code
            = requireRead(device, field ? CSettingWriter::imageBlocks(field->blocks) : blockOfKey(key)))
            return code;
        if (field) {
            std::cout << shown(*field, device.liveImage()) << "\n";
            return kExitOk;
        }
        for (const auto& [k, v] : shownSettings(device.liveImage())) {
            if (k == key) {
                std::cout << v << "\n";
                return kExitOk;
            }
        }
        return failed("unknown key " + key);
    } catch (IError* e) {
        CErrorGuard error(e);
        return failed(error);
    }
}

int cmdSet(const CliContext& context)
{
    std::vector<std::string> args = context.args;
    const bool demo = takeDemoOption(args);
    if (args.empty() || args.size() % 2 != 0)
        return usageError("set", "KEY VALUE pairs expected");
    // Keys and the form of the values first: nothing is connected for a typing error.
    std::vector<std::pair<const CSettingField*, double>> changes;
    for (std::size_t i = 0; i < args.size(); i += 2) {
        const CSettingField* f = CSettingsTable::find(args[i]);
        if (!f)
            return failed("unknown key " + args[i] + " (not a setting of the settings pages); nothing written");
        // Only one of two values could be written: which one was meant is the user's to say.
        for (const auto& change : changes)
            if (change.first == f)
                return failed(args[i] + " is given twice; nothing written");
        double value = 0;
        if (!CSettingsTable::parse(*f, widen(args[i + 1]), value))
            return failed(args[i] + ": \"" + args[i + 1] + "\" is not a value; allowed: "
                          + toUtf8(CSettingsTable::rangeText(*f, CSettingsImage())) + "; nothing written");
        changes.emplace_back(f, value);
    }
    CConsoleInteraction console(false);
    CInteractionScope scope(console);
    try {
        CLPGDevice device(*context.ports);
        if (const int code = connectDevice(context, demo, device))
            return code;
        if (const int code = requireRead(device, CSettingWriter::imageBlocks(changedBlocks(changes))))
            return code;
        // Every value is checked in the image as it will be, so paired limits may move together.
        CSettingsImage next = device.liveImage();
        for (const auto& [f, value] : changes)
            CSettingsTable::setValue(*f, next, value);
        for (const auto& [f, value] : changes) {
            if (!CSettingsTable::allows(*f, next, value)) {
                // A paired limit may leave no room at all: then the range names what it conflicts with.
                const char* why = f->kind != SettingKind::Spin               ? " is not one of "
                    : CSettingsTable::pairedConflict(*f, next).has_value() ? " is not allowed: "
                                                                             : " is outside ";
                return failed(f->cliKey() + ": " + toUtf8(CSettingsTable::formatValue(*f, value)) + why
                              + toUtf8(CSettingsTable::rangeText(*f, next)) + "; nothing written");
            }
        }
        // The divider edit is locked while the source (as it will be) is the injectors or the crankshaft.
        const auto isDivider = [](const CSettingField* f) {
            return std::string(f->key) == "m_base.m_sparkDivider" && f->special == SettingSpecial::None;
        };
        CSettingsImage source = device.liveImage();
        for (const auto& [f, value] : changes)
            if (!isDivider(f))
                CSettingsTable::setValue(*f, source, value);
        for (const auto& [f, value] : changes) {
            if (isDivider(f) && CSettingsTable::dividerLocked(source))
                return failed(f->cliKey() + " is set by the engine-speed signal source (m_base.m_sparkDivider:source) "
                              "while the signal comes from the injectors or the crankshaft; nothing written");
        }
        // Nothing to change only when the controller holds exactly what would be written.
        uint8_t blocks = 0;
        bool restart = false;
        for (const auto& [f, value] : changes) {
            const uint32_t mask = CSettingWriter::imageBlocks(f->blocks);
            bool same = true;
            for (auto block : blocksOf(mask))
                same = same && blockBytes(block, next) == blockBytes(block, device.heldImage());
            if (same)
                continue;
            blocks |= f->blocks;
            restart = restart || f->restart;
        }
        if (blocks == 0) {
            std::cout << "nothing to change\n";
            return kExitOk;
        }
        device.liveImage() = next;
        const CSettingWriter::Outcome outcome = CSettingWriter::write(device, blocks, restart, true);
        if (!outcome.ok())
            return writeFailed(outcome.report, device);
        // What the controller holds, as read back.
        for (const auto& [f, value] : changes)
            std::cout << f->cliKey() << "\t" << shown(*f, device.heldImage()) << "\n";
        return kExitOk;
    } catch (IError* e) {
        CErrorGuard error(e);
        return failed(error);
    }
}

int cmdDiff(const CliContext& context)
{
    std::vector<std::string> args = context.args;
    const bool demo = takeDemoOption(args);
    if (args.empty() || args.size() > 2)
        return usageError("diff", "one or two settings files expected");
    CSettingsImage a;
    if (!readSettingsForComparison(args[0], a))
        return settingsReadFailed(args[0]);
    CSettingsImage b;
    const bool withController = args.size() == 1;
    try {
        if (withController) {
            CLPGDevice device(*context.ports);
            if (const int code = connectDevice(context, demo, device))
                return code;
            b = device.liveImage();
        } else if (!readSettingsForComparison(args[1], b)) {
            return settingsReadFailed(args[1]);
        }
    } catch (IError* e) {
        CErrorGuard error(e);
        return failed(error);
    }
    const auto differences = compareSettings(a, b, withController);
    for (const auto& d : differences)
        std::cout << d.key << "\t" << escapeControls(d.a) << "\t" << escapeControls(d.b) << "\n";
    return differences.empty() ? kExitOk : kExitFailed;
}
