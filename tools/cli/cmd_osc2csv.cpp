// korvana-cli osc2csv IN.osc [OUT.csv]: a diagnostic recording as CSV for a
// spreadsheet. Without OUT the CSV goes to stdout. A bad recording stops the
// command at its first bad line, and no output file is left behind.
#include "cli.h"

#include <app/data/osccsv.h>
#include <app/data/oscparser.h>
#include <app/platform/filereplace.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace {

bool endsWithOsc(const std::string& path)
{
    return path.size() >= 3 && path.compare(path.size() - 3, 3, "osc") == 0;
}

} // namespace

int cmdOsc2Csv(const CliContext& context)
{
    const auto& args = context.args;
    if (args.empty() || args.size() > 2)
        return usageError("osc2csv", "give a recording and, optionally, the CSV file");
    const std::string& in = args[0];
    if (!endsWithOsc(in))
        return failed(in + ": not a diagnostic recording (the name must end in osc)");
    std::ifstream file(in, std::ios::binary);
    if (!file)
        return failed(in + ": cannot open");
    std::ostringstream buffer;
    buffer << file.rdbuf();
    if (file.bad())
        return failed(in + ": cannot read");

    std::vector<CDiagFile::Record> records;
    COscParser::SError error;
    if (!COscParser::parse(buffer.str(), records, error))
        return failed(in + ":" + std::to_string(error.line) + ": " + error.message);
    const std::string csv = COscCsv::convert(records);

    if (args.size() == 1) {
        // Whether it arrived is checked once every command has run.
        std::fwrite(csv.data(), 1, csv.size(), stdout);
        return kExitOk;
    }
    // As the program's export: only a regular file (or none) is ever replaced.
    const std::string& out = args[1];
    if (!isRegularFileOrAbsent(out))
        return failed(out + ": not a regular file");
    switch (replaceFile(out, csv)) {
    case FileReplaceResult::Saved:
        break;
    case FileReplaceResult::NotRegularFile:
        return failed(out + ": not a regular file");
    case FileReplaceResult::NotWritable:
        return failed(out + ": not writable");
    case FileReplaceResult::Failed:
        return failed(out + ": cannot write");
    }
    std::cerr << records.size() << " records written to " << out << "\n";
    return kExitOk;
}
