// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli live [--count N] [--osc FILE] [--demo]: runs the polling thread
// as the program does and prints one line per live record, or records them to
// a diagnostic file instead. Without --count it runs until interrupted.
#include "cli.h"
#include "cli_connect.h"

#include <app/data/diag.h>
#include <app/data/recordingpath.h>
#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/platform/log.h>
#include <app/platform/textcodec.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>
#include <syncmsg/multithread.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void onSignal(int)
{
    g_interrupted = 1;
}

// False when the line did not reach standard output (a full disk, a closed pipe).
bool printRecord(const CDiag& r, const CDiagScale& scale, int injectors)
{
    std::string line = "seq=" + std::to_string(r.sequence()) + " fuel=" + std::to_string(r.fuelState());
    char field[64];
    std::snprintf(field, sizeof field, " rpm=%.0f", r.rpm());
    line += field;
    for (int k = 0; k < injectors; ++k) {
        const int slot = r.injectorSlot(k);
        std::snprintf(field, sizeof field, " inj%d=%.2f/%.2f", k + 1, r.petrolTime(slot), r.lpgTime(slot));
        line += field;
    }
    std::snprintf(field, sizeof field, " p_lpg=%.0f p_map=%.0f", r.lpgPressure(), r.manifoldPressure(scale));
    line += field;
    std::snprintf(field, sizeof field, " t_lpg=%.0f t_red=%.0f", r.lpgTempr(scale), r.reducerTempr(scale));
    line += field;
    std::snprintf(field, sizeof field, " lambda1=%.2f lambda2=%.2f supply=%.1f\n", r.lambda1(), r.lambda2(),
                  r.supplyVoltage());
    line += field;
    return std::fputs(line.c_str(), stdout) >= 0 && std::fflush(stdout) == 0;
}

bool parseCount(const std::string& text, long& count)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    count = std::stol(text);
    return count > 0;
}

} // namespace

int cmdLive(const CliContext& context)
{
    std::vector<std::string> args = context.args;
    const bool demo = takeDemoOption(args);
    long count = 0;
    std::string osc;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--count" && i + 1 < args.size()) {
            if (!parseCount(args[++i], count))
                return usageError("live", "--count needs a whole number above 0");
        } else if (args[i] == "--osc" && i + 1 < args.size()) {
            osc = args[++i];
            if (!endsWithOsc(osc))
                return usageError("live", "a diagnostic file name ends in osc: " + osc);
        } else {
            return usageError("live", "unexpected argument " + args[i]);
        }
    }

    // Not the program's manager: that one ends the process with status 0.
    CMultiThread manager;
    try {
        CLPGDevice device(*context.ports);
        if (const int code = connectDevice(context, demo, device))
            return code;
        device.session().setThreadManager(&manager);
        // The polling thread writes the file: it stops itself at the count, so no
        // line written after the last one counted here reaches the file.
        if (!osc.empty())
            device.session().setRecordingLimit(static_cast<uint32_t>(count));
        if (!device.session().startPolling(osc.empty() ? std::string(kNoRecordingPath) : osc))
            return failed("this controller does not give live readings");
        if (!osc.empty() && !device.session().isRecording()) {
            device.session().stopPolling();
            const int why = device.session().recordingError();
            return failed("cannot write " + osc + ": "
                + (why == EINVAL ? std::string("not a regular file") : std::strerror(why)));
        }
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);

        const CDiagScale scale(device.liveImage());
        const int injectors = std::clamp(device.liveImage().m_devInfo.m_injCount, 1, CDiag::kInjectors);
        uint64_t shown = 0;
        long seen = 0;
        int result = kExitOk;
        const auto done = [&] {
            if (count == 0)
                return false;
            return osc.empty() ? seen >= count : device.session().recordedLines() >= static_cast<uint32_t>(count);
        };
        while (!g_interrupted && !done()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::vector<CDiag> records;
            const CDiagData::Since since = device.diagData().copySince(shown, records);
            shown = since.newest;
            if (since.dropped != 0)
                logWarning("cli", std::to_string(since.dropped) + " live records dropped before they were shown");
            for (const auto& r : records) {
                if (count != 0 && seen >= count)
                    break;
                ++seen;
                if (osc.empty() && !printRecord(r, scale, injectors)) {
                    // Said once by main's check of standard output.
                    result = kExitFailed;
                    break;
                }
            }
            if (result != kExitOk)
                break;
            if (!osc.empty() && device.session().recordingError() != 0) {
                result = kExitFailed;
                break;
            }
            if (!device.session().pollingThreadRunning()) {
                // A thread that gave up after link faults says nothing itself.
                if (!device.session().m_polling)
                    failed(toUtf8(translate(L"Brak połączenia")));
                result = kExitFailed;
                break;
            }
        }
        device.session().stopPolling();
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        if (!osc.empty() && device.session().recordingError() != 0)
            failed("writing " + osc + " failed (" + std::strerror(device.session().recordingError())
                + "): " + std::to_string(device.session().recordedLines()) + " records written");
        else if (!osc.empty() && result == kExitOk)
            std::fprintf(stderr, "korvana-cli: %u records written to %s\n", device.session().recordedLines(), osc.c_str());
        return result;
    } catch (IError* e) {
        CErrorGuard error(e);
        return failed(error);
    }
}
