// One settings file opened for reading or writing single named values, one
// "key TAB value" line each. On disk every character is one byte (code points
// 0…255), lines end with CR LF.
//
// Writing goes to a temporary file beside the target; commit() replaces the
// target only when every line was written whole, so a full disk never leaves
// a truncated file in place of a good one.
#pragma once

#include <cstdio>
#include <string>

class CSettingsFile {
public:
    CSettingsFile() = default;
    CSettingsFile(const CSettingsFile&) = delete;
    CSettingsFile& operator=(const CSettingsFile&) = delete;
    // Closes the file; an uncommitted write leaves the target as it was.
    ~CSettingsFile();

    bool open(const std::string& path, bool forWriting);
    bool isOpen() const { return m_forWriting ? m_stream != nullptr : m_loaded; }
    const std::string& path() const { return m_path; }

    bool readString(const std::wstring& key, std::wstring& text) const;
    bool readDouble(const std::wstring& key, double& value) const;

    bool writeDouble(const std::wstring& key, double value);
    // Characters above U+00FF cannot be stored and are written as '?'.
    bool writeString(const std::wstring& key, const std::wstring& text);

    // True while every write since open succeeded.
    bool allWritten() const { return m_ok; }
    // Flushes, syncs and closes the temporary file, then renames it over the
    // target. False (target untouched) when any write, the flush or the close failed.
    bool commit();

    // The number as the settings files hold it: six significant digits, no
    // trailing zeros, exponent form below 1e-4 or from 1e6 with three exponent digits.
    static std::string formatNumber(double value);
    // Leading blanks skipped, the longest number prefix taken, 0 when there is none.
    static double parseNumber(const std::wstring& text);

private:
    bool writeLine(const std::wstring& key, const std::string& value);
    void discard();

    std::FILE* m_stream = nullptr;
    std::string m_path;
    std::string m_tempPath;
    std::string m_content; // the whole file when reading, CR LF already folded to LF
    bool m_forWriting = false;
    bool m_loaded = false;
    bool m_ok = false;
};
