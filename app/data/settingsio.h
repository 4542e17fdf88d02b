// The settings-file writer and reader: a whole settings image as the 449
// "key TAB value" lines of a .settings file.
#pragma once

#include <app/data/settingsimage.h>

#include <string>
#include <utility>
#include <vector>

// The 449 lines of a settings file in their order: key and value text.
std::vector<std::pair<std::wstring, std::wstring>> settingsLines(const CSettingsImage& image);

// Writes every line into a temporary file and replaces path only when all of
// them were written whole; false when the file cannot be written.
bool writeSettings(const std::string& path, const CSettingsImage& image);

// Reads path into image. False when the file cannot be opened or a required
// key is missing; the members read before the missing key keep their new values,
// so callers read into a separate image.
bool readSettings(const std::string& path, CSettingsImage& image);
