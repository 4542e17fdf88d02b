// SPDX-License-Identifier: GPL-3.0-or-later
// This PC's identifier, the four bytes a write of the base block stamps into
// m_pcId (most significant first): the first four bytes of /etc/machine-id,
// else the first four of the root file system's UUID.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

using PcId = std::array<uint8_t, 4>;

// The first eight hex digits of text as four bytes, first digits most
// significant; dashes are skipped. Nothing when fewer than eight digits lead.
std::optional<PcId> pcIdFromHex(std::string_view text);

// The identifier from a machine-id file, else from the UUID named in byUuidDir
// (a folder of links to block devices) whose device holds rootPath.
std::optional<PcId> readPcId(
    const std::string& machineIdFile, const std::string& byUuidDir, const std::string& rootPath);

// This PC's identifier from the system's own files; nothing when neither can be read.
std::optional<PcId> pcIdentifier();

// Tests: pcIdentifier reads these instead of the system's files while the
// scope lives (a machine without an identifier is a path that does not exist).
class CPcIdSourceScope {
public:
    CPcIdSourceScope(std::string machineIdFile, std::string byUuidDir, std::string rootPath = "/");
    ~CPcIdSourceScope();
    CPcIdSourceScope(const CPcIdSourceScope&) = delete;
    CPcIdSourceScope& operator=(const CPcIdSourceScope&) = delete;

private:
    std::string m_previous[3];
};
