// SPDX-License-Identifier: GPL-3.0-or-later
// The serial port on a pseudo-terminal: the line settings it leaves, the read
// time-out rule, purging, exclusive open, and the error objects of every
// operation (codes, lines, texts with the OS error number and message).
#include <app/device/lpgdevice.h>
#include <app/device/serialport.h>
#include <app/platform/porttable.h>

#include "ptypeer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

namespace {

using Bytes = PtyPeer::Bytes;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

long msSince(Clock::time_point start)
{
    return static_cast<long>(std::chrono::duration_cast<milliseconds>(Clock::now() - start).count());
}

// Runs f, which must throw an IError*; returns it owned.
std::unique_ptr<IError> thrown(const std::function<void()>& f)
{
    try {
        f();
    } catch (IError* e) {
        return std::unique_ptr<IError>(e);
    }
    return nullptr;
}

uint32_t numberOf(IPortTable& ports, const PtyPeer& peer)
{
    return ports.addPath(peer.path(), "test");
}

TEST(RSError, MessagesNameAndCodes)
{
    const wchar_t* const expected[] = {
        L"Błąd z poza zdefiniowanego zakresu", L"Operacja nie zaimplementowana", L"", L"", L"Błąd czasu wykonania",
        L"Nie można otworzyć portu RS.", L"Nie można wykonać operacji na RS.",
    };
    for (uint32_t code = 0; code < 7; ++code)
        EXPECT_EQ(CRSError(code, L"", 0, L"").getMsg(), expected[code]) << code;
    EXPECT_EQ(CRSError(7, L"", 0, L"").getMsg(), expected[0]);
    EXPECT_EQ(CRSError().name(), L"CRSError");
}

TEST(SerialPort, MissingDeviceGivesCodeFiveWithTheOsText)
{
    PtyPeer peer;
    CPortTable ports;
    CSerialPort port(ports);
    const uint32_t good = numberOf(ports, peer);
    port.open(good);
    const uint32_t missing = ports.addPath("/nonexistent/korvana-tty", "test");
    auto e = thrown([&] { port.open(missing); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->name(), L"CRSError");
    EXPECT_EQ(e->getCode(), 5u);
    EXPECT_EQ(e->getLine(), 67);
    EXPECT_EQ(e->getFile(), L"serialport");
    EXPECT_EQ(e->getText(),
              L"CSerialPort::open(" + std::to_wstring(missing) + L") - GetLastError()=2 (No such file or directory)");
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.portNr(), good);

    // A number the table has no path for fails the same way.
    e = thrown([&] { port.open(300); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->getText(), L"CSerialPort::open(300) - GetLastError()=2 (No such file or directory)");
}

TEST(SerialPort, OperationsOnAClosedPortGiveCodeSix)
{
    CPortTable ports;
    CSerialPort port(ports);
    port.close();
    port.close(); // twice is harmless
    EXPECT_FALSE(port.isOpen());
    uint8_t b[4] = {};
    struct Case {
        const char* name;
        std::function<void()> op;
        int32_t line;
        std::wstring text;
    };
    const std::wstring badFd = L"9 (Bad file descriptor)";
    const Case cases[] = {
        { "read", [&] { port.read(b, 4); }, 166, L"CSerialPort::read() - GetLastError()=" + badFd },
        { "write", [&] { port.write(b, 4); }, 182, L"CSerialPort::write() - GetLastError()=" + badFd },
        { "setState", [&] { port.setState(CDeviceLink::kLineSettings); }, 106,
          L"CSerialPort::setState() \n GetLastError() = " + badFd + L"\n clearCommError() = 9" },
        { "setTimeout", [&] { port.setTimeout(CDeviceLink::kLinkTimeouts); }, 151,
          L"CSerialPort::setTimeout() \n GetLastError() = " + badFd + L"\n clearCommError() = 9" },
        { "purgeIn", [&] { port.purgeIn(); }, 201,
          L"CSerialPort::purgeIn() \n GetLastError() = " + badFd + L"\n clearCommError() = 9" },
    };
    for (const auto& c : cases) {
        auto e = thrown(c.op);
        ASSERT_TRUE(e) << c.name;
        EXPECT_EQ(e->getCode(), 6u) << c.name;
        EXPECT_EQ(e->getLine(), c.line) << c.name;
        EXPECT_EQ(e->getFile(), L"serialport") << c.name;
        EXPECT_EQ(e->getText(), c.text) << c.name;
    }
    EXPECT_EQ(port.clearCommError(), 9u);
}

TEST(SerialPort, ConfiguredLineIsRaw38400EightNoneOne)
{
    PtyPeer peer;
    CLPGDevice device;
    device.link().configurePort(numberOf(device.link().ports(), peer));
    const termios t = peer.settings();
    EXPECT_EQ(cfgetospeed(&t), B38400);
    EXPECT_EQ(cfgetispeed(&t), B38400);
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t { CS8 });
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_NE(t.c_cflag & CLOCAL, 0u);
    // No modem lines and no error counters on a pseudo-terminal: not a failure.
    EXPECT_EQ(device.link().port().clearCommError(), 0u);
}

TEST(SerialPort, ReadWaitsForTheCountOrTheTimeOut)
{
    PtyPeer peer;
    CPortTable ports;
    CSerialPort port(ports);
    port.open(numberOf(ports, peer));
    port.setState(CDeviceLink::kLineSettings);
    uint8_t b[16] = {};

    // Bytes that come in pieces are collected into one read. The time-out is
    // long here so that a loaded machine cannot split the pieces by more.
    port.setTimeout({ 0, 1, 5000, 0, 0 });
    std::thread sender([&] {
        peer.send({ 1, 2, 3 });
        std::this_thread::sleep_for(milliseconds(30));
        peer.send({ 4, 5, 6 });
    });
    EXPECT_EQ(port.read(b, 6), 6u);
    sender.join();
    EXPECT_EQ(Bytes(b, b + 6), (Bytes { 1, 2, 3, 4, 5, 6 }));

    // Fewer than asked: what came, after 100 + 10 ms.
    port.setTimeout({ 0, 1, 100, 0, 0 }); // the link's rule, with 100 ms instead of 1000
    peer.send({ 7, 8 });
    auto start = Clock::now();
    EXPECT_EQ(port.read(b, 10), 2u);
    EXPECT_GE(msSince(start), 110);

    // Nothing at all: 0, not an error.
    start = Clock::now();
    EXPECT_EQ(port.read(b, 4), 0u);
    EXPECT_GE(msSince(start), 104);
}

TEST(SerialPort, PurgeDiscardsWhatWasReceived)
{
    PtyPeer peer;
    CPortTable ports;
    CSerialPort port(ports);
    port.open(numberOf(ports, peer));
    port.setState(CDeviceLink::kLineSettings);
    port.setTimeout({ 0, 0, 20, 0, 0 });
    peer.send({ 9, 9, 9 });
    ASSERT_TRUE(peer.waitQueuedAtPort(3, milliseconds(1000)));
    port.purgeIn();
    uint8_t b[3] = {};
    EXPECT_EQ(port.read(b, 3), 0u);
    EXPECT_EQ(port.write(b, 3), 3u); // the transmit side still works
    EXPECT_EQ(peer.receive(3, milliseconds(500)).size(), 3u);
}

TEST(SerialPort, SecondOpenOfTheSameDeviceIsRefusedUntilTheFirstCloses)
{
    PtyPeer peer;
    CPortTable ports;
    const uint32_t n = numberOf(ports, peer);
    CSerialPort first(ports);
    CSerialPort second(ports);
    first.open(n);
    auto e = thrown([&] { second.open(n); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->getCode(), 5u);
    EXPECT_NE(e->getText().find(L"GetLastError()=16 (Device or resource busy)"), std::wstring::npos) << e->getText();
    first.close();
    second.open(n);
    EXPECT_TRUE(second.isOpen());
}

TEST(SerialPort, VanishedDeviceFailsTheRead)
{
    auto peer = std::make_unique<PtyPeer>();
    CPortTable ports;
    CSerialPort port(ports);
    port.open(numberOf(ports, *peer));
    port.setState(CDeviceLink::kLineSettings);
    port.setTimeout(CDeviceLink::kLinkTimeouts);
    peer->hangUp();
    uint8_t b[4] = {};
    auto e = thrown([&] { port.read(b, 4); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->getCode(), 6u);
    EXPECT_EQ(e->getText(), L"CSerialPort::read() - GetLastError()=5 (Input/output error)");
}

} // namespace
