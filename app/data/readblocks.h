// SPDX-License-Identifier: GPL-3.0-or-later
// Which blocks of the live settings image are whole: taken from the
// controller now connected (read from it, or written to it and acknowledged),
// or, in demo mode, the demo's own data, which stands for a controller of its
// own. A connection starts with none; a block read that fails leaves its
// block as it was. A file or the preset loaded into the image, and the
// factory defaults, count once their blocks are written to the controller
// (until then the image holds values the controller may not). A settings file
// saved with a block missing would
// hold defaults or another car's values as if they were this car's, so a save
// asks first (see CDocOperations::saveToFile).
//
// The mask belongs to the device object beside its image, not to the image:
// copies of the image (a file read, a preset, a comparison) carry no source.
// GUI thread only.
#pragma once

#include <cstdint>
#include <string>

class CReadBlocks {
public:
    enum Block : uint32_t {
        DevInfo = 1u << 0,
        SensorsSetup = 1u << 1,
        Base = 1u << 2,
        Adv = 1u << 3,
        MainCorr = 1u << 4,
        SetupTimes1 = 1u << 5,
        SetupTimes2 = 1u << 6,
        InjMap = 1u << 7,
        AdvancedSetup = 1u << 8,
        PressCorr = 1u << 9,
        AutomapSchedule = 1u << 10,
        MapAxes = 1u << 11,
    };
    static constexpr uint32_t kAll = (1u << 12) - 1;
    // The blocks a settings file carries.
    static constexpr uint32_t kSettingsFile
        = DevInfo | SensorsSetup | Base | Adv | MainCorr | SetupTimes1 | SetupTimes2 | InjMap | AdvancedSetup;

    void clear() { m_held = 0; }
    // The image's blocks were replaced from elsewhere (a file): not the controller's until written.
    void forget(uint32_t blocks) { m_held &= ~blocks; }
    void markAll() { m_held = kAll; }
    // Marks block when ok; returns ok, so a read or write can pass its result through.
    bool mark(Block block, bool ok)
    {
        if (ok)
            m_held |= block;
        return ok;
    }
    bool has(Block block) const { return (m_held & block) != 0; }
    uint32_t held() const { return m_held; }

    // The blocks of required not held, by the names the settings file and
    // the image use ("m_base", "m_injMapTable" …), comma-separated; empty when none.
    std::wstring missingNames(uint32_t required = kAll) const;
    static const wchar_t* name(Block block);

private:
    uint32_t m_held = 0;
};
