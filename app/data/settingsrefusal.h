// SPDX-License-Identifier: GPL-3.0-or-later
// Why a settings file was refused before a line of it was read (it is no
// regular file, or larger than the settings file's limit), in the user's
// language, for the message that says it could not be loaded.
#pragma once

#include <string>

// "\n" and the reason, the size limit named ("… 1 MB."); empty when the file
// was not refused for what it is or its size (it then failed otherwise).
std::wstring settingsRefusalText(const std::string& path);
