// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli ports: one line per present port, "COMn<TAB>path<TAB>description".
// What stands in the way of a port (permission, another program holding it,
// no adapter at all) goes to stderr, so the listing stays easy to parse.
#include "cli.h"

#include <app/platform/iporttable.h>
#include <app/platform/serialdiagnosis.h>

#include <iostream>

int cmdPorts(const CliContext& context)
{
    if (!context.args.empty())
        return usageError("ports", "ports takes no arguments");
    if (!context.port.empty()) {
        std::string message;
        if (!resolvePort(*context.ports, context.port, message))
            return usageError("ports", message);
    }
    const auto present = context.ports->presentPorts();
    for (const auto& p : present)
        std::cout << "COM" << p.number << '\t' << p.path << '\t' << p.description << '\n';
    std::cout.flush();
    for (const auto& p : present) {
        for (const auto& line : CSerialDiagnosis::advice(context.diagnosis->probe(p.path)))
            std::cerr << "COM" << p.number << ": " << line << '\n';
    }
    if (!CSerialDiagnosis::hasUsbSerialAdapter(present))
        std::cerr << CSerialDiagnosis::noAdapterAdvice() << '\n';
    return kExitOk;
}
