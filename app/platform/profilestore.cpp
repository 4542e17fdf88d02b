// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/platform/profilestore.h>

#include <cstdlib>

uint32_t CProfileStore::lastPortNumber() const
{
    const auto text = readString(kConnectionKey, kLastPortValue);
    if (!text || text->empty() || text->size() > 3 || text->find_first_not_of("0123456789") != std::string::npos)
        return 0;
    const unsigned long n = std::strtoul(text->c_str(), nullptr, 10);
    return n >= 1 && n <= 256 ? static_cast<uint32_t>(n) : 0;
}

std::string CProfileStore::lastPortPath() const
{
    return readString(kConnectionKey, kLastPathValue).value_or(std::string {});
}

std::string CProfileStore::lastPortId() const
{
    return readString(kConnectionKey, kLastIdValue).value_or(std::string {});
}

void CProfileStore::storeLastPort(uint32_t number, const std::string& path, const std::string& byId)
{
    writeString(kConnectionKey, kLastPortValue, std::to_string(number));
    if (!path.empty())
        writeString(kConnectionKey, kLastPathValue, path);
    // A controller now on a port without an identity must not leave the
    // adapter of an earlier one to be tried first.
    if (!byId.empty() || readString(kConnectionKey, kLastIdValue))
        writeString(kConnectionKey, kLastIdValue, byId);
}

CProfileStore& profileStore()
{
    // Never destroyed: a worker thread may still use it while the process ends.
    static CProfileStore* const store = new CProfileStore;
    return *store;
}
