// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/readblocks.h>

const wchar_t* CReadBlocks::name(Block block)
{
    switch (block) {
    case DevInfo:
        return L"m_devInfo";
    case SensorsSetup:
        return L"m_sensorsSetup";
    case Base:
        return L"m_base";
    case Adv:
        return L"m_adv";
    case MainCorr:
        return L"m_mainCorr";
    case SetupTimes1:
        return L"m_setupTimes1";
    case SetupTimes2:
        return L"m_setupTimes2";
    case InjMap:
        return L"m_injMapTable";
    case AdvancedSetup:
        return L"m_advancedSetup";
    case PressCorr:
        return L"m_pressCorr";
    case AutomapSchedule:
        return L"m_automapMode";
    case MapAxes:
        return L"m_injTimeAxis/m_rpmAxis";
    }
    return L"?";
}

std::wstring CReadBlocks::missingNames(uint32_t required) const
{
    std::wstring names;
    for (uint32_t bit = 1; bit & kAll; bit <<= 1) {
        if (!(required & bit) || (m_held & bit))
            continue;
        if (!names.empty())
            names += L", ";
        names += name(static_cast<Block>(bit));
    }
    return names;
}
