// SPDX-License-Identifier: GPL-3.0-or-later
// The per-user profile: string values under keys, in the registry under
// HKEY_CURRENT_USER on Windows; elsewhere kept in an INI file
// $XDG_CONFIG_HOME/KORVANA/profile.ini (else ~/.config/KORVANA/profile.ini).
// The location is looked up on every call, so tests can point XDG_CONFIG_HOME
// at a temporary folder. Writes go through a temporary file and a rename, so a
// crash never leaves half a profile. Thread-safe within the process.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

class CProfileStore {
public:
    // The key and values of the connection.
    static constexpr const char* kConnectionKey = "Software\\KORVANA";
    static constexpr const char* kLastPortValue = "Last RS nr"; // decimal text
    static constexpr const char* kLastPathValue = "Last RS path"; // the device path of that port
    static constexpr const char* kLastIdValue = "Last RS id"; // its /dev/serial/by-id name; empty when it had none

    // The profile file now in use.
    static std::string filePath();

    // Nothing when the file, the key or the value is missing.
    std::optional<std::string> readString(const std::string& key, const std::string& value) const;
    // Creates the file and the key when missing. False when it cannot be
    // written, or for a value with a line break (an INI line cannot hold one).
    bool writeString(const std::string& key, const std::string& value, const std::string& text);

    // "Last RS nr" as a number: 0 when absent or not a whole number 1 … 256.
    uint32_t lastPortNumber() const;
    // The remembered device path; empty when none.
    std::string lastPortPath() const;
    // The remembered by-id name of the adapter; empty when none.
    std::string lastPortId() const;
    // Writes all three (an empty id clears the one before); failures are
    // ignored, as the port works without them.
    void storeLastPort(uint32_t number, const std::string& path, const std::string& byId = {});

private:
    using Sections = std::map<std::string, std::map<std::string, std::string>>;
    static Sections load(const std::string& file);
    static bool save(const std::string& file, const Sections& sections);

    mutable std::mutex m_mutex;
};

// The program-wide profile.
CProfileStore& profileStore();
