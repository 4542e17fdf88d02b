// Single settings from the command line, with the settings pages' rules:
// get KEY, set KEY VALUE …, and diff of a settings file with the controller
// or with another file. A value is checked against the pages' range (with the
// paired limits taken from the image as it will be) before anything is sent.
#include "cli.h"
#include "cli_connect.h"

#include <app/data/settingfields.h>
#include <app/data/settingsfile.h>
#include <app/data/settingsio.h>
#include <app/device/lpgdevice.h>
#include <app/device/settingwriter.h>
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

// Every key of the settings file with its value as the pages show it where
// the table knows the key, else as the file writes it.
std::vector<std::pair<std::string, std::string>> shownLines(const CSettingsImage& image)
{
    std::vector<std::pair<std::string, std::string>> lines;
    for (const auto& [key, value] : settingsLines(image)) {
        const std::string k = toUtf8(key);
        const CSettingField* f = CSettingsTable::find(k);
        lines.emplace_back(k, f ? shown(*f, image) : toUtf8(value));
    }
    return lines;
}

// A settings file as it stands, for comparing: the reader leaves four keys of
// the advanced setup to the live image, but a file that carries them says what they were.
bool readForComparison(const std::string& path, CSettingsImage& image)
{
    if (!readSettings(path, image))
        return false;
    CSettingsFile file;
    if (!file.open(path, false))
        return false;
    auto& a = image.m_advancedSetup;
    double v = 0;
    if (file.readDouble(L"m_advancedSetup.m_maxLoadTime", v))
        a.m_maxLoadTime = v;
    if (file.readDouble(L"m_advancedSetup.m_minLpgTempr", v))
        a.m_minLpgTempr = v;
    if (file.readDouble(L"m_advancedSetup.m_advancedFlags2", v))
        a.m_advancedFlags2 = static_cast<uint8_t>(static_cast<int64_t>(v));
    if (file.readDouble(L"m_advancedSetup.m_advancedFlags3", v))
        a.m_advancedFlags3 = static_cast<uint16_t>(static_cast<int64_t>(v));
    return true;
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
        CLPGDevice device;
        if (const int code = connectDevice(context, demo, device))
            return code;
        if (const CSettingField* f = CSettingsTable::find(key)) {
            std::cout << shown(*f, device.image()) << "\n";
            return kExitOk;
        }
        for (const auto& [k, v] : shownLines(device.image())) {
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
        double value = 0;
        if (!CSettingsTable::parse(*f, widen(args[i + 1]), value))
            return failed(args[i] + ": \"" + args[i + 1] + "\" is not a value; allowed: "
                          + toUtf8(CSettingsTable::rangeText(*f, CSettingsImage())) + "; nothing written");
        changes.emplace_back(f, value);
    }
    CConsoleInteraction console(false);
    CInteractionScope scope(console);
    try {
        CLPGDevice device;
        if (const int code = connectDevice(context, demo, device))
            return code;
        // Every value is checked in the image as it will be, so paired limits may move together.
        CSettingsImage next = device.image();
        for (const auto& [f, value] : changes)
            CSettingsTable::setValue(*f, next, value);
        for (const auto& [f, value] : changes) {
            if (!CSettingsTable::allows(*f, next, value))
                return failed(f->cliKey() + ": " + toUtf8(CSettingsTable::formatValue(*f, value))
                              + (f->kind == SettingKind::Spin ? " is outside " : " is not one of ")
                              + toUtf8(CSettingsTable::rangeText(*f, next)) + "; nothing written");
        }
        // The divider edit is locked while the source (as it will be) is the injectors or the crankshaft.
        const auto isDivider = [](const CSettingField* f) {
            return std::string(f->key) == "m_base.m_sparkDivider" && f->special == SettingSpecial::None;
        };
        CSettingsImage source = device.image();
        for (const auto& [f, value] : changes)
            if (!isDivider(f))
                CSettingsTable::setValue(*f, source, value);
        for (const auto& [f, value] : changes) {
            if (isDivider(f) && CSettingsTable::dividerLocked(source))
                return failed(f->cliKey() + " is set by the engine-speed signal source (m_base.m_sparkDivider:source) "
                              "while the signal comes from the injectors or the crankshaft; nothing written");
        }
        uint8_t blocks = 0;
        bool restart = false;
        for (const auto& [f, value] : changes) {
            if (CSettingsTable::value(*f, next) == CSettingsTable::value(*f, device.image()))
                continue;
            blocks |= f->blocks;
            restart = restart || f->restart;
        }
        if (blocks == 0) {
            std::cout << "nothing to change\n";
            return kExitOk;
        }
        device.image() = next;
        const CSettingWriter::Outcome outcome = CSettingWriter::write(device, blocks, restart, true);
        if (!outcome.ok())
            return failed(CSettingWriter::describe(outcome));
        for (const auto& [f, value] : changes)
            std::cout << f->cliKey() << "\t" << shown(*f, device.image()) << "\n";
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
    if (!readForComparison(args[0], a))
        return failed("Nie można wczytać ustawień z pliku: " + args[0]);
    CSettingsImage b;
    const bool withController = args.size() == 1;
    try {
        if (withController) {
            CLPGDevice device;
            if (const int code = connectDevice(context, demo, device))
                return code;
            b = device.image();
        } else if (!readForComparison(args[1], b)) {
            return failed("Nie można wczytać ustawień z pliku: " + args[1]);
        }
    } catch (IError* e) {
        CErrorGuard error(e);
        return failed(error);
    }
    const auto linesA = settingsLines(a);
    const auto linesB = settingsLines(b);
    const auto shownA = shownLines(a);
    const auto shownB = shownLines(b);
    int differences = 0;
    for (std::size_t i = 0; i < linesA.size() && i < linesB.size(); ++i) {
        const std::string key = shownA[i].first;
        // The save time never compares; the identity, its counters and the car
        // description are no settings the controller holds.
        if (key == "m_timeStamp")
            continue;
        if (withController && (key.rfind("m_devInfo.", 0) == 0 || key.rfind("m_carInfo.", 0) == 0))
            continue;
        if (linesA[i].second == linesB[i].second)
            continue;
        std::cout << key << "\t" << shownA[i].second << "\t" << shownB[i].second << "\n";
        ++differences;
    }
    return differences == 0 ? kExitOk : kExitFailed;
}
