// SPDX-License-Identifier: GPL-3.0-or-later
// The blocks of the settings image as the controller stores them: which
// members each one carries, its bytes as a write would send them, and the
// event its change raises. The write session and the device's
// record of what the controller holds work block by block through this table.
#pragma once

#include <app/data/readblocks.h>
#include <app/data/settingsimage.h>
#include <app/device/deviceevents.h>

#include <cstdint>
#include <string>
#include <vector>

class CLPGDevice;
struct CSettingField;

struct CSettingBlock {
    CReadBlocks::Block block;
    ImageBlock imageBlock;
};

// The table entry of block; every CReadBlocks bit has one.
const CSettingBlock& settingBlock(CReadBlocks::Block block);
// The single blocks of a mask, lowest bit first.
std::vector<CReadBlocks::Block> blocksOf(uint32_t mask);

// Copies the members block carries from one image into another.
void copyBlock(CReadBlocks::Block block, const CSettingsImage& from, CSettingsImage& to);
// The block's bytes as a write of image would send them (the map page with its
// checksum), so two images can be compared as the controller would hold them.
std::vector<uint8_t> blockBytes(CReadBlocks::Block block, const CSettingsImage& image);
// Stores bytes (as blockBytes gives them) into image's members of block, as a
// read of them would. False when the bytes do not fit (a map page with a bad checksum).
bool decodeBlockBytes(CReadBlocks::Block block, const std::vector<uint8_t>& bytes, CSettingsImage& image);
// Whether a and b agree on every member block carries.
bool sameBlock(CReadBlocks::Block block, const CSettingsImage& a, const CSettingsImage& b);
// The block a settings-file key or image member path belongs to
// ("m_base.m_switchRPM" → Base, "m_injMapTable[3][4]" → InjMap); 0 for what
// the controller does not hold (m_carInfo, m_timeStamp).
uint32_t blockOfKey(const std::string& key);

// The blocks of mask a page must not show as the car's: while a controller is
// connected (demo mode counts every block read), those not read from it in
// this connection. Offline the image is the fitter's own to edit (a file
// prepared without a car), so none.
uint32_t unreadBlocks(const CLPGDevice& device, uint32_t mask);
// The blocks whose members a settings-page control shows, and those its change writes.
uint32_t shownBlocksOf(const CSettingField& field);
uint32_t writtenBlocksOf(const CSettingField& field);
