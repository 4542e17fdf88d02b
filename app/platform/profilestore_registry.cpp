// SPDX-License-Identifier: GPL-3.0-or-later
// The profile's values in the registry of the current user (Windows): a key
// under HKEY_CURRENT_USER, REG_SZ values.
#include <app/platform/profilestore.h>

#include <app/platform/win32.h>

#include <windows.h>

std::string CProfileStore::filePath()
{
    return "HKEY_CURRENT_USER";
}

std::optional<std::string> CProfileStore::readString(const std::string& key, const std::string& value) const
{
    std::lock_guard lock(m_mutex);
    HKEY handle = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, widen(key).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return std::nullopt;
    const std::wstring name = widen(value);
    DWORD type = 0;
    DWORD size = 0;
    std::optional<std::string> text;
    if (::RegQueryValueExW(handle, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
        std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        if (::RegQueryValueExW(handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size)
            == ERROR_SUCCESS) {
            // A stored value need not end with its zero.
            data.resize(size / sizeof(wchar_t));
            while (!data.empty() && data.back() == L'\0')
                data.pop_back();
            text = narrow(data);
        }
    }
    ::RegCloseKey(handle);
    return text;
}

bool CProfileStore::writeString(const std::string& key, const std::string& value, const std::string& text)
{
    std::lock_guard lock(m_mutex);
    HKEY handle = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, widen(key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr)
        != ERROR_SUCCESS)
        return false;
    const std::wstring data = widen(text);
    const bool ok = ::RegSetValueExW(handle, widen(value).c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)))
        == ERROR_SUCCESS;
    ::RegCloseKey(handle);
    return ok;
}
