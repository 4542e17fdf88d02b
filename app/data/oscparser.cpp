#include <app/data/oscparser.h>

#include <app/platform/textcodec.h>

#include <charconv>
#include <cmath>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

} // namespace

bool COscParser::parse(std::string_view text, std::vector<CDiagFile::Record>& records, SError& error)
{
    std::size_t pos = 0;
    int lineNo = 0;
    while (pos < text.size()) {
        ++lineNo;
        const std::size_t end = text.find('\n', pos);
        const bool terminated = end != std::string_view::npos;
        const std::string_view line = text.substr(pos, terminated ? end - pos : std::string_view::npos);
        pos = terminated ? end + 1 : text.size();

        CDiagFile::Record record {};
        int count = 0;
        std::size_t i = 0;
        for (;;) {
            while (i < line.size() && isBlank(line[i]))
                ++i;
            if (i >= line.size())
                break;
            std::size_t j = i;
            while (j < line.size() && !isBlank(line[j]))
                ++j;
            const std::string_view token = line.substr(i, j - i);
            double value = 0.0;
            const auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
            if (ec != std::errc() || ptr != token.data() + token.size() || !std::isfinite(value)) {
                error = {lineNo, "not a number: \"" + escapeControls(token.substr(0, 24)) + "\""};
                return false;
            }
            if (count == CDiagFile::kFields) {
                error = {lineNo, "more than " + std::to_string(CDiagFile::kFields) + " numbers"};
                return false;
            }
            record[static_cast<std::size_t>(count++)] = value;
            i = j;
        }
        if (count == 0 && terminated)
            continue;
        // The recorder writes whole lines; one without its line end was cut off.
        if (!terminated) {
            error = {lineNo, "truncated line (no line end, " + std::to_string(count) + " of "
                                 + std::to_string(CDiagFile::kFields) + " numbers)"};
            return false;
        }
        if (count < CDiagFile::kFields) {
            error = {lineNo, std::to_string(count) + " numbers, " + std::to_string(CDiagFile::kFields) + " expected"};
            return false;
        }
        records.push_back(record);
    }
    return true;
}
