// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli info [--json] [--demo]: connects (reading every block) and
// prints the controller's identity and working-time counters, as
// "key: value" lines or as one JSON object keyed by the identity's members.
#include "cli.h"
#include "cli_connect.h"

#include <app/data/workingtime.h>
#include <app/device/lpgdevice.h>
#include <app/platform/textcodec.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <cstdio>
#include <iostream>
#include <sstream>

namespace {

std::string versionText(int32_t version)
{
    return std::to_string(version >> 8 & 0xFF) + "." + std::to_string(version & 0xFF);
}

// "Info"'s working times and the km to the inspection (empty while the reminder is off).
std::string kmText(const CSettingsImage& image)
{
    const auto km = kmToInspection(image);
    return km ? std::to_string(*km) : std::string();
}

void printPlain(const CSettingsImage& image, bool withStatistic)
{
    const CDevInfo& d = image.m_devInfo;
    std::cout << "m_modelName: " << toUtf8(d.m_modelName) << "\n"
              << "m_version: " << versionText(d.m_version) << "\n"
              << "m_injCount: " << d.m_injCount << "\n"
              << "m_serial: " << toUtf8(d.m_serial) << "\n"
              << "m_prodDate: " << toUtf8(d.m_prodDate) << "\n"
              << "m_deviceID: " << unsigned { d.m_deviceID } << "\n"
              << "m_flags1: " << d.m_flags1 << "\n"
              << "m_flags2: " << d.m_flags2 << "\n";
    if (withStatistic) {
        std::cout << "m_statistic.gas: " << d.m_statistic.gas << "\n"
                  << "m_statistic.lpg: " << d.m_statistic.lpg << "\n"
                  << "m_statistic.modify: " << d.m_statistic.modify << "\n"
                  << "Na benzynie: " << toUtf8(workingTimeText(d.m_statistic.gas)) << "\n"
                  << "Na gazie: " << toUtf8(workingTimeText(d.m_statistic.lpg)) << "\n"
                  << "km do inspekcji: " << kmText(image) << "\n";
    }
    if (!changedSinceLine().empty())
        std::cout << toUtf8(changedSinceLine()) << "\n";
}

void printJson(const CSettingsImage& image, bool withStatistic)
{
    const CDevInfo& d = image.m_devInfo;
    std::ostringstream out;
    out << "{\"m_modelName\":" << jsonString(toUtf8(d.m_modelName)) << ",\"m_version\":" << d.m_version
        << ",\"m_injCount\":" << d.m_injCount << ",\"m_serial\":" << jsonString(toUtf8(d.m_serial))
        << ",\"m_prodDate\":" << jsonString(toUtf8(d.m_prodDate)) << ",\"m_deviceID\":" << unsigned { d.m_deviceID }
        << ",\"m_flags1\":" << d.m_flags1 << ",\"m_flags2\":" << d.m_flags2 << ",\"m_statistic\":";
    if (withStatistic) {
        out << "{\"gas\":" << d.m_statistic.gas << ",\"lpg\":" << d.m_statistic.lpg
            << ",\"modify\":" << d.m_statistic.modify << "},\"petrolTime\":"
            << jsonString(toUtf8(workingTimeText(d.m_statistic.gas))) << ",\"lpgTime\":"
            << jsonString(toUtf8(workingTimeText(d.m_statistic.lpg))) << ",\"kmToInspection\":";
        const auto km = kmToInspection(image);
        out << (km ? std::to_string(*km) : "null");
    } else {
        out << "null";
    }
    if (!changedSinceLine().empty())
        out << ",\"changedSince\":" << jsonString(toUtf8(changedSinceLine()));
    out << "}\n";
    std::cout << out.str();
}

} // namespace

int cmdInfo(const CliContext& context)
{
    std::vector<std::string> args = context.args;
    const bool demo = takeDemoOption(args);
    bool json = false;
    for (const auto& arg : args) {
        if (arg == "--json")
            json = true;
        else
            return usageError("info", "unexpected argument " + arg);
    }
    try {
        CLPGDevice device(*context.ports);
        if (const int code = connectDevice(context, demo, device))
            return code;
        const bool statistic = device.readStatistics();
        if (json)
            printJson(device.liveImage(), statistic);
        else
            printPlain(device.liveImage(), statistic);
        if (!statistic)
            return failed("the working-time counters could not be read");
        return kExitOk;
    } catch (IError* e) {
        CErrorGuard error(e);
        return failed(error);
    }
}
