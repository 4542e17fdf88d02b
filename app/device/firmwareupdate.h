// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing the controller's firmware from an .afm file: the file chosen from
// the model's folder beside the program, checked against the connected
// controller, the controller brought into its bootloader, the flash erased and
// written row by row, the controller restarted and connected again.
//
// The file, its model and its version are judged before anything is sent.
// The user-started form (forced = false) then takes the fuel state, switches
// the controller to petrol, stops and restarts the live-readings polling and
// carries settings across firmware generations. The forced form is what the
// identification runs when it finds the controller in its bootloader: no
// access codes, no polling, no settings migration. Both reconnect after the
// programming (every block read again) and end in automatic mode unless the
// car was on petrol before (the forced form has no fuel state before: it
// ends in automatic mode). Nothing here switches to LPG.
//
// Messages, questions, the file choice and the 1 s waits go through the
// user-interaction seam. Port errors (CRSError) are not caught by update(): the
// caller owns and deletes them; polling is restarted on the way out all the same,
// and the device raises ImageChanged(All) for the pages.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

class CLPGDevice;
class CFirmwareFile;

// Where a model's firmware lives and what its bootloader programs.
struct CFlashLayout {
    uint8_t model; // m_devInfo.m_deviceID
    const char* folder; // under "KORVANA Firmware" beside the program
    uint32_t first; // first application address (program-memory units)
    uint32_t end; // exclusive
    uint32_t eraseBlock;
    uint8_t queryCode; // asks the bootloader for its id
};

// Model 4, 5, 6 or 16; nullptr for any other code.
const CFlashLayout* findFlashLayout(uint8_t model);

class CFirmwareUpdate {
public:
    static constexpr std::size_t kAttempts = 10;
    static constexpr unsigned kWaitMs = 1000;
    static constexpr uint32_t kRowUnits = 128; // 64 instructions
    static constexpr std::size_t kRowData = 192; // 3 bytes each
    static const std::array<uint8_t, 8> kAccessCode1;
    static const std::array<uint8_t, 8> kAccessCode2;

    explicit CFirmwareUpdate(CLPGDevice& device);
    CLPGDevice& device() { return m_device; }

    // What the program around the device does for the update. Unset hooks do
    // nothing, except onReconnect: without it the update cannot reconnect and fails.
    std::function<void()> onStopPolling;
    std::function<void()> onStartPolling;
    // Searches for the controller and connects it again (reading all settings).
    std::function<bool()> onReconnect;
    // After each row written: rows done, rows to write.
    std::function<void(std::size_t, std::size_t)> onRow;
    // A line for the log (what the update leaves out of the file); unset, it goes to stderr.
    std::function<void(const std::string&)> onLog;

    // Wires the hooks to the device itself (its polling, restarted with the
    // path "\"; the controller search over every present port) and makes
    // this the device's automatic update for identify. This object must
    // outlive the device's use of it.
    void attachToDevice();

    // True when the controller was programmed and connected again (and, for
    // the user-started form, the settings carried across were written). Every
    // failure shows its message first.
    // chosen: a file given already (dropped on the window, named at start):
    // no file dialog, but the fitter is asked first (default No).
    bool update(bool forced, const std::string& chosen = {});
    // The menu command: the user-started update, with an error object thrown
    // on the way shown under the document's command name and deleted.
    bool onDeviceUpdate(const std::string& chosen = {});
    // Whether the last update wrote every row and restarted the controller;
    // when update() still failed, the controller did not answer afterwards
    // (or the settings could not be carried across).
    bool flashWritten() const { return m_flashWritten; }

    // The firmware folder of a model: program directory / "KORVANA Firmware" / folder.
    static std::filesystem::path firmwareFolder(const CFlashLayout& layout);
    // Whether the image has something at or above the layout's first address.
    // What lies past its end is not written (bytesPastEnd): files may carry
    // data there that this controller's bootloader has no room for.
    static bool fitsLayout(const CFirmwareFile& file, const CFlashLayout& layout);
    // Image bytes at or past the layout's end address, which are never sent.
    static std::size_t bytesPastEnd(const CFirmwareFile& file, const CFlashLayout& layout);
    // The number of rows programFlash writes.
    static std::size_t rowsToWrite(const CFirmwareFile& file, const CFlashLayout& layout);
    // Erase at every erase-block boundary, then the row: 3 of every 4 image
    // bytes, 128 addresses per row, from the first address while the image
    // lasts and the range does. False at the first refused erase or row.
    bool programFlash(const CFirmwareFile& file, const CFlashLayout& layout);

private:
    // Load, marker, model, range, the downgrade question and the incompatible
    // versions; false (with its message, if any) refuses the file.
    bool judgeFile(const std::string& path, const CFlashLayout& layout, CFirmwareFile& file, uint16_t& fileVersion);
    // switchToAuto unless the car was on petrol before.
    void endOnFuelRule(uint8_t fuelBefore);
    bool attempt(bool forced, const CFirmwareFile& file, const CFlashLayout& layout);
    bool queryBootloader(const CFlashLayout& layout);
    bool migrateSettings(int32_t controllerVersion, uint16_t fileVersion);
    void fail(const wchar_t* text);

    CLPGDevice& m_device;
    bool m_flashWritten = false;
    // Whether a bootloader id query of this update was answered.
    bool m_bootloaderAnswered = false;
};
