// SPDX-License-Identifier: GPL-3.0-or-later
// Settings files from the command line: backup of the controller into a file,
// restore of a file into the controller, factory reset, and the offline dump.
#include "cli.h"
#include "cli_connect.h"

#include <app/device/writesession.h>

#include <app/data/translate.h>
#include <app/data/settingsio.h>
#include <app/tuning/docoperations.h>
#include <app/device/lpgdevice.h>
#include <app/tuning/settingscheck.h>
#include <app/platform/consoleinteraction.h>
#include <app/platform/textcodec.h>
#include <app/platform/userinteraction.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <algorithm>
#include <iostream>

namespace {

// Connects, then runs one document operation with questions answered as --yes says.
int withDocument(const CliContext& context, std::vector<std::string>& args, bool demo, bool yes,
                 bool (*operation)(CDocOperations&, const std::vector<std::string>&))
{
    CConsoleInteraction console(yes);
    CInteractionScope scope(console);
    int status = kExitFailed;
    try {
        CLPGDevice device(*context.ports);
        status = connectDevice(context, demo, device);
        if (status == kExitOk) {
            CDocOperations ops(device);
            if (operation(ops, args))
                status = kExitOk;
            else if (ops.lastReport().ok())
                status = kExitFailed; // refused before anything was sent
            else
                status = leftChangedExit(ops.lastReport(), device);
        }
    } catch (IError* e) {
        CErrorGuard error(e);
        status = failed(error);
    }
    return status;
}

} // namespace

int cmdBackup(const CliContext& context)
{
    std::vector<std::string> args = context.args;
    const bool demo = takeDemoOption(args);
    if (args.size() != 1)
        return usageError("backup", "one settings file expected");
    return withDocument(context, args, demo, false, [](CDocOperations& ops, const std::vector<std::string>& a) {
        return ops.saveToFile(a[0]);
    });
}

int cmdRestore(const CliContext& context)
{
    std::vector<std::string> args = context.args;
    const bool demo = takeDemoOption(args);
    const bool yes = takeOption(args, "--yes");
    const bool clamp = takeOption(args, "--clamp");
    if (args.size() != 1)
        return usageError("restore", "one settings file expected");
    if (!yes) {
        std::cerr << "korvana-cli: writing " << args[0]
                  << " into the controller replaces its settings; add --yes to go ahead\n";
        return kExitFailed;
    }
    // Values outside the pages' ranges: refused, or with --clamp moved into them.
    if (clamp)
        return withDocument(context, args, demo, true, [](CDocOperations& ops, const std::vector<std::string>& a) {
            return ops.loadIntoController(a[0], CDocOperations::OutOfRange::Clamp);
        });
    return withDocument(context, args, demo, true, [](CDocOperations& ops, const std::vector<std::string>& a) {
        return ops.loadIntoController(a[0], CDocOperations::OutOfRange::Refuse);
    });
}

int cmdFactoryReset(const CliContext& context)
{
    std::vector<std::string> args = context.args;
    const bool demo = takeDemoOption(args);
    const bool yes = takeOption(args, "--yes");
    if (!args.empty())
        return usageError("factory-reset", "no arguments expected besides --yes and --demo");
    // Without --yes the question is answered No, as a fitter would who did not confirm.
    return withDocument(context, args, demo, yes,
                        [](CDocOperations& ops, const std::vector<std::string>&) {
                            return ops.restoreFactorySettings();
                        });
}

int cmdSettingsDump(const CliContext& context)
{
    if (context.args.size() != 1)
        return usageError("settings-dump", "one settings file expected");
    CSettingsImage image;
    CSettingsReadReport report;
    if (!readSettings(context.args[0], image, &report))
        return settingsReadFailed(context.args[0]);
    for (const auto& [key, value] : settingsLines(image))
        std::cout << toUtf8(key) << '\t' << escapeControls(toUtf8(value)) << '\n';
    // The dump shows the file as it loads; what a restore would refuse is said beside it.
    const auto problems = checkLoadedSettings(image, &report);
    if (!problems.empty())
        std::cerr << toUtf8(translate(allClampable(problems)
                                          ? L"Plik zawiera wartości spoza dozwolonego zakresu:"
                                          : L"Plik zawiera wartości, których nie można wpisać do urządzenia:"))
                  << '\n' << toUtf8(describeProblems(problems));
    return kExitOk;
}
