// SPDX-License-Identifier: GPL-3.0-or-later
// What korvana-cli tells a fitter when it cannot connect on the port given:
// a missing path, a plain file or a folder, a port another program holds, a
// port the user may not open, a model it does not know, a controller waiting
// in its bootloader and a link that drops while connecting each get their own
// words instead of "no controller answered"; a port where nothing answers
// still gets those. And a flash whose rows were all written but after which
// the controller stayed silent says the firmware was programmed.
#include "connectiontest.h"

#include "childprocess.h"

#include <afmbuilder.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

using namespace std::chrono_literals;

class CliPortMessages : public ConnectionTest {
protected:
    ProgramResult cli(const std::vector<std::string>& args)
    {
        return runProgram(KORVANA_CLI, args, 30s, { "XDG_CONFIG_HOME=" + m_dir + "/cfg", "HOME=" + m_dir });
    }
    // info on port; the exit code must be 1 and stderr must hold expected.
    void expectInfoFails(const std::string& port, const std::string& expected)
    {
        const ProgramResult r = cli({ "--port", port, "info" });
        EXPECT_EQ(r.exitCode, 1) << port;
        EXPECT_NE(r.err.find(expected), std::string::npos) << r.err;
    }
};

// Runs korvana-cli as a user without privileges (nobody when the tests run as
// root, whom no file mode stops); returns its exit code and stderr. The
// program runs from a copy in a folder that user can reach: the build tree
// may sit where it cannot.
ProgramResult cliAsUnprivilegedUser(const std::vector<std::string>& args)
{
    static const std::string program = [] {
        std::string templ = (std::filesystem::temp_directory_path() / "korvana-cli-copy-XXXXXX").string();
        const std::string dir = ::mkdtemp(templ.data());
        ::chmod(dir.c_str(), 0755);
        std::string copy = dir + "/korvana-cli";
        std::filesystem::copy_file(KORVANA_CLI, copy);
        ::chmod(copy.c_str(), 0755);
        return copy;
    }();
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(pipeFds[1], 2);
        ::close(pipeFds[0]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            _exit(99);
        std::vector<char*> argv { const_cast<char*>(program.c_str()) };
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::setenv("XDG_CONFIG_HOME", "/nonexistent", 1);
        ::execv(program.c_str(), argv.data());
        _exit(98);
    }
    ::close(pipeFds[1]);
    ProgramResult r;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        r.err.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status))
        r.exitCode = WEXITSTATUS(status);
    return r;
}

TEST_F(CliPortMessages, EachPortFailureSaysWhatIsWrong)
{
    expectInfoFails("/nonexistent/ttyUSB7", "/nonexistent/ttyUSB7 does not exist");

    const std::string plain = m_dir + "/plain";
    std::ofstream(plain) << "not a tty";
    expectInfoFails(plain, plain + " is not a serial port");
    expectInfoFails(m_dir, m_dir + " is not a serial port");

    {
        // Another program has the adapter and holds its lock.
        PtyPeer peer;
        const int holder = ::open(peer.path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(holder, 0);
        ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
        expectInfoFails(peer.path(), peer.path() + " is held by another program");
        ::close(holder);
    }
    {
        PtyPeer peer;
        ASSERT_EQ(::chmod(peer.path().c_str(), ::geteuid() == 0 ? 0600 : 0), 0);
        const ProgramResult r = cliAsUnprivilegedUser({ "--port", peer.path(), "info" });
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("no permission to open " + peer.path()), std::string::npos) << r.err;
    }
    {
        // The port works; nothing on it answers.
        PtyPeer peer;
        expectInfoFails(peer.path(), "no controller answered on " + peer.path());
    }
}

TEST_F(CliPortMessages, SeveralPortsAreSearchedTogetherAndEachToldInTheOrderGiven)
{
    PtyPeer held;
    const int holder = ::open(held.path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    PtyPeer silent;
    const std::string missing = m_dir + "/ttyUSB9";
    const ProgramResult r = cli({ "--port", silent.path(), "--port", missing, "--port", held.path(), "info" });
    ::close(holder);
    EXPECT_EQ(r.exitCode, 1);
    const std::size_t first = r.err.find("no controller answered on " + silent.path());
    const std::size_t second = r.err.find(missing + " does not exist");
    const std::size_t third = r.err.find(held.path() + " is held by another program");
    EXPECT_NE(third, std::string::npos) << r.err;
    EXPECT_LT(first, second) << r.err;
    EXPECT_LT(second, third) << r.err;

    // A controller among them is found; one --port alone is that port only.
    auto sim = startSim();
    const ProgramResult found = cli({ "--port", silent.path(), "--port", sim->ptyPath(), "info" });
    EXPECT_EQ(found.exitCode, 0) << found.err;
    EXPECT_NE(found.out.find("m_serial:"), std::string::npos) << found.out;
    expectInfoFails(silent.path(), "no controller answered on " + silent.path());
}

TEST_F(CliPortMessages, ControllerStatesThatAreNoAnswer)
{
    {
        PtyPeer peer;
        peer.serve([](const Bytes& request) {
            const auto f = PtyPeer::parse(request);
            if (f && isCommand(*f, 0xCC))
                return std::vector<PtyPeer::Reply> { { PtyPeer::frame(2, 0x0042, { 4, 7, 85, 0, 0, 0 }) } };
            return std::vector<PtyPeer::Reply> {};
        });
        expectInfoFails(peer.path(), "is of a model this program does not know");
    }
    {
        auto sim = startSim({ "--model", "5", "--bootloader" });
        expectInfoFails(sim->ptyPath(), "the controller on " + sim->ptyPath() + " is in its bootloader");
    }
    {
        // Identified, then the cable is pulled while the settings are read.
        PtyPeer peer;
        peer.serve([](const Bytes& request) {
            const auto f = PtyPeer::parse(request);
            if (f && isCommand(*f, 0xCC))
                return std::vector<PtyPeer::Reply> { { PtyPeer::frame(2, 0x0042, { 4, 5, 85, 0, 0, 0 }) } };
            return std::vector<PtyPeer::Reply> {};
        });
        auto run = std::async(std::launch::async, [&] { return cli({ "--port", peer.path(), "info" }); });
        ASSERT_TRUE(waitFor([&] { return peer.requests().size() >= 2; }));
        peer.hangUp();
        const ProgramResult r = run.get();
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("the link to the controller on " + peer.path() + " was lost"), std::string::npos) << r.err;
    }
}

TEST_F(CliPortMessages, FlashProgrammedButSilentAfterwards)
{
    AfmContent content;
    content.image = syntheticImage(*afmModel(5), 0x0307, 3);
    content.version = 0x0307;
    content.modelName = afmModel(5)->name;
    const auto bytes = buildAfm(content);
    const std::string file = m_dir + "/fw.afm";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));

    auto sim = startSim({ "--model", "5", "--version", "3.6" });
    // The first identification passes; the controller restarted after programming never answers again.
    std::atomic<int> identifications { 0 };
    CSimProxy proxy(sim->ptyPath(), [&](const PtyPeer::Frame& f) -> std::optional<Bytes> {
        if (isCommand(f, 0xCC) && ++identifications > 1)
            return Bytes {};
        if (identifications > 1)
            return Bytes {};
        return std::nullopt;
    });
    const ProgramResult r = cli({ "--port", proxy.path(), "flash", file });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("row 248 of 248"), std::string::npos) << r.err;
    EXPECT_NE(
        r.err.find("the firmware was programmed, but the controller did not answer afterwards"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("the firmware was not programmed"), std::string::npos) << r.err;
    EXPECT_NE(sim->send("status").find("version=0x0307"), std::string::npos);
}

} // namespace
