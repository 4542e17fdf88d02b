// SPDX-License-Identifier: GPL-3.0-or-later
// Recordings from arbitrary bytes: the strict reader must never crash, must
// name a line inside the text when it refuses it, and every record it accepts
// must turn into a CSV row; fed in pieces, it must read what it reads whole.
#include <app/data/osccsv.h>
#include <app/data/oscparser.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<CDiagFile::Record> records;
    COscParser::SError error;
    if (!COscParser::parse(text, records, error)) {
        if (error.line < 1 || static_cast<std::size_t>(error.line) > size + 1)
            std::abort();
    }
    for (std::size_t i = 0; i < records.size(); ++i)
        (void)COscCsv::row(i, records[i]);
    // Streamed in two pieces split anywhere, the text reads as it does whole.
    const std::size_t split = size > 0 ? data[0] % (size + 1) : 0;
    std::vector<CDiagFile::Record> streamed;
    COscParser parser([&streamed](const CDiagFile::Record& r) { streamed.push_back(r); });
    const bool ok = parser.feed(text.substr(0, split)) && parser.feed(text.substr(split)) && parser.finish();
    if (ok != error.message.empty() || streamed != records || (!ok && parser.error().line != error.line))
        std::abort();
    return 0;
}
