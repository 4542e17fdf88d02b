// SPDX-License-Identifier: GPL-3.0-or-later
// No page, dialog, procedure or CLI command writes to the controller by
// itself: every block write, memory write and command goes through the write
// session, which refuses what was not read, puts back what a failure leaves
// half written and gives the car its fuel mode back. A call of the device's
// own write functions outside app/device fails this test, naming the place.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

namespace fs = std::filesystem;

TEST(WritePath, NothingOutsideTheDeviceCallsItsWritesOrCommands)
{
    // A call on an object (device.writeBlock(, m_device->command13() or a
    // member pointer (&CLPGDevice::switchToLpg). Calls on a session are its own.
    const std::regex call(
        R"(((\w+)\s*(\.|->)\s*|&CLPGDevice::)(write(Block|Base|Adv|AdvancedSetup|SensorsSetup|MainCorr|SetupTimes1|SetupTimes2|PressCorr|AutomapSchedule|MapAxes|InjMap|MemoryBlock|Record13|ObdSettings|ObdMapConfig|All)|switchTo(Lpg|Petrol|Auto|PetrolAndWait)|command(0A|0AOnPetrol|13|14|17|18)|clear(Petrol|Lpg)Map|boot(Command60|WriteF6|StartPage|WriteRow))\b)");
    std::vector<std::string> found;
    std::size_t files = 0;
    for (const char* folder : { "app/shell", "app/tuning", "app/data", "app/platform", "tools/cli" }) {
        for (const auto& entry : fs::recursive_directory_iterator(fs::path(KORVANA_SOURCE_DIR) / folder)) {
            const auto ext = entry.path().extension();
            if (ext != ".cpp" && ext != ".h")
                continue;
            ++files;
            std::ifstream in(entry.path());
            std::string line;
            for (int number = 1; std::getline(in, line); ++number) {
                for (std::sregex_iterator it(line.begin(), line.end(), call), end; it != end; ++it) {
                    const std::string object = (*it)[2].str();
                    if (object.find("session") != std::string::npos || object.find("Session") != std::string::npos)
                        continue;
                    // A device function that takes the session (writeAll(session)) writes through it.
                    const std::string rest = line.substr(static_cast<std::size_t>(it->position() + it->length()));
                    if (rest.rfind("(", 0) == 0 && rest.substr(0, rest.find(')')).find("ession") != std::string::npos)
                        continue;
                    found.push_back(fs::relative(entry.path(), KORVANA_SOURCE_DIR).string() + ":"
                                    + std::to_string(number) + ": " + (*it)[0].str());
                }
            }
        }
    }
    EXPECT_GT(files, 100u) << "the source folders were not found under " << KORVANA_SOURCE_DIR;
    std::ostringstream list;
    for (const auto& f : found)
        list << "  " << f << "\n";
    EXPECT_TRUE(found.empty()) << found.size() << " writes outside the write session:\n" << list.str();
}

} // namespace
