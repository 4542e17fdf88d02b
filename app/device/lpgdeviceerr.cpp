// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/lpgdeviceerr.h>

#include <app/data/translate.h>
#include <app/device/deviceerrmodules.h>

CLPGDeviceErr::CLPGDeviceErr()
{
    rebuildModules();
}

void CLPGDeviceErr::rebuildModules()
{
    m_modules.clear();
    // The order fixes the module indices the error bytes address.
    m_modules.push_back(std::make_unique<CEEPROMError>());
    m_modules.push_back(std::make_unique<CInjError>());
    m_modules.push_back(std::make_unique<CSensorErr>());
    m_modules.push_back(std::make_unique<CCanErr>());
    m_modules.push_back(std::make_unique<CTransmError>());
}

CLPGDeviceErr::~CLPGDeviceErr() = default;

std::vector<std::wstring> CLPGDeviceErr::decode(const std::array<uint8_t, 4>& errors) const
{
    std::vector<std::wstring> out;
    for (std::size_t i = 0; i < errors.size(); ++i) {
        auto part = decodeModule(i, errors[i]);
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

std::vector<std::wstring> CLPGDeviceErr::decodeModule(std::size_t index, uint8_t b) const
{
    if (index >= m_modules.size())
        return { translate(L"Nieznany kod modułu") };
    return m_modules[index]->decode(b);
}
