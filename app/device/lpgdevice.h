// SPDX-License-Identifier: GPL-3.0-or-later
// The device object: the command set over the settings image. Its parts are
// the link to the controller (devicelink.h: port, lock, frame exchange), the
// session (devicesession.h: connecting, demo mode, polling) and the OBD
// gateway composed into it (obdgateway.h). It owns the live image, what the
// controller is known to hold (heldImage) and the view pages read (image).
//
// Errors: port failures (CRSError) pass through every operation here as thrown
// IError* pointers that the catcher deletes; the link lock is released on the
// way out. Protocol failures are results, never exceptions.
#pragma once

#include <app/device/connectfailure.h>
#include <app/device/devicelink.h>
#include <app/device/devicesession.h>
#include <app/device/deviceevents.h>
#include <app/device/operationlock.h>
// The command set's types (declarations block at the end of the class).
#include <app/data/diag.h>
#include <app/data/readblocks.h>
#include <app/data/settingsimage.h>
#include <app/device/lpgdeviceerr.h>
#include <app/device/mappage.h>
#include <app/device/leftchanged.h>
// The connection, the readings queue and polling (block at the end of the class).
#include <app/data/diagdata.h>
#include <app/device/obdgateway.h>
#include <string>

#include <array>
#include <optional>
#include <atomic>
#include <span>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

class CThreadManager;
class CWriteSession;
struct CBlockRecord;

class CLPGDevice : public CLPGDeviceErr {
public:
    // With a port table of its own, of this system's present ports.
    CLPGDevice();
    // With the table the program's root made (not owned; it outlives the device).
    explicit CLPGDevice(IPortTable& ports);
    CLPGDevice(const CLPGDevice&) = delete;
    CLPGDevice& operator=(const CLPGDevice&) = delete;
    ~CLPGDevice() override;

    // The port, its lock and the frame exchange (devicelink.h).
    CDeviceLink& link() { return m_link; }

protected:
    CDeviceLink m_link;

    // ---- The command set (lpgdevice_blocks.cpp, lpgdevice_commands.cpp, lpgdevice_map.cpp,
    // lpgdevice_obd.cpp, lpgdevice_boot.cpp; each answers demo mode itself) ----
    // Every operation returns true when done. A failed operation changes nothing
    // of the image; a successful read replaces every member of its block. In
    // demo mode no frame is sent (except command0A and bootCommand60). Port
    // errors pass through as thrown CRSError pointers.
public:
    // What pages read: the image as of the last ImageChanged or page edit.
    // A procedure that changes the live image step by step and pumps events
    // (an autocalibration, a mapping, a write being put back) is not seen
    // here until the controller confirms it (or it is put back). GUI thread.
    const CSettingsImage& image() const { return m_view; }
    // The image the command set reads and writes. Only the device, its
    // session, the write path and the procedures that compute settings change
    // it; they raise ImageChanged for what pages should see.
    const CSettingsImage& liveImage() const { return m_image; }
    CSettingsImage& liveImage() { return m_image; }
    // A fitter's edit on a page, before the page writes the blocks through the
    // write path (offline it stays an edit of the image). Pages see it at once.
    void changeImage(const std::function<void(CSettingsImage&)>& change);
    // The car's description the fitter chose (kept in the image, not a controller block).
    void setCarInfo(const CCarInfo& info);
    // Listeners of what happens to this device (see deviceevents.h).
    CDeviceEvents& events() { return m_events; }
    COperationLock& operation() { return m_operation; }

    // Demo mode: commands answer from fixed data. Connected: a controller was
    // identified, or demo mode is on. Read by the polling thread without a lock.
    std::atomic<bool> m_demo { false };
    std::atomic<bool> m_connected { false };
    bool isConnected() const { return m_connected; }
    bool isDemo() const { return m_demo; }

    // Result codes of readLiveData.
    static constexpr uint8_t kLiveOk = 0, kLiveOtherType = 1, kLiveLinkFault = 2;
    // How long switchToPetrolAndWait waits when injectors × emulator delay give
    // less than one 56 ms step.
    static constexpr unsigned kPetrolWaitBoundMs = 5000;

    bool readStatistics();
    bool readErrors(std::array<uint8_t, 4>& errors);
    // One checked exchange, never repeated: kLiveOk with record filled,
    // kLiveOtherType for an answer of another type, kLiveLinkFault.
    uint8_t readLiveData(CDiag& record);

    // One block of the image (readblocks.h) from the controller or to it,
    // every block through the codec's record table except the identity
    // (never written) and the 288-byte map page from address 246 (checksum
    // tested on reading, read back and compared after writing). A write of
    // the base block stamps this PC's identifier into m_pcId (in the image
    // only once acknowledged).
    bool readBlock(CReadBlocks::Block block);
    bool writeBlock(CReadBlocks::Block block);
    // 20 attempts; the answer must carry block.address.
    bool readMemoryBlock(CMemoryBlock& block);
    bool writeMemoryBlock(const CMemoryBlock& block);

    bool switchToLpg();
    bool switchToPetrol();
    // The petrol step first, its result ignored, then automatic mode.
    bool switchToAuto();
    // Switches to petrol and waits, pumping, until the readings show petrol.
    bool switchToPetrolAndWait();
    bool command0A();
    bool command0AOnPetrol();
    bool command13();
    bool command14();
    bool writeRecord13(const std::array<uint8_t, 6>& record);
    bool command17(uint8_t n);
    bool command18(uint8_t n);
    bool clearPetrolMap();
    bool clearLpgMap();
    // Only a 188-byte answer is taken.
    bool readPetrolMap(std::array<uint8_t, kChartMapLength>& map);
    bool readLpgMap(std::array<uint8_t, kChartMapLength>& map);

    bool readObdSettings(std::array<uint8_t, 12>& record);
    bool writeObdSettings(const std::array<uint8_t, 12>& record);
    // Bytes 6-7 of the caller's record hold the speed in rpm; they travel as a period.
    bool readObdMapConfig(std::array<uint8_t, 18>& record);
    bool writeObdMapConfig(const std::array<uint8_t, 18>& record);
    bool readObdCorrections(double& first, double& second);
    // One exchange. Copies at most answer.size() bytes of the record-24 payload;
    // its frame count is lowered to the whole frames copied. received (when
    // given) gets the number of bytes copied.
    bool obdRequest(const std::array<uint8_t, 20>& request, std::span<uint8_t> answer,
                    std::size_t* received = nullptr);

    // The OBD gateway composed into this device by the layer that implements
    // it (once, on the GUI thread, before polling reads it); null until then.
    // Any thread may read the pointer.
    IObdGateway* obdGateway() const { return m_obdGateway.load(); }
    void setObdGateway(std::unique_ptr<IObdGateway> gateway);

public:

    // address 0xC4 or 0xC5; result is set whenever an answer came, and the
    // call fails (after bootCommand60) unless it is a known bootloader id.
    bool readBootByte(uint8_t address, uint16_t& result);
    bool bootCommand60();
    bool bootWriteF6(const std::array<uint8_t, 8>& bytes);
    bool bootStartPage(uint32_t address);
    bool bootWriteRow(uint32_t address, const std::array<uint8_t, 192>& data);

    // Which blocks of the image are whole from this controller (readblocks.h):
    // cleared by openConnection and runWithoutConnection, all set in demo mode,
    // a block marked by each successful read or acknowledged write of it.
    const CReadBlocks& readBlocks() const { return m_readBlocks; }
    CReadBlocks& readBlocks() { return m_readBlocks; }
    // What the controller holds as far as this connection knows: each block as
    // last read from it or written to it and acknowledged (only the blocks
    // readBlocks marks are meaningful). A page's edit changes the live image; a
    // write session puts back and compares against this.
    const CSettingsImage& heldImage() const { return m_heldImage; }
    // The OBD gateway's records 18 and 27 as last read or written and
    // acknowledged in this connection; nothing until then.
    const std::optional<std::array<uint8_t, 12>>& heldObdSettings() const { return m_heldObdSettings; }
    const std::optional<std::array<uint8_t, 18>>& heldObdConfig() const { return m_heldObdConfig; }

    // What a write cut off by a lost link left changed in the car, kept until
    // the link returns and the fitter decides (see writesession.h).
    const CLeftChanged& leftChanged() const { return m_leftChanged; }
    CLeftChanged& leftChanged() { return m_leftChanged; }

protected:
    CSettingsImage m_image;
    // What image() shows: copied from m_image on each ImageChanged, before any other listener hears it.
    CSettingsImage m_view;
    CDeviceEvents m_events;
    CReadBlocks m_readBlocks;
    CSettingsImage m_heldImage;
    std::optional<std::array<uint8_t, 12>> m_heldObdSettings;
    std::optional<std::array<uint8_t, 18>> m_heldObdConfig;
    CLeftChanged m_leftChanged;
    COperationLock m_operation { m_events };
    // Marks block when ok and records the image's block as what the controller holds; returns ok.
    bool held(CReadBlocks::Block block, bool ok);

private:
    void hearImageChanged();
    // The view takes the live image without an event (what the session tells
    // before anything is read: the model the controller named).
    void showLiveImage() { m_view = m_image; }
    bool readDevInfo();
    bool writeBase(const CBlockRecord& record);
    bool readInjMap();
    bool writeInjMap();

private:
    // A type-2 command message: byte 0 code, byte 2 and 3 the arguments.
    static std::array<uint8_t, 6> commandMessage(uint8_t code, uint8_t byte2 = 0, uint8_t byte3 = 0);
    // Command code → record answer of at least minLength payload bytes.
    bool readRecord(uint8_t code, uint8_t recordType, std::size_t minLength, ExchangeBuffer& buffer,
                    int attempts = kLinkAttempts);
    // Request of any type → acknowledge (type 2, byte 0 = 4).
    bool sendAcknowledged(uint8_t type, const uint8_t* payload, std::size_t size, int attempts = kLinkAttempts);
    bool sendCommand(uint8_t code, int attempts = kLinkAttempts, uint8_t byte2 = 0);
    template <std::size_t N>
    bool writeRecord(uint8_t recordType, const std::array<uint8_t, N>& record, int attempts = kLinkAttempts)
    {
        return noteWritten(recordType, N, sendAcknowledged(recordType, record.data(), N, attempts));
    }
    bool readChartMap(uint8_t code, uint8_t recordType, std::array<uint8_t, kChartMapLength>& map);
    // Raises ImageChanged(block) when ok; returns ok.
    bool imageChanged(ImageBlock block, bool ok = true);
    // Logs a record written to the controller (type and length); returns ok.
    static bool noteWritten(uint8_t recordType, std::size_t size, bool ok);
    // ---- end of the command set ----

public:
    // Factory restore: every block of the live image back to its defaults and
    // written in order, then the restart; stops at the first failure with its
    // message (the session puts back what it can). Nothing happens when not
    // connected. True when every block was written. The session given ends the
    // operation (the fuel rule) when its caller has more to write first.
    bool writeAll();
    bool writeAll(CWriteSession& session);
    // The fuel state before an operation that forces petrol: the newest record
    // of the readings queue, else one readLiveData. kFuelUnknown when neither
    // gives one. A restore has to take it before it switches to petrol: during
    // the switch-over the readings say petrol whatever the car ran on.
    static constexpr uint8_t kFuelPetrol = 2, kFuelUnknown = 0;
    uint8_t fuelStateBefore();
    // Whether an operation that forced petrol ends in automatic mode: the car
    // was not known to be on petrol before it.
    static bool returnsToAuto(uint8_t fuelBefore) { return fuelBefore != kFuelPetrol; }

    // The readings queue the polling thread fills.
    CDiagData& diagData() { return m_diagData; }
    const CDiagData& diagData() const { return m_diagData; }

    // Connecting, demo mode and polling (devicesession.h).
    CDeviceSession& session() { return m_session; }
    const CDeviceSession& session() const { return m_session; }

protected:
    CDiagData m_diagData;

private:
    friend class CDeviceSession;
    friend class CDiagInputThread;
    friend class CDiagRSThread;
    // Destroyed after the session below has ended polling.
    std::unique_ptr<IObdGateway> m_ownObdGateway;
    std::atomic<IObdGateway*> m_obdGateway { nullptr };

    // Declared last, so it is built after and destroyed before every other
    // member: it publishes the device pointer, and on destruction ends polling
    // and waits, so no polling thread outlives what it uses.
    CDeviceSession m_session { *this };
};
