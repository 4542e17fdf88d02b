// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/historyimage.h>

#include <app/data/readblocks.h>
#include <app/data/settingsfile.h>
#include <app/data/settingsio.h>
#include <app/device/lpgdevice.h>
#include <app/device/settingblocks.h>
#include <app/platform/textcodec.h>
#include <app/data/settingsdiff.h>
#include <errkit/utf8.h>

#include <cstdio>
#include <functional>
#include <map>

namespace {

constexpr char kMagic[4] = { 'K', 'V', 'H', '1' };
constexpr uint16_t kTagIdentity = 1;
constexpr uint16_t kTagBlock = 0x100; // + the block's bit number
constexpr uint16_t kTagObdSettings = 0x200;
constexpr uint16_t kTagObdConfig = 0x201;

class Writer {
public:
    void u8(uint8_t v) { m_bytes.push_back(v); }
    void u16(uint16_t v)
    {
        u8(uint8_t(v));
        u8(uint8_t(v >> 8));
    }
    void u32(uint32_t v)
    {
        u16(uint16_t(v));
        u16(uint16_t(v >> 16));
    }
    void bytes(const uint8_t* p, std::size_t n) { m_bytes.insert(m_bytes.end(), p, p + n); }
    void text(const std::wstring& t)
    {
        const std::string utf8 = toUtf8(t);
        u16(uint16_t(std::min<std::size_t>(utf8.size(), 0xFFFF)));
        bytes(reinterpret_cast<const uint8_t*>(utf8.data()), std::min<std::size_t>(utf8.size(), 0xFFFF));
    }
    void record(uint16_t tag, const std::vector<uint8_t>& body)
    {
        u16(tag);
        u32(uint32_t(body.size()));
        bytes(body.data(), body.size());
    }
    std::vector<uint8_t>& result() { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

// Every read stops at the end instead of passing it.
class Reader {
public:
    Reader(const uint8_t* p, std::size_t n)
        : m_p(p)
        , m_n(n)
    {
    }
    bool ok() const { return m_ok; }
    bool atEnd() const { return m_at >= m_n; }
    uint8_t u8() { return take(1) ? m_p[m_at - 1] : 0; }
    uint16_t u16()
    {
        const uint16_t lo = u8();
        return uint16_t(lo | (u8() << 8));
    }
    uint32_t u32()
    {
        const uint32_t lo = u16();
        return lo | (uint32_t(u16()) << 16);
    }
    const uint8_t* bytes(std::size_t n) { return take(n) ? m_p + m_at - n : nullptr; }
    std::wstring text()
    {
        const std::size_t n = u16();
        const uint8_t* p = bytes(n);
        return p ? fromUtf8(std::string(reinterpret_cast<const char*>(p), n)) : std::wstring();
    }

private:
    bool take(std::size_t n)
    {
        if (!m_ok || n > m_n - m_at) {
            m_ok = false;
            return false;
        }
        m_at += n;
        return true;
    }
    const uint8_t* m_p;
    std::size_t m_n;
    std::size_t m_at = 0;
    bool m_ok = true;
};

int bitOf(CReadBlocks::Block block)
{
    int bit = 0;
    while ((1u << bit) != block)
        ++bit;
    return bit;
}

std::string number(double v)
{
    return CSettingsFile::formatNumber(v);
}

std::string hex(const uint8_t* p, std::size_t n)
{
    std::string text;
    char two[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(two, sizeof two, i ? " %02X" : "%02X", p[i]);
        text += two;
    }
    return text;
}

} // namespace

std::vector<uint8_t> encodeHistoryImage(const CHistoryContent& content)
{
    Writer w;
    w.bytes(reinterpret_cast<const uint8_t*>(kMagic), sizeof kMagic);
    const CDevInfo& d = content.image.m_devInfo;
    Writer identity;
    identity.u32(uint32_t(d.m_version));
    identity.u32(uint32_t(d.m_injCount));
    identity.u8(d.m_deviceID);
    identity.u32(d.m_flags1);
    identity.u32(d.m_flags2);
    identity.text(d.m_modelName);
    identity.text(d.m_serial);
    identity.text(d.m_prodDate);
    w.record(kTagIdentity, identity.result());
    for (auto block : blocksOf(content.blocks & ~CReadBlocks::DevInfo))
        w.record(uint16_t(kTagBlock + bitOf(block)), blockBytes(block, content.image));
    if (content.obdSettings)
        w.record(kTagObdSettings, { content.obdSettings->begin(), content.obdSettings->end() });
    if (content.obdConfig)
        w.record(kTagObdConfig, { content.obdConfig->begin(), content.obdConfig->end() });
    return std::move(w.result());
}

bool decodeHistoryImage(const std::vector<uint8_t>& bytes, CHistoryContent& content)
{
    content = {};
    Reader r(bytes.data(), bytes.size());
    const uint8_t* magic = r.bytes(sizeof kMagic);
    if (!magic || !std::equal(magic, magic + sizeof kMagic, reinterpret_cast<const uint8_t*>(kMagic)))
        return false;
    bool identity = false;
    while (!r.atEnd()) {
        const uint16_t tag = r.u16();
        const uint32_t length = r.u32();
        const uint8_t* body = r.bytes(length);
        if (!body)
            return false;
        if (tag == kTagIdentity) {
            Reader id(body, length);
            CDevInfo& d = content.image.m_devInfo;
            d.m_version = int32_t(id.u32());
            d.m_injCount = int32_t(id.u32());
            d.m_deviceID = id.u8();
            d.m_flags1 = id.u32();
            d.m_flags2 = id.u32();
            d.m_modelName = id.text();
            d.m_serial = id.text();
            d.m_prodDate = id.text();
            if (!id.ok())
                return false;
            identity = true;
            content.blocks |= CReadBlocks::DevInfo;
        } else if (tag >= kTagBlock && tag < kTagBlock + 32) {
            const auto block = static_cast<CReadBlocks::Block>(1u << (tag - kTagBlock));
            // The identity comes first: the codecs read the version from it.
            if (!identity || !(block & CReadBlocks::kAll)
                || !decodeBlockBytes(block, std::vector<uint8_t>(body, body + length), content.image))
                return false;
            content.blocks |= block;
        } else if (tag == kTagObdSettings && length == 12) {
            content.obdSettings.emplace();
            std::copy_n(body, 12, content.obdSettings->begin());
        } else if (tag == kTagObdConfig && length == 18) {
            content.obdConfig.emplace();
            std::copy_n(body, 18, content.obdConfig->begin());
        } else {
            return false;
        }
    }
    return identity && r.ok();
}

CHistoryContent heldContent(const CLPGDevice& device)
{
    CHistoryContent content;
    content.blocks = device.readBlocks().held() | CReadBlocks::DevInfo;
    content.image = device.heldImage();
    // The identity and the car are the live image's: the held image keeps the blocks.
    content.image.m_devInfo = device.liveImage().m_devInfo;
    content.image.m_carInfo = device.liveImage().m_carInfo;
    content.obdSettings = device.heldObdSettings();
    content.obdConfig = device.heldObdConfig();
    return content;
}

std::vector<CHistoryMember> historyMembers(const CHistoryContent& content)
{
    std::vector<CHistoryMember> members;
    const auto file = settingsLines(content.image);
    const auto shown = shownSettings(content.image);
    for (std::size_t i = 0; i < file.size() && i < shown.size(); ++i) {
        const std::string& key = shown[i].first;
        // The identity, the car and the save time are no settings a controller holds.
        if (!(blockOfKey(key) & content.blocks & ~CReadBlocks::DevInfo))
            continue;
        members.push_back({ key, toUtf8(file[i].second), shown[i].second, key.rfind("m_injMapTable[", 0) == 0 });
    }
    // What the settings file does not carry, member by member.
    const auto add = [&](CReadBlocks::Block block, const char* name, std::size_t count,
                         const std::function<double(const CSettingsImage&, std::size_t)>& value) {
        if (!(content.blocks & block))
            return;
        for (std::size_t i = 0; i < count; ++i) {
            std::string key = name;
            if (count > 1)
                key += "[" + std::to_string(i + 1) + "]";
            const std::string text = number(value(content.image, i));
            members.push_back({ key, text, text, false });
        }
    };
    add(CReadBlocks::MapAxes, "m_corrMap.m_injTimeAxis", kMapRows,
        [](const CSettingsImage& im, std::size_t i) { return im.m_corrMap.m_injTimeAxis[i]; });
    add(CReadBlocks::MapAxes, "m_corrMap.m_rpmAxis", kMapCols,
        [](const CSettingsImage& im, std::size_t i) { return im.m_corrMap.m_rpmAxis[i]; });
    add(CReadBlocks::SensorsSetup, "m_sensorsSetup.m_temprCorr", kTemprCorrCount,
        [](const CSettingsImage& im, std::size_t i) { return im.m_sensorsSetup.m_temprCorr[i]; });
    add(CReadBlocks::PressCorr, "m_sensorsSetup.m_pressCorr", kPressCorrCount,
        [](const CSettingsImage& im, std::size_t i) { return im.m_sensorsSetup.m_pressCorr[i]; });
    add(CReadBlocks::AutomapSchedule, "m_automapMode", 1,
        [](const CSettingsImage& im, std::size_t) { return double(im.m_automapMode); });
    add(CReadBlocks::AutomapSchedule, "m_automapKm", 1,
        [](const CSettingsImage& im, std::size_t) { return im.m_automapKm; });
    add(CReadBlocks::AutomapSchedule, "m_automapDue", 1,
        [](const CSettingsImage& im, std::size_t) { return im.m_automapDue; });
    add(CReadBlocks::AdvancedSetup, "m_advancedSetup.m_lubricationShare", 1,
        [](const CSettingsImage& im, std::size_t) { return double(im.m_advancedSetup.m_lubricationShare); });
    add(CReadBlocks::Base, "m_base.m_baseExtraTime", 1,
        [](const CSettingsImage& im, std::size_t) { return im.m_base.m_baseExtraTime; });
    if (content.obdSettings) {
        const std::string text = hex(content.obdSettings->data(), 12);
        members.push_back({ "obd.record18", text, text, false });
    }
    if (content.obdConfig) {
        const std::string text = hex(content.obdConfig->data(), 18);
        members.push_back({ "obd.record27", text, text, false });
    }
    return members;
}

std::vector<CHistoryDifference> historyDifferences(const CHistoryContent& a, const CHistoryContent& b)
{
    const auto ma = historyMembers(a);
    const auto mb = historyMembers(b);
    std::map<std::string, const CHistoryMember*> byKey;
    for (const auto& m : mb)
        byKey.emplace(m.key, &m);
    std::vector<CHistoryDifference> differences;
    for (const auto& m : ma) {
        const auto it = byKey.find(m.key);
        if (it != byKey.end() && it->second->raw != m.raw)
            differences.push_back({ m.key, m.shown, it->second->shown, m.mapCell });
    }
    return differences;
}

const std::vector<CHistoryGroup>& historyGroups()
{
    static const std::vector<CHistoryGroup> groups {
        { "base", CReadBlocks::Base },
        { "advanced", CReadBlocks::Adv | CReadBlocks::AdvancedSetup | CReadBlocks::AutomapSchedule },
        { "map", CReadBlocks::InjMap | CReadBlocks::MapAxes },
        { "curves", CReadBlocks::SetupTimes1 | CReadBlocks::SetupTimes2 },
        { "corrections", CReadBlocks::MainCorr | CReadBlocks::PressCorr },
        { "sensors", CReadBlocks::SensorsSetup },
        { "obd", 0 },
    };
    return groups;
}

bool historyGroupBlocks(const std::string& name, uint32_t& blocks, bool& obd)
{
    for (const auto& g : historyGroups()) {
        if (name == g.name) {
            blocks |= g.blocks;
            obd = obd || name == "obd";
            return true;
        }
    }
    return false;
}
