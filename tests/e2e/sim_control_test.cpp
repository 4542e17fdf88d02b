// SPDX-License-Identifier: GPL-3.0-or-later
// The control channel's commands and replies, trouble-code parsing, the
// command line, and the state file: a controller saved and loaded again is
// the same controller, bootloader state included; a damaged file is refused.
#include "simtest.h"

#include <tools/sim/controlchannel.h>
#include <tools/sim/simoptions.h>
#include <tools/sim/statefile.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

std::string tempPath(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()))).string();
}

} // namespace

TEST(SimControl, CommandsChangeTheControllerAndAnswerOneLine)
{
    CSimulator sim(quietConfig());
    CControlChannel control(sim.controller(), sim.faults(), nullptr);

    EXPECT_EQ(control.execute("errors 00 0x00 03 0"), "ok errors 00 00 03 00");
    EXPECT_EQ(payloadOf(sim, 2, command(0x05), 6), (Bytes { 0, 0, 3, 0 }));
    EXPECT_EQ(control.execute("errors 00 00 100 00").rfind("error", 0), 0u);

    EXPECT_EQ(control.execute("engine idle"), "ok engine idle");
    // A tagged command gets its reply tagged the same; a bad tag is refused.
    EXPECT_EQ(control.execute("#41 engine idle"), "#41 ok engine idle");
    EXPECT_EQ(control.execute("#42 "), "#42 error empty command");
    EXPECT_EQ(control.execute("#x engine idle"), "error malformed tag");
    EXPECT_EQ(control.execute("#7"), "error malformed tag");
    EXPECT_EQ(control.execute("fuel lpg"), "ok fuel lpg");
    EXPECT_EQ(control.execute("advance 2").rfind("ok time 2.", 0), 0u);
    EXPECT_EQ(payloadOf(sim, 2, command(0x24), 1)[0], 3);
    EXPECT_EQ(control.execute("engine rpm 3000"), "ok engine rpm 3000");
    control.execute("advance 1");
    EXPECT_NEAR(sim.controller().engine().rpm(), 3000, 1);
    EXPECT_EQ(control.execute("engine rpm 90000").rfind("error", 0), 0u);

    EXPECT_EQ(control.execute("dtc P0171 c0035"), "ok dtc P0171 C0035");
    EXPECT_EQ(sim.controller().store().dtcs, (std::vector<uint16_t> { 0x0171, 0x4035 }));
    EXPECT_EQ(control.execute("dtc"), "ok dtc P0171 C0035");
    EXPECT_EQ(control.execute("dtc X0171").rfind("error", 0), 0u);

    EXPECT_EQ(control.execute("fault mixed 0.1"), "ok fault mixed 0.100000");
    EXPECT_EQ(sim.faults().kind(), FaultKind::Mixed);
    EXPECT_EQ(control.execute("fault silence"), "ok fault silence 1.000000");
    EXPECT_EQ(control.execute("fault off"), "ok fault off 0.000000");
    EXPECT_EQ(control.execute("fault loud").rfind("error", 0), 0u);
    // "after N": that many answers still pass, then the fault acts.
    EXPECT_EQ(control.execute("fault silence 1 after 2"), "ok fault silence 1.000000 after 2");
    EXPECT_FALSE(sim.faults().apply({ 0xAA, 0x55 }).empty());
    EXPECT_FALSE(sim.faults().apply({ 0xAA, 0x55 }).empty());
    EXPECT_TRUE(sim.faults().apply({ 0xAA, 0x55 }).empty());
    EXPECT_EQ(control.execute("fault type after 1"), "ok fault type 1.000000 after 1");
    EXPECT_EQ(control.execute("fault type after x").rfind("error", 0), 0u);
    EXPECT_EQ(control.execute("fault type 0.5 after").rfind("error", 0), 0u);
    EXPECT_EQ(control.execute("fault off"), "ok fault off 0.000000");

    const std::string status = control.execute("status");
    EXPECT_NE(status.find("mode=application"), std::string::npos) << status;
    EXPECT_NE(status.find("engine=rpm"), std::string::npos) << status;
    const std::string store = control.execute("dump store");
    EXPECT_NE(store.find(" record31=a00f3c0001428c28"), std::string::npos);
    EXPECT_EQ(store.find('\n'), std::string::npos);
    EXPECT_EQ(control.execute("live").size(), 3u + 2 * 82);

    EXPECT_EQ(control.execute("vanish"), "error no link");
    EXPECT_EQ(control.execute("save"), "error no --state file");
    EXPECT_EQ(control.execute("bogus").rfind("error unknown command", 0), 0u);
    EXPECT_FALSE(control.quitRequested());
    EXPECT_EQ(control.execute("quit"), "ok bye");
    EXPECT_TRUE(control.quitRequested());
}

TEST(SimControl, FlashDumpHasTheImageLayout)
{
    SimConfig config = quietConfig();
    config.bootloader = true;
    CSimulator sim(config);
    Bytes row = { 0x00, 0x20, 0, 0 };
    for (int i = 0; i < 192; ++i)
        row.push_back(static_cast<uint8_t>(i));
    ASSERT_EQ(payloadOf(sim, 0xF9, { 0x00, 0x20, 0, 0 }, 2)[0], 4);
    ASSERT_EQ(payloadOf(sim, 0xF7, row, 2)[0], 4);
    CControlChannel control(sim.controller(), sim.faults(), nullptr);
    const std::string path = tempPath("flash.bin");
    EXPECT_EQ(control.execute("dump flash " + path), "ok flash 79872 bytes");
    std::ifstream file(path, std::ios::binary);
    const Bytes image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::filesystem::remove(path);
    ASSERT_EQ(image.size(), 79872u);
    EXPECT_EQ(Bytes(image.begin() + 0x4000, image.begin() + 0x4008), (Bytes { 0, 1, 2, 0, 3, 4, 5, 0 }));
}

TEST(SimControl, TroubleCodeText)
{
    struct Case {
        const char* text;
        bool ok;
        uint16_t code;
    };
    for (const Case c : { Case { "P0171", true, 0x0171 }, Case { "p0300", true, 0x0300 }, Case { "B1234", true, 0x9234 },
                          Case { "U0100", true, 0xC100 }, Case { "0420", true, 0x0420 }, Case { "P01", false, 0 },
                          Case { "Q0171", false, 0 }, Case { "P01G1", false, 0 }, Case { "C4000", false, 0 } }) {
        uint16_t code = 0;
        EXPECT_EQ(CControlChannel::parseDtc(c.text, code), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(code, c.code) << c.text;
        }
    }
    EXPECT_EQ(CControlChannel::formatDtc(0xC100), "U0100");
}

TEST(SimControl, CommandLine)
{
    std::string message;
    bool help = false;
    auto o = parseSimOptions({ "--model", "16", "--version", "3.7", "--injectors", "6", "--pace", "--fault",
                               "mixed:0.1", "--link", "/tmp/x", "--obd", "iso14230", "--engine", "off" },
                             message, help);
    ASSERT_TRUE(o) << message;
    EXPECT_EQ(o->config.identity.model, 16);
    EXPECT_EQ(o->config.identity.version, 0x0307);
    EXPECT_EQ(o->config.identity.injectors, 6);
    EXPECT_TRUE(o->pace);
    EXPECT_EQ(o->fault, FaultKind::Mixed);
    EXPECT_DOUBLE_EQ(o->faultRate, 0.1);
    EXPECT_EQ(o->link, "/tmp/x");
    EXPECT_EQ(o->config.bus, ObdBus::Iso14230);
    EXPECT_EQ(o->config.engine, EngineState::Off);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(o->config.identity.serial.data())), "SIM0412345");

    o = parseSimOptions({ "--version", "0x0306" }, message, help);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->config.identity.version, 0x0306);
    EXPECT_FALSE(o->printVersion);
    // Without a firmware version after it, --version asks for the program's own.
    for (const std::vector<std::string>& own : { std::vector<std::string> { "--version" }, { "--version", "--pace" } }) {
        o = parseSimOptions(own, message, help);
        ASSERT_TRUE(o) << message;
        EXPECT_TRUE(o->printVersion) << own.size();
    }

    for (const std::vector<std::string>& bad : { std::vector<std::string> { "--model", "7" }, { "--injectors", "9" },
                                                 { "--fault", "loud" }, { "--fault", "drop:2" }, { "--model" },
                                                 { "--serial", "0123456789abcdef" }, { "--frobnicate" } }) {
        EXPECT_FALSE(parseSimOptions(bad, message, help)) << bad[0];
        EXPECT_FALSE(help);
        EXPECT_FALSE(message.empty());
    }
    EXPECT_FALSE(parseSimOptions({ "--help" }, message, help));
    EXPECT_TRUE(help);
}

TEST(SimState, SavedControllerLoadsBackTheSame)
{
    const std::string path = tempPath("sim-state");
    SimConfig config = quietConfig(EngineState::Idle);
    config.identity.model = 6;
    config.identity.version = 0x0305;
    std::string dumped;
    {
        CSimulator sim(config);
        Bytes base = payloadOf(sim, 2, command(0x07), 31);
        base[7] = 12;
        ASSERT_EQ(payloadOf(sim, 31, base, 2)[0], 4);
        sim.controller().advance(100);
        sim.controller().store().dtcs = { 0x0420 };
        sim.controller().store().errors = { 1, 0, 0, 0x10 };
        // Enter the bootloader and start programming: the next run must find it there.
        const Bytes code = { 'B', 'Q', '4', '0', '2', '9', '1', '7' };
        ASSERT_EQ(payloadOf(sim, 0xF6, code, 2)[0], 4);
        ASSERT_EQ(payloadOf(sim, 0xF9, { 0x00, 0x18, 0, 0 }, 2)[0], 4);
        Bytes row = { 0x00, 0x18, 0, 0 };
        row.resize(196, 0x3C);
        ASSERT_EQ(payloadOf(sim, 0xF7, row, 2)[0], 4);
        std::string error;
        ASSERT_TRUE(saveState(path, sim.controller(), error)) << error;
        CControlChannel control(sim.controller(), sim.faults(), nullptr);
        dumped = control.execute("dump store");
    }
    SimConfig other = quietConfig();
    CSimulator loaded(other); // model 5, version 3.6 until the file says otherwise
    std::string error;
    ASSERT_TRUE(loadState(path, loaded.controller(), error)) << error;
    std::filesystem::remove(path);
    CControlChannel control(loaded.controller(), loaded.faults(), nullptr);
    EXPECT_EQ(control.execute("dump store"), dumped);
    EXPECT_TRUE(loaded.controller().bootloaderMode());
    EXPECT_EQ(payloadOf(loaded, 2, { 0xCC, 0, 0, 4, 0, 0 }, 2)[0], 5);
    EXPECT_EQ(payloadOf(loaded, 2, command(0xC4), 2), (Bytes { 4, 248, 0, 0, 0, 0 }));
    EXPECT_EQ(loaded.controller().store().dtcs, (std::vector<uint16_t> { 0x0420 }));
    EXPECT_EQ(loaded.controller().bootloader().imageLayout()[0x3000], 0x3C);
    // Still no application: a restart without a finished programming stays put.
    EXPECT_EQ(payloadOf(loaded, 2, command(0x0A), 2)[0], 4);
    EXPECT_TRUE(loaded.controller().bootloaderMode());
}

TEST(SimState, DamagedFilesAreRefused)
{
    const std::string path = tempPath("sim-bad-state");
    for (const char* text : { "not a state file\n", "korvana-sim-state 1\nrecord 31 a00f\n",
                              "korvana-sim-state 1\nmodel five\n", "korvana-sim-state 1\nmemory 1000 00\n" }) {
        {
            std::ofstream file(path);
            file << text;
        }
        CSimulator sim(quietConfig());
        std::string error;
        EXPECT_FALSE(loadState(path, sim.controller(), error)) << text;
        EXPECT_FALSE(error.empty());
    }
    std::filesystem::remove(path);
    CSimulator sim(quietConfig());
    std::string error;
    EXPECT_FALSE(loadState(path, sim.controller(), error));
}
