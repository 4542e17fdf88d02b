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
    switch (block) {
    case CReadBlocks::DevInfo: return {};
    case CReadBlocks::SensorsSetup: return bytes(encodeSensorsSetup(image));
    case CReadBlocks::Base: return bytes(encodeBase(image));
    case CReadBlocks::Adv: return bytes(encodeAdv(image));
    case CReadBlocks::MainCorr: return bytes(encodeMainCorr(image));
    case CReadBlocks::SetupTimes1: return bytes(encodeSetupTimes1(image));
    case CReadBlocks::SetupTimes2: return bytes(encodeSetupTimes2(image));
    case CReadBlocks::InjMap: return bytes(encodeInjMapArea(image));
    case CReadBlocks::AdvancedSetup: return bytes(encodeAdvancedSetup(image));
    case CReadBlocks::PressCorr: return bytes(encodePressCorr(image));
    case CReadBlocks::AutomapSchedule: return bytes(encodeAutomapSchedule(image));
    case CReadBlocks::MapAxes: return bytes(encodeMapAxes(image));
    }
    return {};
}

namespace {

template <std::size_t N, typename Decode>
bool decodeAs(const std::vector<uint8_t>& bytes, CSettingsImage& image, Decode decode)
{
    if (bytes.size() != N)
        return false;
    decode(RecordView<N>(bytes.data(), N), image);
    return true;
}

} // namespace

bool decodeBlockBytes(CReadBlocks::Block block, const std::vector<uint8_t>& bytes, CSettingsImage& image)
{
    CSettingsImage scratch = image;
    bool ok = false;
    switch (block) {
    case CReadBlocks::DevInfo: return false;
    case CReadBlocks::SensorsSetup: ok = decodeAs<kSensorsSetupLength>(bytes, scratch, decodeSensorsSetup); break;
    case CReadBlocks::Base: ok = decodeAs<kBaseLength>(bytes, scratch, decodeBase); break;
    case CReadBlocks::Adv: ok = decodeAs<kAdvLength>(bytes, scratch, decodeAdv); break;
    case CReadBlocks::MainCorr: ok = decodeAs<kMainCorrLength>(bytes, scratch, decodeMainCorr); break;
    case CReadBlocks::SetupTimes1: ok = decodeAs<kSetupTimesLength>(bytes, scratch, decodeSetupTimes1); break;
    case CReadBlocks::SetupTimes2: ok = decodeAs<kSetupTimesLength>(bytes, scratch, decodeSetupTimes2); break;
    case CReadBlocks::InjMap: {
        InjMapArea area {};
        if (bytes.size() != area.size())
            return false;
        std::copy(bytes.begin(), bytes.end(), area.begin());
        ok = decodeInjMapArea(area, scratch);
        break;
    }
    case CReadBlocks::AdvancedSetup: ok = decodeAs<kAdvancedSetupLength>(bytes, scratch, decodeAdvancedSetup); break;
    case CReadBlocks::PressCorr: ok = decodeAs<kPressCorrLength>(bytes, scratch, decodePressCorr); break;
    case CReadBlocks::AutomapSchedule:
        ok = decodeAs<kAutomapScheduleLength>(bytes, scratch, decodeAutomapSchedule);
        break;
    case CReadBlocks::MapAxes: ok = decodeAs<kMapAxesLength>(bytes, scratch, decodeMapAxes); break;
    }
    if (ok)
        copyBlock(block, scratch, image);
    return ok;
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
