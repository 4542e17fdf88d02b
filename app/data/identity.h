// SPDX-License-Identifier: GPL-3.0-or-later
// The controller's identity: the four models, the serial-number decoding of
// the identity block and the fixed identity of demo mode.
#pragma once

#include <app/data/settingsimage.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>

struct CDeviceModel {
    uint8_t code; // m_devInfo.m_deviceID
    const wchar_t* name; // m_devInfo.m_modelName, also the firmware folder
    uint8_t bootByte; // the value its bootloader reports …
    uint8_t bootAddress; // … at this address
};

// 4 "OREM 33F TYCO", 5 "OREM 33F MOLEX", 6 "OREM 33EP MOLEX", 16 "OREM K410 33EP FCI".
extern const std::array<CDeviceModel, 4> kDeviceModels;

// The model of a code or of a bootloader byte; null for anything else.
const CDeviceModel* findModel(uint8_t code);
const CDeviceModel* findModelByBootByte(uint8_t bootByte);

// Sets m_deviceID and m_modelName for a known code; false (nothing changed) otherwise.
bool setModel(CDevInfo& info, uint8_t code);

// The serial text of the identity block's 16 bytes: the bytes up to the first
// 0 when the first three are ASCII letters, the fourth a digit and the last 0;
// otherwise the bytes deciphered with the program's fixed key, up to the
// first 0. One character per byte, code point = byte value.
std::wstring decodeSerial(std::span<const uint8_t, 16> bytes);

// Demo mode: reading the identity sets version 3.6, 8 injectors, serial
// "XZ0001", date "21/06/2012" and m_flags1 5; reading the statistics sets gas
// 30, lpg 45, modify 1. Other members keep their values.
void setDemoIdentity(CDevInfo& info);
void setDemoStatistics(CDevInfo& info);
