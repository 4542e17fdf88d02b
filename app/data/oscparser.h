// SPDX-License-Identifier: GPL-3.0-or-later
// The strict reader of a diagnostic recording's text (.osc): one record per
// line, 32 numbers separated by TABs or blanks, every line ended by LF (CR LF
// as written). Unlike playback, which stops quietly at the first bad record,
// this reader reports the first bad line by its number, so that a converted
// file never silently lacks the end of a drive. Takes text, not a file: fed
// in pieces of any size, it holds no more than one line (kMaxLineBytes), so a
// workday's recording streams through it.
#pragma once

#include <app/data/diagfile.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class COscParser {
public:
    struct SError {
        int line = 0;        // 1-based
        std::string message; // English, for the service tool
    };
    // A line the recorder writes is a few hundred bytes; anything past this is no recording.
    static constexpr std::size_t kMaxLineBytes = 4096;
    using Sink = std::function<void(const CDiagFile::Record&)>;

    // Every record read goes to sink, in order.
    explicit COscParser(Sink sink);

    // The next piece of the text. False at the first bad line (error() says
    // what); the parser then takes nothing more.
    bool feed(std::string_view bytes);
    // The end of the text: false when it ends inside a line (cut off).
    bool finish();
    const SError& error() const { return m_error; }
    // Records handed to the sink so far.
    std::size_t records() const { return m_records; }

    // Appends the records of text to records. False at the first bad line:
    // records then holds the lines before it and error says what was wrong.
    // Blank lines are skipped; an empty text has no records and is not an error.
    static bool parse(std::string_view text, std::vector<CDiagFile::Record>& records, SError& error);

private:
    bool line(std::string_view text, bool terminated);
    bool fail(std::string message);

    Sink m_sink;
    std::string m_pending; // the start of a line whose end has not come yet
    int m_line = 0;
    std::size_t m_records = 0;
    bool m_failed = false;
    SError m_error;
};
