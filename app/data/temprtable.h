// SPDX-License-Identifier: GPL-3.0-or-later
// The temperature characteristics of the four sensor types: sensor byte
// (0 … 255) to whole °C. Every column falls as the byte rises.
#pragma once

#include <cstdint>

// Columns, by sensor code: 0 = 10 kΩ, 1 = 6.8 kΩ, 2 = 4.7 kΩ, 3 = 2.2 kΩ.
constexpr int kTemprColumns = 4;

// The entry of byte in column; a column outside 0 … 3 (a code the controller
// or a file may hold) reads column 0 rather than memory past the table.
int temprTableEntry(uint8_t byte, int column);
