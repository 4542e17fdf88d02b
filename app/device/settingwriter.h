// SPDX-License-Identifier: GPL-3.0-or-later
// Writing the blocks a change of settings touched, as the settings pages do,
// through one write session: each block once, in the order advanced setup,
// base, advanced, sensor setup (the engine-speed signal type goes into the
// advanced setup first and into the base block only when that succeeded), and
// for the settings the controller only takes after a restart the restart
// sequence around the writes (petrol and wait, write, restart on petrol,
// back to automatic mode when the car was not on petrol). Each written block is
// read back and compared; a failure puts back what was written.
#pragma once

#include <app/device/writesession.h>

#include <cstdint>
#include <string>

class CLPGDevice;

class CSettingWriter {
public:
    enum class Result { Ok, WriteFailed, RestartFailed, ReadBackFailed, Mismatch, Refused };
    struct Outcome {
        Result result = Result::Ok;
        uint8_t block = 0; // the SettingBlock that failed
        CWriteReport report; // what the controller holds now
        bool ok() const { return result == Result::Ok; }
    };

    // blocks: SettingBlock bits. The live image holds the new values already;
    // after a failure it holds the controller's again.
    static Outcome write(CLPGDevice& device, uint8_t blocks, bool restart, bool readBack = true);
    // The image blocks (CReadBlocks bits) of SettingBlock bits.
    static uint32_t imageBlocks(uint8_t blocks);
    // "base block", "advanced block", "advanced setup", "sensor setup".
    static std::string blockName(uint8_t block);
    // What went wrong, naming the block: for messages and the CLI.
    static std::string describe(const Outcome& outcome);

};
