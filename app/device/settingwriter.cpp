// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/settingwriter.h>

#include <app/data/settingfields.h>
#include <app/device/lpgdevice.h>
#include <app/platform/log.h>

namespace {

struct Step {
    uint8_t setting;
    CReadBlocks::Block block;
};
constexpr Step kOrder[] = {
    { kBlockAdvancedSetup, CReadBlocks::AdvancedSetup },
    { kBlockBase, CReadBlocks::Base },
    { kBlockAdv, CReadBlocks::Adv },
    { kBlockSensorsSetup, CReadBlocks::SensorsSetup },
};

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
    case Result::Refused: return "not read from the controller";
    }
    return "failed";
}

uint32_t CSettingWriter::imageBlocks(uint8_t blocks)
{
    uint32_t mask = 0;
    for (const Step& s : kOrder)
        if (blocks & s.setting)
            mask |= s.block;
    return mask;
}

CSettingWriter::Outcome CSettingWriter::write(CLPGDevice& device, uint8_t blocks, bool restart, bool readBack)
{
    unsigned flags = CWriteSession::kNone;
    if (restart)
        flags |= CWriteSession::kPetrolWrap | CWriteSession::kRestart;
    if (!readBack)
        flags |= CWriteSession::kNoReadBack;
    Outcome outcome;
    {
        CWriteSession session(device, L"settings", flags);
        if (!session.require(imageBlocks(blocks))) {
            outcome.result = Result::Refused;
        } else {
            for (const Step& s : kOrder) {
                if (!(blocks & s.setting))
                    continue;
                if (!session.write(s.block)) {
                    outcome.block = s.setting;
                    outcome.result = Result::WriteFailed;
                    break;
                }
            }
        }
        outcome.report = session.finish();
        if (outcome.result == Result::Ok && !outcome.report.ok())
            outcome.result = Result::RestartFailed;
        else if (outcome.report.differs & imageBlocks(outcome.block))
            outcome.result = Result::Mismatch;
    }
    logInfo("settings", describe(outcome));
    return outcome;
}
