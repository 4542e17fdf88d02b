// SPDX-License-Identifier: GPL-3.0-or-later
// The record of what an operation left changed: one item per key, put back
// in the order first noted, stopping at the first step that fails (it and
// the items after it stay), and the shell commands with their options quoted
// where the shell needs it.
#include <app/device/putbacklist.h>

#include <gtest/gtest.h>

TEST(LeftChanged, PutsBackInOrderAndKeepsWhatFailed)
{
    CPutBackList left;
    std::vector<std::string> ran;
    bool fuelWorks = false;
    left.note({ "delay", L"delay 0 s", "set m_base.m_emulatorDelay 0.3", [&] {
                   ran.push_back("delay");
                   return true;
               } });
    left.note({ "fuel", L"fuel LPG", "switch auto", [&] {
                   ran.push_back("fuel");
                   return fuelWorks;
               } });
    left.note({ "map", L"map", "map set x", [&] {
                   ran.push_back("map");
                   return true;
               } });
    // A later note of a key replaces the item where it stands.
    left.note({ "delay", L"delay 1 s", "set m_base.m_emulatorDelay 0.3", [&] {
                   ran.push_back("delay");
                   return true;
               } });
    EXPECT_EQ(left.describe(), L"delay 1 s\nfuel LPG\nmap");

    EXPECT_FALSE(left.putBack());
    EXPECT_EQ(ran, (std::vector<std::string> { "delay", "fuel" }));
    EXPECT_EQ(left.describe(), L"fuel LPG\nmap");
    EXPECT_EQ(left.commands({ "--port", "/dev/ttyUSB0" }),
              (std::vector<std::string> { "korvana-cli --port /dev/ttyUSB0 switch auto",
                                          "korvana-cli --port /dev/ttyUSB0 map set x" }));
    EXPECT_EQ(left.commands({ "--port", "/tmp/it's here" }).front(),
              "korvana-cli --port '/tmp/it'\\''s here' switch auto");

    fuelWorks = true;
    EXPECT_TRUE(left.putBack());
    EXPECT_TRUE(left.empty());
    EXPECT_EQ(ran, (std::vector<std::string> { "delay", "fuel", "fuel", "map" }));
}
