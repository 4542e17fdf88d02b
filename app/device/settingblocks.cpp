// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/settingblocks.h>

#include <app/data/settingfields.h>
#include <app/data/blockcodec.h>
#include <app/device/lpgdevice.h>
#include <app/device/mappage.h>

#include <algorithm>

namespace {

const CSettingBlock kBlocks[] = {
    { CReadBlocks::DevInfo, ImageBlock::DevInfo },
    { CReadBlocks::SensorsSetup, ImageBlock::SensorsSetup },
    { CReadBlocks::Base, ImageBlock::Base },
    { CReadBlocks::Adv, ImageBlock::Adv },
    { CReadBlocks::MainCorr, ImageBlock::MainCorr },
    { CReadBlocks::SetupTimes1, ImageBlock::SetupTimes1 },
    { CReadBlocks::SetupTimes2, ImageBlock::SetupTimes2 },
    { CReadBlocks::InjMap, ImageBlock::InjMap },
    { CReadBlocks::AdvancedSetup, ImageBlock::AdvancedSetup },
    { CReadBlocks::PressCorr, ImageBlock::PressCorr },
    { CReadBlocks::AutomapSchedule, ImageBlock::AutomapSchedule },
    { CReadBlocks::MapAxes, ImageBlock::MapAxes },
};

template <std::size_t N> std::vector<uint8_t> bytes(const std::array<uint8_t, N>& record)
{
    return { record.begin(), record.end() };
}

} // namespace

const CSettingBlock& settingBlock(CReadBlocks::Block block)
{
    for (const auto& b : kBlocks)
        if (b.block == block)
            return b;
    return kBlocks[0];
}

std::vector<CReadBlocks::Block> blocksOf(uint32_t mask)
{
    std::vector<CReadBlocks::Block> blocks;
    for (uint32_t bit = 1; bit & CReadBlocks::kAll; bit <<= 1)
        if (mask & bit)
            blocks.push_back(static_cast<CReadBlocks::Block>(bit));
    return blocks;
}

void copyBlock(CReadBlocks::Block block, const CSettingsImage& from, CSettingsImage& to)
{
    switch (block) {
    case CReadBlocks::DevInfo: to.m_devInfo = from.m_devInfo; break;
    case CReadBlocks::SensorsSetup: {
        // The pressure table travels in a record of its own.
        const auto press = to.m_sensorsSetup.m_pressCorr;
        to.m_sensorsSetup = from.m_sensorsSetup;
        to.m_sensorsSetup.m_pressCorr = press;
        break;
    }
    case CReadBlocks::Base: to.m_base = from.m_base; break;
    case CReadBlocks::Adv: to.m_adv = from.m_adv; break;
    case CReadBlocks::MainCorr: to.m_mainCorr = from.m_mainCorr; break;
    case CReadBlocks::SetupTimes1: to.m_setupTimes1 = from.m_setupTimes1; break;
    case CReadBlocks::SetupTimes2:
        to.m_setupTimes2 = from.m_setupTimes2;
        to.m_tableMask = from.m_tableMask;
        break;
    case CReadBlocks::InjMap:
        to.m_corrMap.m_injMapTable = from.m_corrMap.m_injMapTable;
        to.m_corrMap.m_flags = from.m_corrMap.m_flags;
        break;
    case CReadBlocks::AdvancedSetup: to.m_advancedSetup = from.m_advancedSetup; break;
    case CReadBlocks::PressCorr: to.m_sensorsSetup.m_pressCorr = from.m_sensorsSetup.m_pressCorr; break;
    case CReadBlocks::AutomapSchedule:
        to.m_automapMode = from.m_automapMode;
        to.m_automapKm = from.m_automapKm;
        to.m_automapDue = from.m_automapDue;
        break;
    case CReadBlocks::MapAxes:
        to.m_corrMap.m_injTimeAxis = from.m_corrMap.m_injTimeAxis;
        to.m_corrMap.m_rpmAxis = from.m_corrMap.m_rpmAxis;
        break;
    }
}

std::vector<uint8_t> blockBytes(CReadBlocks::Block block, const CSettingsImage& image)
{
    if (block == CReadBlocks::InjMap)
        return bytes(encodeInjMapArea(image));
    const CBlockRecord* record = blockRecord(block);
    return record ? record->encode(image) : std::vector<uint8_t> {};
}

bool decodeBlockBytes(CReadBlocks::Block block, const std::vector<uint8_t>& bytes, CSettingsImage& image)
{
    CSettingsImage scratch = image;
    if (block == CReadBlocks::InjMap) {
        InjMapArea area {};
        if (bytes.size() != area.size())
            return false;
        std::copy(bytes.begin(), bytes.end(), area.begin());
        if (!decodeInjMapArea(area, scratch))
            return false;
    } else {
        const CBlockRecord* record = blockRecord(block);
        if (!record || bytes.size() != record->length)
            return false;
        record->decode(bytes, scratch);
    }
    copyBlock(block, scratch, image);
    return true;
}

bool sameBlock(CReadBlocks::Block block, const CSettingsImage& a, const CSettingsImage& b)
{
    CSettingsImage merged = a;
    copyBlock(block, b, merged);
    return merged == a;
}

uint32_t blockOfKey(const std::string& key)
{
    // Longest prefixes first: "m_adv." is not "m_advancedSetup.".
    static const std::pair<const char*, uint32_t> kPrefixes[] = {
        { "m_sensorsSetup.m_pressCorr", CReadBlocks::PressCorr },
        { "m_sensorsSetup", CReadBlocks::SensorsSetup },
        { "m_corrMap.m_injTimeAxis", CReadBlocks::MapAxes },
        { "m_corrMap.m_rpmAxis", CReadBlocks::MapAxes },
        { "m_corrMap", CReadBlocks::InjMap },
        { "m_injMapTable", CReadBlocks::InjMap },
        { "m_advancedSetup", CReadBlocks::AdvancedSetup },
        { "m_adv.", CReadBlocks::Adv },
        { "m_base", CReadBlocks::Base },
        { "m_mainCorr", CReadBlocks::MainCorr },
        { "m_setupTimes1", CReadBlocks::SetupTimes1 },
        { "m_setupTimes2", CReadBlocks::SetupTimes2 },
        { "m_tableMask", CReadBlocks::SetupTimes2 },
        { "m_devInfo", CReadBlocks::DevInfo },
        { "m_automap", CReadBlocks::AutomapSchedule },
    };
    for (const auto& [prefix, block] : kPrefixes)
        if (key.rfind(prefix, 0) == 0)
            return block;
    return 0;
}

uint32_t unreadBlocks(const CLPGDevice& device, uint32_t mask)
{
    return device.m_connected ? mask & ~device.readBlocks().held() : 0;
}

uint32_t shownBlocksOf(const CSettingField& field)
{
    // The engine-speed source is the divider and a bit of the advanced setup.
    if (field.special == SettingSpecial::RpmSource)
        return CReadBlocks::Base | CReadBlocks::AdvancedSetup;
    return blockOfKey(field.key);
}

uint32_t writtenBlocksOf(const CSettingField& field)
{
    uint32_t blocks = 0;
    if (field.blocks & kBlockBase)
        blocks |= CReadBlocks::Base;
    if (field.blocks & kBlockAdv)
        blocks |= CReadBlocks::Adv;
    if (field.blocks & kBlockAdvancedSetup)
        blocks |= CReadBlocks::AdvancedSetup;
    if (field.blocks & kBlockSensorsSetup)
        blocks |= CReadBlocks::SensorsSetup;
    return blocks;
}
