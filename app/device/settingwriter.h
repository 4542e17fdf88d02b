// Writing the blocks a change of settings touched, as the settings pages do:
// each block once, in the order base, advanced, advanced setup, sensor setup,
// and for the settings the controller only takes after a restart the restart
// sequence around the writes (petrol and wait, write, restart on petrol,
// back to automatic mode when the car was not on petrol). Optionally each
// written block is read back and compared with what was sent.
#pragma once

#include <cstdint>
#include <string>

class CLPGDevice;

class CSettingWriter {
public:
    enum class Result { Ok, WriteFailed, RestartFailed, ReadBackFailed, Mismatch };
    struct Outcome {
        Result result = Result::Ok;
        uint8_t block = 0; // the SettingBlock that failed
        bool ok() const { return result == Result::Ok; }
    };

    // blocks: SettingBlock bits. The live image holds the new values already.
    static Outcome write(CLPGDevice& device, uint8_t blocks, bool restart, bool readBack);
    // "base block", "advanced block", "advanced setup", "sensor setup".
    static std::string blockName(uint8_t block);
    // What went wrong, naming the block: for messages and the CLI.
    static std::string describe(const Outcome& outcome);

private:
    static bool writeBlock(CLPGDevice& device, uint8_t block);
    static Result readBackBlock(CLPGDevice& device, uint8_t block);
};
