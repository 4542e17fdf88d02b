// The strict reader of a diagnostic recording's text (.osc): one record per
// line, 32 numbers separated by TABs or blanks, every line ended by LF (CR LF
// as written). Unlike playback, which stops quietly at the first bad record,
// this reader reports the first bad line by its number, so that a converted
// file never silently lacks the end of a drive. Takes text, not a file.
#pragma once

#include <app/data/diagfile.h>

#include <string>
#include <string_view>
#include <vector>

class COscParser {
public:
    struct SError {
        int line = 0;        // 1-based
        std::string message; // English, for the service tool
    };

    // Appends the records of text to records. False at the first bad line:
    // records then holds the lines before it and error says what was wrong.
    // Blank lines are skipped; an empty text has no records and is not an error.
    static bool parse(std::string_view text, std::vector<CDiagFile::Record>& records, SError& error);
};
