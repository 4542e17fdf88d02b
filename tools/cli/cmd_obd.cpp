// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli obd [--json] [--connect] [--vin] [--demo]: the link to the car's
// engine computer through the controller: runs the setup step (with --connect,
// when that finds no engine computer, the automatic detection over the attempts
// table), then takes each supported reading once and prints the protocol,
// the OBD standard, the engine computer's address and the eight readings.
// With --vin it prints the car's VIN instead; an answer that is not a whole
// VIN is "VIN niepełny" on stderr and exit 1, never a part of one.
//
// korvana-cli dtc [--clear --yes] [--demo]: the car's stored trouble codes,
// one description a line (nothing when none are stored); --clear clears them
// (--yes answers the question). Exit 1 when the engine computer does not answer
// or the link to the controller was disturbed (said apart).
#include "cli.h"

#include <app/data/readblocks.h>
#include <app/data/translate.h>
#include "cli_connect.h"

#include <app/device/lpgdevice.h>
#include <app/platform/consoleinteraction.h>
#include <app/platform/textcodec.h>
#include <app/tuning/obdcodes.h>
#include <app/tuning/deviceobd.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <sstream>

namespace {

constexpr uint8_t kAutomatic = 4;

struct ReadingName {
    const char* name;
    const char* unit;
};
constexpr ReadingName kReadings[CObdDiagnostic::kReadingCount] = {
    { "STFT Bank 1", "%" },
    { "LTFT Bank 1", "%" },
    { "STFT Bank 2", "%" },
    { "LTFT Bank 2", "%" },
    { "OS Bank 1-1", "V" },
    { "OS Bank 1-2", "V" },
    { "OS Bank 2-1", "V" },
    { "OS Bank 2-2", "V" },
};

std::string hexAddress(uint32_t address)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%X", address);
    return buffer;
}

// A request the controller did not answer cleanly says nothing about the car.
int linkDisturbed()
{
    return failed("the link to the controller was disturbed: the OBD request got no clean answer; try again");
}

// Setup, and the detection with --connect. kExitOk once the engine computer answered.
int reachEngine(CLPGDevice& device, bool detect)
{
    const unsigned failures = obdOf(device).linkFailures();
    if (obdOf(device).setupStep())
        return kExitOk;
    if (obdOf(device).linkFailures() != failures)
        return linkDisturbed();
    if (detect && obdOf(device).detect(kAutomatic) != 0)
        return kExitOk;
    if (obdOf(device).linkFailures() != failures)
        return linkDisturbed();
    if (!obdOf(device).established() && !detect)
        return failed("OBD is off in the controller (--connect looks for the engine computer)");
    return failed("the engine computer does not answer");
}

// Turns of the poll until every supported reading has its value (the readings
// asked on every sixth turn included).
void takeEveryReading(CLPGDevice& device)
{
    constexpr int kTurns = CObdDiagnostic::kReadingCount * 7;
    for (int turn = 0; turn < kTurns; ++turn) {
        bool missing = false;
        for (int i = 0; i < CObdDiagnostic::kReadingCount; ++i)
            missing = missing || (obdOf(device).reading(i).enabled && obdOf(device).readingText(i).empty());
        if (!missing)
            return;
        obdOf(device).pollStep();
    }
}

void printReadings(CLPGDevice& device, bool json)
{
    std::ostringstream out;
    if (json) {
        out << "{\"protocol\":" << jsonString(toUtf8(obdOf(device).protocolText()))
            << ",\"standard\":" << jsonString(toUtf8(obdOf(device).standardText()))
            << ",\"engineAddress\":" << obdOf(device).engineAddress() << ",\"readings\":[";
        for (int i = 0; i < CObdDiagnostic::kReadingCount; ++i) {
            const std::string text = toUtf8(obdOf(device).readingText(i));
            out << (i ? "," : "") << "{\"name\":" << jsonString(kReadings[i].name)
                << ",\"value\":" << (text.empty() ? "null" : text) << ",\"unit\":" << jsonString(kReadings[i].unit)
                << "}";
        }
        out << "]}\n";
    } else {
        out << "protocol: " << toUtf8(obdOf(device).protocolText()) << "\n"
            << "standard: " << toUtf8(obdOf(device).standardText()) << "\n"
            << "engine computer: " << hexAddress(obdOf(device).engineAddress()) << "\n";
        for (int i = 0; i < CObdDiagnostic::kReadingCount; ++i) {
            const std::string text = toUtf8(obdOf(device).readingText(i));
            out << kReadings[i].name << ": " << (text.empty() ? "-" : text + " " + kReadings[i].unit) << "\n";
        }
    }
    std::cout << out.str();
    std::cout.flush();
}

int printVin(CLPGDevice& device, bool json)
{
    std::wstring text;
    switch (obdOf(device).readVin(text)) {
    case CObdDiagnostic::Outcome::Done:
        break;
    case CObdDiagnostic::Outcome::Incomplete:
        return failed(toUtf8(translate(L"VIN niepełny")));
    case CObdDiagnostic::Outcome::Failed:
        return linkDisturbed();
    default:
        return failed("the engine computer does not answer");
    }
    if (json)
        std::cout << "{\"vin\":" << jsonString(toUtf8(text)) << "}\n";
    else
        std::cout << toUtf8(text) << "\n";
    std::cout.flush();
    return kExitOk;
}

} // namespace

int cmdObd(const CliContext& context)
{
    std::vector<std::string> args = context.args;
    const bool demo = takeDemoOption(args);
    const bool json = takeOption(args, "--json");
    const bool detect = takeOption(args, "--connect");
    const bool vin = takeOption(args, "--vin");
    if (!args.empty())
        return usageError("obd", "unexpected argument " + args.front());
    try {
        CLPGDevice device(*context.ports);
        if (const int code = connectDevice(context, demo, device))
            return code;
        if (const int code = requireRead(device, CReadBlocks::DevInfo))
            return code;
        const unsigned failures = obdOf(device).linkFailures();
        if (const int code = reachEngine(device, detect))
            return code;
        if (vin)
            return printVin(device, json);
        takeEveryReading(device);
        // What a disturbed link kept back is not shown as the car's "unknown".
        if (obdOf(device).linkFailures() != failures) {
            std::string missing = obdOf(device).standardText().empty() ? "the OBD standard" : "";
            for (int i = 0; i < CObdDiagnostic::kReadingCount; ++i) {
                if (obdOf(device).reading(i).enabled && obdOf(device).readingText(i).empty())
                    missing += (missing.empty() ? "" : ", ") + std::string(kReadings[i].name);
            }
            if (!missing.empty())
                return failed("the link to the controller was disturbed: no answer for " + missing + "; try again");
        }
        printReadings(device, json);
        return kExitOk;
    } catch (IError* e) {
        CErrorGuard error(e);
        return failed(error);
    }
}

int cmdDtc(const CliContext& context)
{
    std::vector<std::string> args = context.args;
    const bool demo = takeDemoOption(args);
    const bool clear = takeOption(args, "--clear");
    const bool yes = takeOption(args, "--yes");
    if (!args.empty())
        return usageError("dtc", "unexpected argument " + args.front());
    if (yes && !clear)
        return usageError("dtc", "--yes goes with --clear");
    CConsoleInteraction console(yes);
    CInteractionScope scope(console);
    try {
        CLPGDevice device(*context.ports);
        if (const int code = connectDevice(context, demo, device))
            return code;
        if (const int code = requireRead(device, CReadBlocks::DevInfo))
            return code;
        if (const int code = reachEngine(device, false))
            return code;
        if (clear) {
            switch (obdOf(device).clearTroubleCodes()) {
            case CObdDiagnostic::Outcome::Done:
                return kExitOk;
            case CObdDiagnostic::Outcome::Declined:
                return failed("the codes were not cleared (confirm with --yes)");
            case CObdDiagnostic::Outcome::NoAnswer:
                return failed("the engine computer does not answer");
            case CObdDiagnostic::Outcome::Refused:
            case CObdDiagnostic::Outcome::Incomplete:
                return failed("the engine computer refused to clear its codes");
            case CObdDiagnostic::Outcome::Failed:
                return linkDisturbed();
            }
            return kExitFailed;
        }
        std::vector<uint16_t> codes;
        const auto outcome = obdOf(device).readTroubleCodes(codes);
        if (outcome == CObdDiagnostic::Outcome::NoAnswer)
            return failed("the engine computer does not answer");
        if (outcome == CObdDiagnostic::Outcome::Failed)
            return linkDisturbed();
        if (outcome != CObdDiagnostic::Outcome::Done)
            return kExitFailed;
        const COBDCodes table;
        for (uint16_t code : codes)
            std::cout << toUtf8(table.description(code)) << "\n";
        std::cout.flush();
        // Said on stderr: scripts read no line on stdout as no code.
        if (codes.empty())
            std::cerr << toUtf8(translate(L"Brak zapisanych kodów")) << "\n";
        return kExitOk;
    } catch (IError* e) {
        CErrorGuard error(e);
        return failed(error);
    }
}
