// SPDX-License-Identifier: GPL-3.0-or-later
// One settings file opened for reading or writing single named values, one
// "key TAB value" line each. On disk every character is one byte (code points
// 0…255), lines end with CR LF.
//
// Writing collects the lines; commit() saves them through replaceFile (a
// temporary file renamed over the target), so a full disk never leaves a
// truncated file in place of a good one, and only a regular file the user may
// write is ever replaced.
#pragma once

#include <cstddef>
#include <string>

class CSettingsFile {
public:
    CSettingsFile() = default;
    CSettingsFile(const CSettingsFile&) = delete;
    CSettingsFile& operator=(const CSettingsFile&) = delete;
    // An uncommitted write leaves the target as it was.
    ~CSettingsFile();

    // A settings file is some 20 kB; a larger one is refused unread.
    static constexpr std::size_t kMaxFileBytes = 1u << 20;

    // For reading: false when path is no regular file, holds more than
    // kMaxFileBytes or cannot be read. For writing: false when the target
    // (links followed) exists and is no regular file, or its folder does not exist.
    bool open(const std::string& path, bool forWriting);
    bool isOpen() const { return m_forWriting ? !m_path.empty() : m_loaded; }
    const std::string& path() const { return m_path; }

    // line, when given, receives the number (from 1) of the line the value came from.
    bool readString(const std::wstring& key, std::wstring& text, int* line = nullptr) const;
    bool readDouble(const std::wstring& key, double& value) const;

    bool writeDouble(const std::wstring& key, double value);
    // Characters above U+00FF cannot be stored and are written as '?'.
    bool writeString(const std::wstring& key, const std::wstring& text);

    // True while every write since open succeeded.
    bool allWritten() const { return m_ok; }
    // Saves every line written since open. False (target untouched) when the
    // save was refused or any write, the sync or the rename failed.
    bool commit();

    // The number as the settings files hold it: six significant digits, no
    // trailing zeros, exponent form below 1e-4 or from 1e6 with three exponent digits.
    static std::string formatNumber(double value);
    // Leading blanks skipped, the longest number prefix taken, 0 when there is none.
    static double parseNumber(const std::wstring& text);
    // Whether the whole text (blanks around it aside) is one decimal number as
    // the writer gives it: "nan", "inf", "0,3", "12abc" and "" are not.
    static bool isNumber(const std::wstring& text);

private:
    bool writeLine(const std::wstring& key, const std::string& value);
    void discard();

    std::string m_path;
    std::string m_written; // the lines of a write, saved by commit
    std::string m_content; // the whole file when reading, CR LF already folded to LF
    bool m_forWriting = false;
    bool m_loaded = false;
    bool m_ok = false;
};
