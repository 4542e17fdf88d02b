// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli automap|maps: the 2D chart's maps and the correction computed
// from them, from a script.
//   automap [--write] [--demo]   coverage per group of both maps, each slot's
//                                old value, change and new value, and the
//                                kilometres left; --write refuses as the page
//                                does, then writes the curve and reads it back
//   maps [--csv] [--demo]        the bins that hold samples: pressure, petrol
//                                mean and count, LPG mean and count
#include "cli.h"

#include <app/data/readblocks.h>
#include "cli_connect.h"

#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/tuning/automapping.h>
#include <app/tuning/chartmaps.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>
#include <errkit/utf8.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace {

constexpr const char* kGroupNames[] = { "cells 0-4", "cells 5-9", "cells 10-14", "cells 15-19" };

bool takeFlag(std::vector<std::string>& args, const char* flag)
{
    const auto it = std::find(args.begin(), args.end(), flag);
    if (it == args.end())
        return false;
    args.erase(it);
    return true;
}

void printCoverage(const char* fuel, const CChartMapRecord& map)
{
    const auto groups = map.groupCounts();
    std::printf(
        "%s map: %u samples, %s\n", fuel, static_cast<unsigned>(map.total), map.covered() ? "enough" : "too few");
    for (std::size_t g = 0; g < groups.size(); ++g)
        std::printf("  %-12s %6u of %u %s\n", kGroupNames[g], groups[g], CChartMapRecord::kGroupMinimum[g],
            groups[g] >= CChartMapRecord::kGroupMinimum[g] ? "ok" : "short");
}

int runAutomap(const CliContext& context, bool write, bool demo)
{
    CLPGDevice device(*context.ports);
    if (const int code = connectDevice(context, demo, device))
        return code;
    if (const int code = requireRead(device, CReadBlocks::SetupTimes1 | CReadBlocks::SetupTimes2 | CReadBlocks::AutomapSchedule | CReadBlocks::DevInfo))
        return code;
    CChartMaps maps;
    if (!maps.read(device))
        return failed("the chart maps could not be read");
    printCoverage("petrol", maps.petrol());
    printCoverage("LPG", maps.lpg());

    const CAutomapProposal p = CAutomapping::propose(maps, device.liveImage().m_setupTimes1);
    std::printf("slot  time[ms]  old[%%]  change[%%]  new[%%]\n");
    for (std::size_t i = 0; i < p.newCurve.size(); ++i)
        std::printf("%4zu  %8.1f  %6.0f  %9.2f  %6.0f\n", i, 1.0 + 0.5 * static_cast<double>(i), p.oldCurve[i],
            p.change[i], p.newCurve[i]);
    const CSettingsImage& image = device.liveImage();
    std::printf("automapping: %s, km left: %s\n",
        image.m_automapMode == 0       ? "off"
            : image.m_automapMode == 1 ? "once"
                                       : "repeating",
        toUtf8(CAutomapping::kmLeftText(image)).c_str());
    std::fflush(stdout);
    if (!write)
        return kExitOk;

    if (const std::wstring why = CAutomapping::refusal(maps, image); !why.empty())
        return failed("not written: " + toUtf8(translate(why)));
    CAutomapping automap;
    if (!automap.apply(device, p.newCurve))
        return kExitFailed;
    device.liveImage().m_setupTimes1.fill(0);
    if (!device.readBlock(CReadBlocks::SetupTimes1))
        return failed("the curve was written but could not be read back");
    if (device.liveImage().m_setupTimes1 != p.newCurve)
        return failed("the controller holds another curve than the one written");
    std::printf("curve written; clearing the LPG map now is recommended (korvana-cli has no command for it yet)\n");
    return kExitOk;
}

} // namespace

int cmdAutomap(const CliContext& context)
{
    std::vector<std::string> args = context.args;
    const bool demo = takeDemoOption(args);
    const bool write = takeFlag(args, "--write");
    if (!args.empty())
        return usageError("automap", "unexpected argument: " + args.front());
    try {
        return runAutomap(context, write, demo);
    } catch (IError* e) {
        CErrorGuard error(e);
        return failed(error);
    }
}

int cmdMaps(const CliContext& context)
{
    std::vector<std::string> args = context.args;
    const bool demo = takeDemoOption(args);
    const bool csv = takeFlag(args, "--csv");
    if (!args.empty())
        return usageError("maps", "unexpected argument: " + args.front());
    try {
        CLPGDevice device(*context.ports);
        if (const int code = connectDevice(context, demo, device))
            return code;
        if (const int code = requireRead(device, CReadBlocks::SetupTimes1 | CReadBlocks::SetupTimes2 | CReadBlocks::AutomapSchedule | CReadBlocks::DevInfo))
            return code;
        CChartMaps maps;
        if (!maps.read(device))
            return failed("the chart maps could not be read");
        std::printf(csv ? "pressure_kpa,petrol_ms,petrol_count,lpg_ms,lpg_count\n"
                        : "pressure[kPa]  petrol[ms]  count  LPG[ms]  count\n");
        for (int k = 0; k < CChartMaps::kBins; ++k) {
            const auto& bin = maps.bin(k);
            if (bin.count(0) == 0 && bin.count(1) == 0)
                continue;
            std::printf(csv ? "%d,%.2f,%zu,%.2f,%zu\n" : "%13d  %10.2f  %5zu  %7.2f  %5zu\n", 2 * k, bin.mean[0],
                bin.count(0), bin.mean[1], bin.count(1));
        }
        return kExitOk;
    } catch (IError* e) {
        CErrorGuard error(e);
        return failed(error);
    }
}
