// SPDX-License-Identifier: GPL-3.0-or-later
// Decoder of the controller's fault memory: the four error bytes of readErrors
// address modules 0 to 3; the transmission module (4) is listed but not
// addressed by them. A base of the device object.
#pragma once

#include <app/device/deviceerrorbase.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CLPGDeviceErr {
public:
    // Builds the five modules (their messages in the language active now).
    CLPGDeviceErr();
    virtual ~CLPGDeviceErr();
    CLPGDeviceErr(const CLPGDeviceErr&) = delete;
    CLPGDeviceErr& operator=(const CLPGDeviceErr&) = delete;

    // Builds the modules again, with their messages in the language active now.
    void rebuildModules();

    // Messages of byte 0, then 1, 2 and 3, each decoded by the module of its index.
    std::vector<std::wstring> decode(const std::array<uint8_t, 4>& errors) const;
    // Messages for the set bits of b in module index; a single unknown-module
    // text when there is no such module.
    std::vector<std::wstring> decodeModule(std::size_t index, uint8_t b) const;

    std::size_t moduleCount() const { return m_modules.size(); }
    // Module index (must be below moduleCount()).
    const CDeviceErrorBase& module(std::size_t index) const { return *m_modules.at(index); }

private:
    std::vector<std::unique_ptr<CDeviceErrorBase>> m_modules;
};
