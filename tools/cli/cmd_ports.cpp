// korvana-cli ports: one line per present port, "COMn<TAB>path<TAB>description".
#include "cli.h"

#include <app/platform/porttable.h>

#include <iostream>

int cmdPorts(const CliContext& context)
{
    if (!context.args.empty())
        return usageError("ports", "ports takes no arguments");
    if (!context.port.empty()) {
        std::string message;
        if (!resolvePort(context.port, message))
            return usageError("ports", message);
    }
    for (const auto& p : portTable().presentPorts())
        std::cout << "COM" << p.number << '\t' << p.path << '\t' << p.description << '\n';
    return kExitOk;
}
