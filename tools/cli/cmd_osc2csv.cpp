// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli osc2csv IN.osc [OUT.csv]: a diagnostic recording as CSV for a
// spreadsheet. Without OUT the CSV goes to stdout. A bad recording stops the
// command at its first bad line, and no output file is left behind. The
// recording streams through, so a workday's recording converts in little memory.
#include "cli.h"

#include <app/data/osccsv.h>
#include <app/platform/filereplace.h>

#include <cstdio>
#include <iostream>

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
    const auto why = [&in](const COscCsv::SFileResult& r) -> std::string {
        switch (r.status) {
        case COscCsv::Status::Unreadable:
            return in + ": cannot read";
        case COscCsv::Status::NotRegularFile:
            return in + ": not a regular file";
        case COscCsv::Status::BadLine:
            return in + ":" + std::to_string(r.error.line) + ": " + r.error.message;
        case COscCsv::Status::Done:
        case COscCsv::Status::WriteFailed:
            break;
        }
        return {};
    };
    // The recording streams through twice, checked before anything is written,
    // so a bad line never leaves half a CSV behind and no size of recording
    // is ever held whole.
    const COscCsv::SFileResult checked = COscCsv::convertFile(in, [](std::string_view) { return true; });
    if (checked.status != COscCsv::Status::Done)
        return failed(why(checked));

    COscCsv::SFileResult result;
    if (args.size() == 1) {
        // Whether it all arrived is checked once every command has run; a
        // failed piece ends the conversion there.
        result = COscCsv::convertFile(in, [](std::string_view piece) {
            return std::fwrite(piece.data(), 1, piece.size(), stdout) == piece.size();
        });
        if (result.status == COscCsv::Status::WriteFailed)
            return kExitFailed;
        if (result.status != COscCsv::Status::Done)
            return failed(why(result) + " (the recording changed while it was converted)");
        return kExitOk;
    }
    // As the program's export: only a regular file (or none) is ever replaced.
    const std::string& out = args[1];
    if (!isRegularFileOrAbsent(out))
        return failed(out + ": not a regular file");
    const FileReplaceResult saved = replaceFileStreamed(out, [&](const FileWriter& write) {
        result = COscCsv::convertFile(in, write);
        return result.status == COscCsv::Status::Done;
    });
    if (result.status != COscCsv::Status::Done && result.status != COscCsv::Status::WriteFailed)
        return failed(why(result) + " (the recording changed while it was converted)");
    switch (saved) {
    case FileReplaceResult::Saved:
        break;
    case FileReplaceResult::NotRegularFile:
        return failed(out + ": not a regular file");
    case FileReplaceResult::NotWritable:
        return failed(out + ": not writable");
    case FileReplaceResult::Failed:
        return failed(out + ": cannot write");
    }
    std::cerr << result.records << " records written to " << out << "\n";
    return kExitOk;
}
