// SPDX-License-Identifier: GPL-3.0-or-later
// The port table on a fake /sys/class/tty, /dev and /dev/serial/by-id: which
// ttys count as ports (a device behind them, no phantom UART), their order and
// names, numbers that stay with their path, and the extra paths of --port and
// KORVANA_PORTS.
#include <app/device/controllersearch.h>
#include <app/platform/porttable.h>
#include <app/platform/profilestore.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class PortTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("korvana-ports-" + std::to_string(::getpid()));
        fs::remove_all(root);
        for (const char* d : { "sys", "dev", "byid", "devices", "drivers/serial8250", "drivers/ftdi_sio" })
            fs::create_directories(root / d);
        uart("ttyS0", 4);
        uart("ttyS1", 0); // phantom: nothing answers there
        uart("ttyS2", 4);
        uart("ttyS10", 4);
        node("ttyUSB0", "ftdi_sio");
        node("ttyACM0", "");
        fs::create_directories(root / "sys/tty0"); // a virtual terminal: no device
        fs::create_directories(root / "sys/console");
        fs::create_directory_symlink("../dev/ttyUSB0", root / "byid/usb-FTDI_FT232R_A1B2-if00-port0");
    }
    void TearDown() override { fs::remove_all(root); }

    void node(const std::string& name, const std::string& driver)
    {
        const fs::path device = root / "devices" / name;
        fs::create_directories(device);
        if (!driver.empty())
            fs::create_directory_symlink(root / "drivers" / driver, device / "driver");
        fs::create_directories(root / "sys" / name);
        fs::create_directory_symlink(device, root / "sys" / name / "device");
        std::ofstream(root / "dev" / name).put('\n');
    }
    void uart(const std::string& name, int type)
    {
        node(name, "serial8250");
        std::ofstream(root / "sys" / name / "type") << type << "\n";
    }

    std::string dev(const std::string& name) const { return (root / "dev" / name).string(); }

    fs::path root;
};

TEST_F(PortTable, PresentPortsInOrderWithNames)
{
    CPortTable t({ (root / "sys").string(), (root / "dev").string(), (root / "byid").string() });
    const auto ports = t.presentPorts();
    ASSERT_EQ(ports.size(), 5u);
    const struct {
        uint32_t number;
        std::string name;
        std::string description;
    } expected[] = {
        { 1, "ttyS0", "serial8250" },
        { 2, "ttyS2", "serial8250" },
        { 3, "ttyS10", "serial8250" },
        { 4, "ttyUSB0", "usb-FTDI_FT232R_A1B2-if00-port0" },
        { 5, "ttyACM0", "" },
    };
    for (std::size_t i = 0; i < ports.size(); ++i) {
        EXPECT_EQ(ports[i].number, expected[i].number) << i;
        EXPECT_EQ(ports[i].path, dev(expected[i].name)) << i;
        EXPECT_EQ(ports[i].description, expected[i].description) << i;
    }
}

TEST_F(PortTable, NumbersStayWithTheirPathForTheRun)
{
    CPortTable t({ (root / "sys").string(), (root / "dev").string(), (root / "byid").string() });
    // Looking a number up scans by itself.
    EXPECT_EQ(t.pathOf(4), dev("ttyUSB0"));

    fs::remove_all(root / "sys/ttyS2"); // unplugged
    fs::remove_all(root / "devices/ttyS2");
    node("ttyUSB1", "ftdi_sio");
    auto ports = t.presentPorts();
    ASSERT_EQ(ports.size(), 5u);
    EXPECT_EQ(ports[1].number, 3u); // ttyS10 keeps 3
    EXPECT_EQ(ports.back().path, dev("ttyUSB1"));
    EXPECT_EQ(ports.back().number, 6u); // 2 stays reserved for ttyS2
    EXPECT_EQ(t.pathOf(2), dev("ttyS2")); // and opening it fails like a missing device

    uart("ttyS2", 4); // back again
    ports = t.presentPorts();
    EXPECT_EQ(ports[1].number, 2u);
    EXPECT_EQ(ports[1].path, dev("ttyS2"));
    EXPECT_EQ(t.pathOf(7), "");
    EXPECT_EQ(t.pathOf(0), "");
}

// The adapter came back as ttyUSB1 (ttyUSB0 is now another one): its by-id
// link finds it, and the search tries it first rather than the stale path or
// number.
TEST_F(PortTable, LastAdapterFoundByIdentityUnderAnotherTty)
{
    CPortTable t({ (root / "sys").string(), (root / "dev").string(), (root / "byid").string() });
    const std::string id = "usb-FTDI_FT232R_A1B2-if00-port0";
    EXPECT_EQ(t.byIdOf(4), id);
    EXPECT_EQ(t.byIdOf(1), "");
    EXPECT_EQ(t.numberOfById(id), 4u);

    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = oldConfig ? oldConfig : "";
    ::setenv("XDG_CONFIG_HOME", (root / "cfg").c_str(), 1);
    CProfileStore profile;
    profile.storeLastPort(4, dev("ttyUSB0"), t.byIdOf(4));
    EXPECT_EQ(profile.lastPortId(), id);

    node("ttyUSB1", "ftdi_sio");
    fs::remove(root / "byid" / id);
    fs::create_directory_symlink("../dev/ttyUSB1", root / "byid" / id);
    fs::create_directory_symlink("../dev/ttyUSB0", root / "byid/usb-Other_Adapter_ZZ-if00-port0");
    const auto present = t.presentPorts();
    ASSERT_EQ(present.size(), 6u);
    EXPECT_EQ(present.back().path, dev("ttyUSB1"));
    const uint32_t moved = present.back().number;
    EXPECT_EQ(t.numberOfById(id), moved);
    EXPECT_EQ(lastSearchPort(profile, t, present), moved);
    EXPECT_EQ(searchOrder(lastSearchPort(profile, t, present), { 1, 2, 3, 4, 5, moved }).front(), moved);

    // Unplugged: the remembered path stands in (it names another adapter, but
    // that is what the fitter had before identities were kept).
    fs::remove(root / "byid" / id);
    EXPECT_EQ(t.numberOfById(id), 0u);
    EXPECT_EQ(lastSearchPort(profile, t, present), 4u);
    EXPECT_EQ(t.numberOfById("../dev/ttyUSB0"), 0u);

    // A later controller on a port without identity clears the old one.
    profile.storeLastPort(1, dev("ttyS0"), t.byIdOf(1));
    EXPECT_EQ(profile.lastPortId(), "");
    EXPECT_EQ(lastSearchPort(profile, t, present), 1u);

    if (oldConfig)
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

TEST_F(PortTable, ExtraPaths)
{
    CPortTable t({ (root / "sys").string(), (root / "dev").string(), (root / "byid").string() });
    t.presentPorts();
    const uint32_t null = t.addPath("/dev/null", "--port"); // a character device stands in for an adapter
    EXPECT_EQ(null, 6u);
    EXPECT_EQ(t.addPath("/dev/null", "--port"), null);
    // The same device through a link is the same port.
    fs::create_symlink("/dev/null", root / "link-to-null");
    EXPECT_EQ(t.addPath((root / "link-to-null").string(), "KORVANA_PORTS"), null);
    EXPECT_EQ(t.numberOf((root / "link-to-null").string()), null);
    // A known sysfs port given again keeps its number.
    EXPECT_EQ(t.addPath(dev("ttyUSB0"), "--port"), 4u);

    t.addPathList("/nonexistent/a::/nonexistent/b:", "KORVANA_PORTS");
    EXPECT_EQ(t.numberOf("/nonexistent/a"), 7u);
    EXPECT_EQ(t.numberOf("/nonexistent/b"), 8u);
    EXPECT_EQ(t.pathOf(8), "/nonexistent/b");

    const auto ports = t.presentPorts();
    ASSERT_EQ(ports.size(), 6u); // the missing extras are not present
    EXPECT_EQ(ports.back().number, null);
    EXPECT_EQ(ports.back().path, "/dev/null");
    EXPECT_EQ(ports.back().description, "--port");
}

TEST_F(PortTable, AtMost256Numbers)
{
    CPortTable t({ (root / "none").string(), (root / "dev").string(), (root / "byid").string() });
    for (int i = 1; i <= 256; ++i)
        ASSERT_EQ(t.addPath("/nonexistent/p" + std::to_string(i), "test"), static_cast<uint32_t>(i));
    EXPECT_EQ(t.addPath("/nonexistent/p257", "test"), 0u);
    EXPECT_EQ(t.addPath("", "test"), 0u);
}

} // namespace
