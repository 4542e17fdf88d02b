// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli's OBD commands against the simulated controller and car: the
// readings with their units (plain and JSON), the stored trouble codes with
// their texts, clearing only when confirmed, detection with --connect on a
// car that is not on the recorded bus, and exit 1 when no engine computer answers
// (the controller then keeps the bus it was fitted with).
#include <childprocess.h>
#include <simprocess.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace std::chrono_literals;

class CliObd : public ::testing::Test {
protected:
    void start(std::vector<std::string> options = {})
    {
        m_sim = std::make_unique<CSimProcess>(std::move(options));
        ASSERT_TRUE(m_sim->start()) << m_sim->error();
        ASSERT_EQ(m_sim->send("engine idle"), "ok engine idle");
        std::string templ = (std::filesystem::temp_directory_path() / "korvana-cli-obd-XXXXXX").string();
        m_dir = ::mkdtemp(templ.data());
        m_env = { "XDG_CONFIG_HOME=" + m_dir + "/config", "HOME=" + m_dir, "LANG=C", "LC_MESSAGES=pl_PL.UTF-8" };
    }
    void TearDown() override
    {
        if (!m_dir.empty())
            std::filesystem::remove_all(m_dir);
    }
    // Record n of the simulator's store, as hex.
    std::string record(int n)
    {
        const std::string dump = m_sim->send("dump store");
        const std::string key = " record" + std::to_string(n) + "=";
        const auto at = dump.find(key);
        if (at == std::string::npos)
            return "<none>";
        const auto from = at + key.size();
        return dump.substr(from, dump.find(' ', from) - from);
    }
    ProgramResult cli(std::vector<std::string> args)
    {
        args.insert(args.begin(), { "--port", m_sim->ptyPath() });
        return runProgram(KORVANA_CLI, args, 30s, m_env);
    }

    std::unique_ptr<CSimProcess> m_sim;
    std::string m_dir;
    std::vector<std::string> m_env;
};

} // namespace

TEST_F(CliObd, ReadingsWithTheirUnits)
{
    start();
    const ProgramResult r = cli({ "obd" });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("protocol: CAN 11-bit 500kb/s\nstandard: OBD Europe (EOBD)\nengine computer: 0x7E8\n", 0), 0u)
        << r.out;
    // Four injectors: one bank; its own readings with units, the second bank's empty.
    for (const char* line : { "\nSTFT Bank 1: ", "\nLTFT Bank 1: ", "\nOS Bank 1-1: ", "\nOS Bank 1-2: " })
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    EXPECT_NE(r.out.find(" %\nLTFT Bank 1: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nSTFT Bank 2: -\nLTFT Bank 2: -\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" V\nOS Bank 1-2: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nOS Bank 2-2: -\n"), std::string::npos) << r.out;

    const ProgramResult json = cli({ "obd", "--json" });
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(json.out.rfind("{\"protocol\":\"CAN 11-bit 500kb/s\",\"standard\":\"OBD Europe (EOBD)\","
                             "\"engineAddress\":2024,\"readings\":[{\"name\":\"STFT Bank 1\",\"value\":",
                  0),
        0u)
        << json.out;
    EXPECT_NE(json.out.find("{\"name\":\"STFT Bank 2\",\"value\":null,\"unit\":\"%\"}"), std::string::npos) << json.out;
    EXPECT_EQ(json.out.back(), '\n');

    EXPECT_EQ(cli({ "obd", "extra" }).exitCode, 2);
}

TEST_F(CliObd, TroubleCodesListedAndClearedWhenConfirmed)
{
    start();
    ProgramResult r = cli({ "dtc" });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
        "P0171   System too Lean (Bank 1)\n"
        "P0300   Random/Multiple Cylinder Misfire Detected\n"
        "P0420   Catalyst System Efficiency Below Threshold (Bank 1)\n");

    // A code outside the table, and one that may stand for its P01xx neighbour.
    ASSERT_EQ(m_sim->send("dtc P0999 P0074"), "ok dtc P0999 P0074");
    r = cli({ "dtc" });
    EXPECT_EQ(r.out, "P0999  Nieznany \nP0074  Nieznany . Możliwe : P0174   System too Lean (Bank 2)\n") << r.err;

    r = cli({ "dtc", "--clear" });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(m_sim->send("dtc"), "ok dtc P0999 P0074") << "not confirmed, not cleared";
    EXPECT_EQ(cli({ "dtc", "--yes" }).exitCode, 2);

    r = cli({ "dtc", "--clear", "--yes" });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(m_sim->send("dtc"), "ok dtc");
    r = cli({ "dtc" });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "") << "no line is no code, for scripts";
    EXPECT_NE(r.err.find("Brak zapisanych kodów"), std::string::npos) << r.err;

    // Codes outside the powertrain: the letter from the top two bits, then four digits.
    ASSERT_EQ(m_sim->send("dtc U0100 C0035 B1000"), "ok dtc U0100 C0035 B1000");
    r = cli({ "dtc" });
    EXPECT_EQ(r.out.substr(0, 6), "U0100 ") << r.out;
    EXPECT_NE(r.out.find("\nC0035 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nB1000 "), std::string::npos) << r.out;
}

TEST_F(CliObd, ConnectFindsACarOnAnotherBus)
{
    start({ "--obd", "can29", "--obd-speed", "250" });
    ProgramResult r = cli({ "obd" });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("the engine computer does not answer"), std::string::npos) << r.err;
    EXPECT_EQ(cli({ "dtc" }).exitCode, 1);

    r = cli({ "obd", "--connect" });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(
        r.out.rfind("protocol: CAN 29-bit 250kb/s\nstandard: OBD Europe (EOBD)\nengine computer: 0x18DAF110\n", 0), 0u)
        << r.out;
    // The controller keeps the bus: the codes come without --connect now.
    r = cli({ "dtc" });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("P0171   System too Lean (Bank 1)\n", 0), 0u) << r.out;
}

TEST_F(CliObd, VinWholeOrNiepelny)
{
    start();
    ProgramResult r = cli({ "obd", "--vin" });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "KRVZZZ1ZZAK012345\n");
    r = cli({ "obd", "--vin", "--json" });
    EXPECT_EQ(r.out, "{\"vin\":\"KRVZZZ1ZZAK012345\"}\n");

    ASSERT_EQ(m_sim->send("vin KRVZZZ1ZZAK0123"), "ok vin KRVZZZ1ZZAK0123");
    r = cli({ "obd", "--vin" });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "") << "never a part of a VIN";
    EXPECT_NE(r.err.find("VIN niepełny"), std::string::npos) << r.err;
}

TEST_F(CliObd, NoEngineComputerIsAFailure)
{
    start({ "--obd", "none" });
    ProgramResult r = cli({ "dtc" });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    r = cli({ "obd" });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("the engine computer does not answer"), std::string::npos) << r.err;
}

TEST_F(CliObd, FailedDetectionLeavesTheConnectionRecordAsItWas)
{
    start({ "--obd", "none" });
    const std::string before = record(18);
    ASSERT_EQ(before.size(), 24u) << before;
    const ProgramResult r = cli({ "obd", "--connect" });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("the engine computer does not answer"), std::string::npos) << r.err;
    EXPECT_EQ(record(18), before) << "not the last bus tried";
}
