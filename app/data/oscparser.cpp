// SPDX-License-Identifier: GPL-3.0-or-later
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

COscParser::COscParser(Sink sink)
    : m_sink(std::move(sink))
{
}

bool COscParser::fail(std::string message)
{
    m_failed = true;
    m_error = { m_line, std::move(message) };
    return false;
}

bool COscParser::feed(std::string_view bytes)
{
    while (!m_failed && !bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        const std::size_t taken = end == std::string_view::npos ? bytes.size() : end;
        if (m_pending.size() + taken > kMaxLineBytes) {
            ++m_line;
            return fail("line longer than " + std::to_string(kMaxLineBytes) + " bytes");
        }
        if (end == std::string_view::npos) {
            m_pending.append(bytes);
            return true;
        }
        bool ok = false;
        if (m_pending.empty()) {
            ok = line(bytes.substr(0, end), true);
        } else {
            m_pending.append(bytes.substr(0, end));
            ok = line(m_pending, true);
            m_pending.clear();
        }
        if (!ok)
            return false;
        bytes.remove_prefix(end + 1);
    }
    return !m_failed;
}

bool COscParser::finish()
{
    if (m_failed)
        return false;
    if (m_pending.empty())
        return true;
    const bool ok = line(m_pending, false);
    m_pending.clear();
    return ok;
}

bool COscParser::line(std::string_view text, bool terminated)
{
    ++m_line;
    CDiagFile::Record record {};
    int count = 0;
    std::size_t i = 0;
    for (;;) {
        while (i < text.size() && isBlank(text[i]))
            ++i;
        if (i >= text.size())
            break;
        std::size_t j = i;
        while (j < text.size() && !isBlank(text[j]))
            ++j;
        const std::string_view token = text.substr(i, j - i);
        double value = 0.0;
        const auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
        if (ec != std::errc() || ptr != token.data() + token.size() || !std::isfinite(value))
            return fail("not a number: \"" + escapeControls(token.substr(0, 24)) + "\"");
        if (count == CDiagFile::kFields)
            return fail("more than " + std::to_string(CDiagFile::kFields) + " numbers");
        record[static_cast<std::size_t>(count++)] = value;
        i = j;
    }
    if (count == 0 && terminated)
        return true;
    // The recorder writes whole lines; one without its line end was cut off.
    if (!terminated)
        return fail("truncated line (no line end, " + std::to_string(count) + " of "
            + std::to_string(CDiagFile::kFields) + " numbers)");
    if (count < CDiagFile::kFields)
        return fail(std::to_string(count) + " numbers, " + std::to_string(CDiagFile::kFields) + " expected");
    ++m_records;
    m_sink(record);
    return true;
}

bool COscParser::parse(std::string_view text, std::vector<CDiagFile::Record>& records, SError& error)
{
    COscParser parser([&records](const CDiagFile::Record& r) { records.push_back(r); });
    const bool ok = parser.feed(text) && parser.finish();
    if (!ok)
        error = parser.error();
    return ok;
}
