// SPDX-License-Identifier: GPL-3.0-or-later
// One language file: UTF-16 little-endian text after a byte-order mark, one
// "Polish TAB translation" entry per line, "\t", "\r" and "\n" escaped in both
// texts. The file is read into memory once, when it is opened (or, opened
// for later, on the first look-up); lookups then never touch the file and may
// run on any thread at once, also while the file is opened again.
//
// Reading is forgiving: a missing BOM starts the text at the first byte, an odd
// last byte is ignored, lines without a TAB are skipped, a last line without a
// line end keeps all its characters, unpaired surrogates become U+FFFD. Lines
// are taken in pieces of at most 2047 characters (line end included), as the
// line reader of the files' format always has.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

class CLangFile {
public:
    CLangFile() = default;
    CLangFile(const CLangFile&) = delete;
    CLangFile& operator=(const CLangFile&) = delete;
    virtual ~CLangFile() = default;

    // Reads the file at path (UTF-8). On failure the object is closed and
    // translates nothing; a second open replaces what the first one read.
    bool open(const std::string& path);
    // The same, read when first needed (a look-up or isOpen): most languages
    // are never shown, and the start need not wait on them.
    void openLater(const std::string& path);
    // The same for file content already in memory (the bytes of a file).
    void openBytes(std::string_view bytes);
    void close();
    bool isOpen() const;
    std::string path() const;

    // The translation of the first entry whose Polish text equals text exactly;
    // text itself when there is none or the file is not open.
    std::wstring translate(const std::wstring& text) const;

private:
    using Table = std::unordered_map<std::wstring, std::wstring>;

    static std::shared_ptr<const Table> parse(std::string_view bytes);
    // Reads the file openLater named; m_mutex held.
    void readPending() const;
    static std::optional<std::string> readFile(const std::string& path);

    mutable std::mutex m_mutex; // guards the four members below, never a lookup
    mutable std::shared_ptr<const Table> m_table;
    mutable std::optional<std::string> m_unparsed; // read, not yet parsed
    mutable bool m_unread = false;                // m_path named, not yet read
    std::string m_path;
};
