// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/platform/buildinfo.h>

#include <buildinfo_values.h>

const char* const kLicenceLine
    = "korvana is free software under the GNU General Public License, version 3 or later; see --version.\n";

const char* korvanaVersion()
{
    return KORVANA_BUILD_VERSION;
}

const char* korvanaCommit()
{
    return KORVANA_BUILD_COMMIT;
}

std::string versionText(std::string_view program)
{
    std::string text(program);
    text += " " KORVANA_BUILD_VERSION " (commit " KORVANA_BUILD_COMMIT ")\n"
            "Copyright (C) 2026 The korvana developers\n"
            "License GPL-3.0-or-later: GNU General Public License, version 3 or later\n"
            "<https://www.gnu.org/licenses/gpl-3.0.html>.\n"
            "This is free software: you are free to change and redistribute it.\n"
            "There is NO WARRANTY, to the extent permitted by law.\n";
    return text;
}
