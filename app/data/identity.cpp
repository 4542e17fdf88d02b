// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/identity.h>

#include <app/data/cipher.h>

#include <algorithm>

namespace {

// The serial key: a fixed GUID in text form, of which the first 32 characters count.
constexpr char kSerialKeyText[] = "7A3E19C4-5B2D-4c8e-9D61-D04E8B27A53F";

bool isAsciiLetter(uint8_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::wstring textUpToZero(std::span<const uint8_t> bytes)
{
    std::wstring text;
    for (uint8_t c : bytes) {
        if (c == 0)
            break;
        text.push_back(static_cast<wchar_t>(c));
    }
    return text;
}

} // namespace

const std::array<CDeviceModel, 4> kDeviceModels { {
    { 4, L"OREM 33F TYCO", 252, 0xC5 },
    { 5, L"OREM 33F MOLEX", 251, 0xC5 },
    { 6, L"OREM 33EP MOLEX", 248, 0xC4 },
    { 16, L"OREM K410 33EP FCI", 246, 0xC4 },
} };

const CDeviceModel* findModel(uint8_t code)
{
    for (const auto& model : kDeviceModels)
        if (model.code == code)
            return &model;
    return nullptr;
}

const CDeviceModel* findModelByBootByte(uint8_t bootByte)
{
    for (const auto& model : kDeviceModels)
        if (model.bootByte == bootByte)
            return &model;
    return nullptr;
}

bool setModel(CDevInfo& info, uint8_t code)
{
    const CDeviceModel* model = findModel(code);
    if (!model)
        return false;
    info.m_deviceID = model->code;
    info.m_modelName = model->name;
    return true;
}

std::wstring decodeSerial(std::span<const uint8_t, 16> bytes)
{
    if (isAsciiLetter(bytes[0]) && isAsciiLetter(bytes[1]) && isAsciiLetter(bytes[2]) && bytes[3] >= '0'
        && bytes[3] <= '9' && bytes[15] == 0)
        return textUpToZero(bytes);

    static const CCipher cipher = CCipher::fromKeyText(kSerialKeyText);
    CCipher::Block block {};
    std::copy(bytes.begin(), bytes.end(), block.begin());
    const CCipher::Block plain = cipher.decrypt(block);
    return textUpToZero(plain);
}

void setDemoIdentity(CDevInfo& info)
{
    info.m_version = 774;
    info.m_injCount = 8;
    info.m_serial = L"XZ0001";
    info.m_prodDate = L"21/06/2012";
    info.m_flags1 = 5;
}

void setDemoStatistics(CDevInfo& info)
{
    info.m_statistic.gas = 30;
    info.m_statistic.lpg = 45;
    info.m_statistic.modify = 1;
}
