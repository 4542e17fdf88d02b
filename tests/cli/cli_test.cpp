// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli run as a program: the port list, one raw exchange against a
// peer on a pseudo-terminal (request as sent, answer as printed), and the
// exit codes 0, 1 and 2.
#include "childprocess.h"
#include "ptypeer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <unistd.h>

namespace {

using Bytes = PtyPeer::Bytes;
using std::chrono::milliseconds;

const std::string kCli = KORVANA_CLI;

ProgramResult cli(const std::vector<std::string>& args, const std::vector<std::string>& env = {})
{
    return runProgram(kCli, args, milliseconds(10000), env);
}

TEST(Cli, PortsListsExtraPathsFromTheEnvironment)
{
    PtyPeer peer;
    const auto r = cli({ "ports" }, { "KORVANA_PORTS=/nonexistent/x:" + peer.path() });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    // The missing path is not present; the pseudo-terminal is, with where it came from.
    EXPECT_EQ(r.out.find("/nonexistent/x"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\t" + peer.path() + "\tKORVANA_PORTS\n"), std::string::npos) << r.out;
}

TEST(Cli, RawMakesOneExchangeAndPrintsTheAnswer)
{
    struct Case {
        std::vector<std::string> hex;
        Bytes requestPayload;
        Bytes answer;
        std::string printed;
    };
    const Case cases[] = {
        { { "0d0000000000" }, { 0x0D, 0, 0, 0, 0, 0 },
          { 0xAA, 0x55, 0x08, 0x02, 0x00, 0x03, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x12 },
          "2: 04 00 00 00 00 00\n" },
        { { "0D 00", "01" }, { 0x0D, 0x00, 0x01 }, PtyPeer::frame(0x31, 0x4321, { 0xAB, 0xCD, 0xEF }),
          "49: ab cd ef\n" },
        // An empty request; an empty answer (length byte 2) is refused by the exchange itself.
        { {}, {}, PtyPeer::frame(7, 0x0001, { 0x00 }), "7: 00\n" },
    };
    for (const auto& c : cases) {
        PtyPeer peer;
        peer.serve([&c](const Bytes&) { return std::vector<PtyPeer::Reply> { { c.answer } }; });
        std::vector<std::string> args { "--port", peer.path(), "raw", "2" };
        args.insert(args.end(), c.hex.begin(), c.hex.end());
        const auto r = cli(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, c.printed);
        const auto requests = peer.requests();
        ASSERT_EQ(requests.size(), 1u); // exactly one exchange
        const auto f = PtyPeer::parse(requests[0]);
        ASSERT_TRUE(f && f->checksumOk) << PtyPeer::hex(requests[0]);
        EXPECT_EQ(f->type, 2);
        EXPECT_EQ(f->payload, c.requestPayload);
    }
}

TEST(Cli, FailedExchangeOrPortExitsOne)
{
    PtyPeer peer;
    Bytes bad = PtyPeer::frame(2, 0x0003, { 4, 0, 0, 0, 0, 0 });
    bad.back() ^= 1;
    peer.serve([&bad](const Bytes&) { return std::vector<PtyPeer::Reply> { { bad } }; });
    auto r = cli({ "--port", peer.path(), "raw", "2", "0d0000000000" });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("checksum"), std::string::npos) << r.err;

    r = cli({ "--port", "/nonexistent/ttyUSB9", "raw", "2", "00" });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Nie można otworzyć portu RS."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("(No such file or directory)"), std::string::npos) << r.err;
}

TEST(Cli, LogGoesToTheStateFolderAndWithVerboseToStderr)
{
    std::string dir = (std::filesystem::temp_directory_path() / "korvana-cli-log-XXXXXX").string();
    ASSERT_NE(::mkdtemp(dir.data()), nullptr);
    const std::vector<std::string> env { "XDG_STATE_HOME=" + dir };
    const std::string file = dir + "/korvana/korvana.log";
    auto readLog = [&file] {
        std::ifstream in(file);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };

    auto r = cli({ "--port", "/nonexistent/ttyUSB9", "raw", "2", "00" }, env);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.find("cli: korvana-cli"), std::string::npos) << "no log on stderr without --verbose\n" << r.err;
    std::string log = readLog();
    EXPECT_NE(log.find("cli: korvana-cli --port /nonexistent/ttyUSB9 raw 2 00"), std::string::npos) << log;
    // The error shown on stderr is in the file as well.
    EXPECT_NE(log.find("(No such file or directory)"), std::string::npos) << log;

    // Before or after the command.
    r = cli({ "--port", "/nonexistent/ttyUSB9", "raw", "2", "00", "--verbose" }, env);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cli: korvana-cli --port"), std::string::npos) << r.err;
    r = cli({ "--verbose", "ports" }, env);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("cli: ports ended with status 0"), std::string::npos) << r.err;
    EXPECT_NE(readLog().find("cli: ports ended with status 0"), std::string::npos);

    std::filesystem::remove_all(dir);
}

TEST(Cli, BadUsageExitsTwo)
{
    const std::vector<std::vector<std::string>> cases = {
        {},
        { "frobnicate" },
        { "--port" },
        { "--port", "COM3", "raw" },
        { "--port", "COM3", "raw", "256", "00" },
        { "--port", "COM3", "raw", "x2", "00" },
        { "--port", "COM3", "raw", "2", "0d0" },
        { "--port", "COM3", "raw", "2", "zz" },
        { "--port", "COM3", "raw", "2", std::string(254 * 2, '0') },
        { "--port", "COM0", "raw", "2", "00" },
        { "--port", "COM257", "raw", "2", "00" },
        { "--port", "ttyUSB0", "raw", "2", "00" },
        { "raw", "2", "00" }, // no port
        { "ports", "extra" },
        // A port argument that is none is bad usage for every command, not a failed connection.
        { "--port", "abc", "info" },
        { "--port=", "info" },
        { "--port", "COM0", "errors" },
        { "--port", "abc", "backup", "car.settings" },
        { "--port", "257", "flash", "fw.afm" },
    };
    for (const auto& args : cases) {
        const auto r = cli(args);
        std::string joined;
        for (const auto& a : args)
            joined += a + " ";
        EXPECT_EQ(r.exitCode, 2) << joined << "\n" << r.err;
        EXPECT_FALSE(r.err.empty()) << joined;
    }
}

TEST(Cli, AfmInfoOnAFolderSaysItIsNoFile)
{
    std::string templ = (std::filesystem::temp_directory_path() / "korvana-cli-afm-XXXXXX").string();
    const std::string folder = ::mkdtemp(templ.data());
    const auto r = cli({ "afm-info", folder });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(folder + ": refused: it is not a file"), std::string::npos) << r.err;
    ::rmdir(folder.c_str());
}

} // namespace

// A port another program holds: ports lists it and says on stderr who holds
// it; info on it fails with that holder named.
TEST(Cli, BusyPortNamesItsHolder)
{
    PtyPeer peer;
    const int fd = ::open(peer.path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    const std::string holder = "(pid " + std::to_string(::getpid()) + ")";

    auto r = cli({ "ports" }, { "KORVANA_PORTS=" + peer.path() });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(peer.path()), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(peer.path() + " is busy: held by"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(holder), std::string::npos) << r.err;

    r = cli({ "--port", peer.path(), "info" });
    ::close(fd);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find(holder), std::string::npos) << r.err;
}
