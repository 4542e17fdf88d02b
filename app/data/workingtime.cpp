// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/workingtime.h>

#include <cstdio>

namespace {

int64_t hoursOf(uint32_t halfSeconds)
{
    return static_cast<int64_t>(halfSeconds) / 2 / 3600;
}

} // namespace

std::wstring workingTimeText(uint32_t halfSeconds)
{
    const int64_t seconds = static_cast<int64_t>(halfSeconds) / 2;
    const int64_t minutes = seconds / 60;
    const int64_t hours = minutes / 60;
    wchar_t text[48];
    std::swprintf(text, 48, L"%4d h: %02d min", static_cast<int>(hours), static_cast<int>(minutes - 60 * hours));
    return text;
}

std::optional<int64_t> kmToInspection(const CSettingsImage& image)
{
    if (!(image.m_advancedSetup.m_advancedFlags & kAdvInspectionReminder))
        return std::nullopt;
    const int64_t now = hoursOf(image.m_devInfo.m_statistic.lpg);
    const int64_t due = hoursOf(image.m_advancedSetup.m_inspectionCounter);
    return (due < now ? 0 : due - now) * 50;
}

uint32_t inspectionDeadline(uint32_t lpgHalfSeconds, int km)
{
    return static_cast<uint32_t>((hoursOf(lpgHalfSeconds) + km / 50) * 3600 * 2);
}
