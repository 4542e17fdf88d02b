// SPDX-License-Identifier: GPL-3.0-or-later
// The working-time texts and the inspection countdown as "Info" shows them.
// The controller counts both fuels in half-seconds; the inspection deadline
// is an LPG count in the same unit, reckoned at 50 km per LPG hour.
#pragma once

#include <app/data/settingsimage.h>

#include <cstdint>
#include <optional>
#include <string>

// "%4d h: %02d min" of a counter in half-seconds.
std::wstring workingTimeText(uint32_t halfSeconds);
// Kilometres left to the inspection (0 once due), or nothing while the reminder is off.
std::optional<int64_t> kmToInspection(const CSettingsImage& image);
// The deadline for an inspection in km kilometres from the current LPG count, in half-seconds.
uint32_t inspectionDeadline(uint32_t lpgHalfSeconds, int km);
