#include <app/device/settingwriter.h>

#include <app/data/settingfields.h>
#include <app/device/blockcodec.h>
#include <app/device/lpgdevice.h>
#include <app/platform/log.h>
#include <app/platform/userinteraction.h>

#include <chrono>

namespace {

constexpr uint8_t kOrder[] = { kBlockBase, kBlockAdv, kBlockAdvancedSetup, kBlockSensorsSetup };
// The controller needs this long after the restart before it takes a fuel command.
constexpr unsigned kAfterRestartMs = 1000;

} // namespace

std::string CSettingWriter::blockName(uint8_t block)
{
    switch (block) {
    case kBlockBase: return "base block (m_base)";
    case kBlockAdv: return "advanced block (m_adv)";
    case kBlockAdvancedSetup: return "advanced setup (m_advancedSetup)";
    case kBlockSensorsSetup: return "sensor setup (m_sensorsSetup)";
    default: return "block";
    }
}

std::string CSettingWriter::describe(const Outcome& outcome)
{
    const std::string name = blockName(outcome.block);
    switch (outcome.result) {
    case Result::Ok: return "written";
    case Result::WriteFailed: return "writing the " + name + " failed";
    case Result::RestartFailed: return "restarting the controller failed";
    case Result::ReadBackFailed: return "reading back the " + name + " failed";
    case Result::Mismatch: return "the controller holds other values than were written in the " + name;
    }
    return "failed";
}

bool CSettingWriter::writeBlock(CLPGDevice& device, uint8_t block)
{
    const auto start = std::chrono::steady_clock::now();
    bool ok = false;
    switch (block) {
    case kBlockBase: ok = device.writeBase(); break;
    case kBlockAdv: ok = device.writeAdv(); break;
    case kBlockAdvancedSetup: ok = device.writeAdvancedSetup(); break;
    case kBlockSensorsSetup: ok = device.writeSensorsSetup(); break;
    default: break;
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    logInfo("settings", "write " + blockName(block) + (ok ? " acknowledged" : " failed") + " after "
                + std::to_string(ms.count()) + " ms");
    return ok;
}

// What was sent, decoded as a read would store it, against what the read stores.
CSettingWriter::Result CSettingWriter::readBackBlock(CLPGDevice& device, uint8_t block)
{
    CSettingsImage expected = device.image();
    bool read = false;
    bool same = false;
    switch (block) {
    case kBlockBase:
        decodeBase(encodeBase(expected), expected);
        read = device.readBase();
        same = device.image().m_base == expected.m_base;
        break;
    case kBlockAdv:
        decodeAdv(encodeAdv(expected), expected);
        read = device.readAdv();
        same = device.image().m_adv == expected.m_adv;
        break;
    case kBlockAdvancedSetup:
        decodeAdvancedSetup(encodeAdvancedSetup(expected), expected);
        read = device.readAdvancedSetup();
        same = device.image().m_advancedSetup == expected.m_advancedSetup;
        break;
    case kBlockSensorsSetup:
        decodeSensorsSetup(encodeSensorsSetup(expected), expected);
        read = device.readSensorsSetup();
        same = device.image().m_sensorsSetup == expected.m_sensorsSetup;
        break;
    default: break;
    }
    if (!read)
        return Result::ReadBackFailed;
    return same ? Result::Ok : Result::Mismatch;
}

CSettingWriter::Outcome CSettingWriter::write(CLPGDevice& device, uint8_t blocks, bool restart, bool readBack)
{
    uint8_t fuelBefore = CLPGDevice::kFuelPetrol;
    if (restart) {
        fuelBefore = device.fuelStateBefore();
        logInfo("settings", "restart sequence: petrol and wait (fuel state before " + std::to_string(fuelBefore) + ")");
        // The controller may be on petrol already, or get there late: the restart waits again.
        device.switchToPetrolAndWait();
    }
    for (uint8_t block : kOrder) {
        if ((blocks & block) && !writeBlock(device, block))
            return { Result::WriteFailed, block };
    }
    if (readBack && !device.m_demo) {
        for (uint8_t block : kOrder) {
            if (!(blocks & block))
                continue;
            const Result r = readBackBlock(device, block);
            logInfo("settings", "read back " + blockName(block) + (r == Result::Ok ? ": as written" : ": differs"));
            if (r != Result::Ok)
                return { r, block };
        }
    }
    if (restart) {
        logInfo("settings", "restart sequence: restart on petrol");
        if (!device.command0AOnPetrol())
            return { Result::RestartFailed, 0 };
        userInteraction().sleep(kAfterRestartMs);
        if (CLPGDevice::returnsToAuto(fuelBefore)) {
            logInfo("settings", "restart sequence: back to automatic mode");
            device.switchToAuto();
        } else {
            logInfo("settings", "restart sequence: the car stays on petrol");
        }
    }
    return {};
}
