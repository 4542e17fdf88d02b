// SPDX-License-Identifier: GPL-3.0-or-later
// The controller kept between runs (--state FILE): identity, bootloader mode,
// settings records, EEPROM, counters, error bits, the car's trouble codes and
// the programmed flash rows, as a line-based text file written atomically.
#pragma once

#include <string>

class CController;

// Writes FILE.tmp and renames it over FILE. False with error set on failure.
bool saveState(const std::string& path, CController& controller, std::string& error);
// Replaces the controller's memory with the file's. False with error set (and
// the controller possibly half loaded) for an unreadable or malformed file.
bool loadState(const std::string& path, CController& controller, std::string& error);

// Hex text of bytes and back (two digits per byte, no separators).
std::string toHex(const unsigned char* data, std::size_t count);
bool fromHex(const std::string& text, std::string& bytes);
