// SPDX-License-Identifier: GPL-3.0-or-later
// The shell's rules that need no window: the connection watchdog's tick
// count, the frame's minimum size and caption font, the view font, the tank
// level index (normal and reversed sensors), the console picture with its
// blinking at every fourth refresh, the fuel button to light, and the
// program's command line.
#include <app/data/settingsimage.h>
#include <app/shell/appoptions.h>
#include <app/shell/connectionwatchdog.h>
#include <app/shell/framegeometry.h>
#include <app/shell/viewdisplaystate.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

using Action = CConnectionWatchdog::EAction;

// Ticks until the watchdog asks for a search; -1 when it does not within limit.
int ticksToSearch(CConnectionWatchdog& dog, bool connected, int limit = 100)
{
    for (int i = 1; i <= limit; ++i)
        if (dog.tick(connected) == Action::Search)
            return i;
    return -1;
}

TEST(Watchdog, ConnectedLinkNeverSearches)
{
    CConnectionWatchdog dog;
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(dog.tick(true), Action::None);
    EXPECT_TRUE(dog.wasConnected());
}

TEST(Watchdog, FirstSearchOnEleventhTickAfterLossThenEveryEleven)
{
    CConnectionWatchdog dog;
    ASSERT_EQ(dog.tick(false), Action::Lost); // the loss itself ends its tick
    EXPECT_FALSE(dog.wasConnected());
    EXPECT_EQ(dog.reconnectCountdown(), 10);
    EXPECT_EQ(ticksToSearch(dog, false), 11);
    dog.searchDone(false);
    EXPECT_EQ(ticksToSearch(dog, false), 11);
    dog.searchDone(false);
    EXPECT_EQ(ticksToSearch(dog, false), 11);
}

TEST(Watchdog, ReconnectRearmsTheLossDetection)
{
    CConnectionWatchdog dog;
    dog.tick(false);
    ASSERT_EQ(ticksToSearch(dog, false), 11);
    dog.searchDone(true);
    EXPECT_EQ(dog.tick(true), Action::None);
    EXPECT_TRUE(dog.wasConnected());
    // A second loss counts afresh.
    EXPECT_EQ(dog.tick(false), Action::Lost);
    EXPECT_EQ(ticksToSearch(dog, false), 11);
}

TEST(Watchdog, LinkBackBeforeTheSearchCancelsIt)
{
    CConnectionWatchdog dog;
    dog.tick(false);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(dog.tick(false), Action::None);
    EXPECT_EQ(dog.tick(true), Action::None);
    EXPECT_TRUE(dog.wasConnected());
    EXPECT_EQ(dog.tick(true), Action::None);
}

TEST(FrameGeometry, MinimumSize)
{
    struct Case {
        SFrameSize in;
        SFrameSize out;
    };
    const std::vector<Case> cases = {
        { { 759, 600 }, { 800, 600 } }, // under 760 jumps to 800
        { { 760, 600 }, { 760, 600 } }, // exactly 760 stays
        { { 1024, 529 }, { 1024, 530 } },
        { { 1024, 530 }, { 1024, 530 } },
        { { 100, 100 }, { 800, 530 } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(FrameGeometry::enforceMinimum(c.in), c.out) << c.in.width << "x" << c.in.height;
}

TEST(FrameGeometry, CaptionFontFollowsClientArea)
{
    // sqrt(1200 * 900) = 1039.2; / -60 = -17.32 -> -17; caption 34 px.
    EXPECT_EQ(FrameGeometry::captionFontHeight(1200, 900), -17);
    EXPECT_EQ(FrameGeometry::captionHeight(-17), 34);
    // sqrt(1920 * 1080) = 1440; / -60 = exactly -24.
    EXPECT_EQ(FrameGeometry::captionFontHeight(1920, 1080), -24);
    // sqrt(800 * 530) = 651.2 -> -10.85 truncates toward zero to -10.
    EXPECT_EQ(FrameGeometry::captionFontHeight(800, 530), -10);
    EXPECT_EQ(FrameGeometry::captionFontHeight(0, 900), 0);
}

TEST(FrameGeometry, ViewFontIsAsixtiethOfTheHeight)
{
    EXPECT_EQ(FrameGeometry::viewFontHeight(600), -10);
    EXPECT_EQ(FrameGeometry::viewFontHeight(659), -10);
    EXPECT_EQ(FrameGeometry::viewFontHeight(1080), -18);
    EXPECT_EQ(FrameGeometry::viewFontHeight(59), 0);
}

struct LevelCase {
    uint8_t raw;
    int level;
};

TEST(LevelIndex, RisingSensorThresholds)
{
    // F = 200, T = 150, H = 100, Q = 50.
    const std::vector<LevelCase> cases = {
        { 255, 4 },
        { 201, 4 },
        { 200, 3 },
        { 151, 3 },
        { 150, 2 },
        { 101, 2 },
        { 100, 1 },
        { 51, 1 },
        { 50, 0 },
        { 0, 0 },
    };
    for (const LevelCase& c : cases)
        EXPECT_EQ(levelIndex(c.raw, 200, 150, 100, 50), c.level) << int(c.raw);
}

TEST(LevelIndex, FallingSensorIsComparedOnComplements)
{
    // F = 50, T = 100, H = 150, Q = 200: the reading falls as the tank fills.
    const std::vector<LevelCase> cases = {
        { 40, 4 },
        { 0, 4 },
        { 49, 4 },
        { 50, 3 },
        { 99, 3 },
        { 100, 2 },
        { 150, 1 },
        { 199, 1 },
        { 200, 0 },
        { 210, 0 },
    };
    for (const LevelCase& c : cases)
        EXPECT_EQ(levelIndex(c.raw, 50, 100, 150, 200), c.level) << int(c.raw);
}

TEST(LevelIndex, ReadsTheThresholdsOfTheSensorSetup)
{
    CSensorsSetup s;
    s.m_fuelFull = 200;
    s.m_fuelHgw = 150;
    s.m_fuelHalf = 100;
    s.m_fuelQuarter = 50;
    s.m_fuelRes = 180; // not used for the level
    EXPECT_EQ(levelIndex(201, s), 4);
    EXPECT_EQ(levelIndex(51, s), 1);
}

// Refreshes until one returns a picture; the count of calls it took.
int refreshesToUpdate(CViewDisplayState& state, uint8_t fuel, uint8_t mode, int level, int& image)
{
    for (int i = 1; i <= 10; ++i) {
        if (const auto shown = state.consoleRefresh(fuel, mode, level)) {
            image = *shown;
            return i;
        }
    }
    return -1;
}

TEST(ConsolePicture, ChangesOnlyEveryFourthRefresh)
{
    CViewDisplayState state;
    int image = -1;
    EXPECT_EQ(refreshesToUpdate(state, 3, 0, 4, image), 4);
    EXPECT_EQ(image, 6);
    EXPECT_EQ(refreshesToUpdate(state, 3, 0, 0, image), 4);
    EXPECT_EQ(image, 2);
}

TEST(ConsolePicture, LpgShowsTheLevel)
{
    const std::vector<std::pair<int, int>> levelToImage = { { 0, 2 }, { 1, 3 }, { 2, 4 }, { 3, 5 }, { 4, 6 } };
    for (const auto& [level, expected] : levelToImage) {
        CViewDisplayState state;
        EXPECT_EQ(state.consoleImage(3, 0, level), expected) << level;
    }
    // A level outside 0 … 4 keeps the picture.
    CViewDisplayState state;
    state.consoleImage(3, 0, 3);
    EXPECT_EQ(state.consoleImage(3, 0, 7), 5);
    EXPECT_EQ(state.consoleImage(3, 0, -1), 5);
}

TEST(ConsolePicture, PendingSwitchAlternatesPetrolAndAuto)
{
    for (uint8_t mode : { uint8_t(1), uint8_t(4) }) {
        CViewDisplayState state;
        std::vector<int> shown;
        int image = -1;
        for (int i = 0; i < 4; ++i) {
            ASSERT_EQ(refreshesToUpdate(state, 2, mode, 0, image), 4);
            shown.push_back(image);
        }
        EXPECT_EQ(shown, (std::vector<int> { 0, 1, 0, 1 })) << "mode " << int(mode);
    }
    CViewDisplayState state;
    EXPECT_EQ(state.consoleImage(2, 0, 4), 0); // petrol, nothing pending
    EXPECT_EQ(state.consoleImage(2, 2, 4), 0);
}

TEST(ConsolePicture, TheTwoBlinkTogglesAreSeparate)
{
    CViewDisplayState state;
    EXPECT_EQ(state.consoleImage(2, 1, 0), 0); // blinkAuto -> true
    EXPECT_EQ(state.consoleImage(2, 4, 0), 0); // blinkMode4 -> true, on its own
    EXPECT_EQ(state.consoleImage(2, 1, 0), 1);
    EXPECT_EQ(state.consoleImage(2, 4, 0), 1);
}

TEST(FuelButtons, LitByTheReportedState)
{
    struct Case {
        uint8_t fuel;
        uint8_t mode;
        EFuelButton lit;
    };
    const std::vector<Case> cases = {
        { 2, 1, EFuelButton::Auto },
        { 2, 0, EFuelButton::Petrol },
        { 3, 0, EFuelButton::Gas },
        { 3, 1, EFuelButton::Gas },
        { 2, 4, EFuelButton::Petrol },
        { 0, 1, EFuelButton::Petrol },
    };
    for (const Case& c : cases) {
        CViewDisplayState state;
        const auto lit = state.fuelButtonRefresh(c.fuel, c.mode);
        ASSERT_TRUE(lit.has_value());
        EXPECT_EQ(*lit, c.lit) << int(c.fuel) << "/" << int(c.mode);
    }
}

TEST(FuelButtons, FirstRefreshLightsEvenTheInitialState)
{
    CViewDisplayState state;
    // 2 / 2 equals the initial last values; the first refresh lights petrol all the same.
    EXPECT_EQ(state.fuelButtonRefresh(2, 2), EFuelButton::Petrol);
    EXPECT_FALSE(state.fuelButtonRefresh(2, 2).has_value());
    EXPECT_EQ(state.fuelButtonRefresh(3, 2), EFuelButton::Gas);
    EXPECT_FALSE(state.fuelButtonRefresh(3, 2).has_value());
    EXPECT_EQ(state.fuelButtonRefresh(3, 1), EFuelButton::Gas); // the mode changed
}

TEST(AppOptions, ReadsEveryOption)
{
    std::string error;
    const auto o = parseAppOptions({ "--demo", "--port", "/dev/pts/7", "--port", "/tmp/sim", "--lang", "4",
                                       "--screenshot", "out.png", "--quit-after", "1500" },
        error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_TRUE(o->demo);
    EXPECT_EQ(o->ports, (std::vector<std::string> { "/dev/pts/7", "/tmp/sim" }));
    EXPECT_EQ(o->language, 4);
    EXPECT_EQ(o->screenshot, "out.png");
    EXPECT_EQ(o->quitAfterMs, 1500);
    const auto none = parseAppOptions({}, error);
    ASSERT_TRUE(none.has_value());
    EXPECT_FALSE(none->demo);
    EXPECT_FALSE(none->language.has_value());
}

TEST(AppOptions, RefusesBadUsage)
{
    const std::vector<std::vector<std::string>> bad = {
        { "--lang" },
        { "--lang", "20" },
        { "--lang", "-1" },
        { "--lang", "2x" },
        { "--port" },
        { "--quit-after", "soon" },
        { "--screenshot" },
        { "--frobnicate" },
    };
    for (const auto& args : bad) {
        std::string error;
        EXPECT_FALSE(parseAppOptions(args, error).has_value()) << args[0];
        EXPECT_FALSE(error.empty());
    }
}

} // namespace
