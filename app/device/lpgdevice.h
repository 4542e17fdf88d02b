// SPDX-License-Identifier: GPL-3.0-or-later
// The device object: owns the serial port and the link lock and carries the
// frame exchange that every controller command is built on. The command set,
// the connection and the settings image live in their own source files.
//
// Errors: port failures (CRSError) pass through every operation here as thrown
// IError* pointers that the catcher deletes; the link lock is released on the
// way out. Protocol failures are results, never exceptions.
#pragma once

#include <app/device/connectfailure.h>
#include <app/device/deviceevents.h>
#include <app/device/framecodec.h>
#include <app/device/operationlock.h>
#include <app/device/serialport.h>
#include <app/platform/iporttable.h>
#include <syncmsg/msgmutex.h>
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

// Why the last exchange failed, for diagnostics (the CLI prints it).
enum class LinkFailure {
    None,
    ShortWrite,   // the port took fewer bytes than the frame has
    LineError,    // the checked form: the port reported a line error
    ShortHeader,  // fewer than 4 header bytes
    NoSync,       // no 0xAA in the header
    ShortRealign, // the bytes dropped by the realignment did not come again
    ShortKey,
    ShortPayload, // fewer bytes than the length byte announced
    TooShort,     // 2 bytes or fewer after the key word
    Checksum,
};

// A short English name of the failure for the log ("ShortHeader" …).
const char* linkFailureName(LinkFailure failure);

class CThreadManager;
class CWriteSession;
struct CBlockRecord;

class CLPGDevice : public CLPGDeviceErr {
public:
    static constexpr std::size_t kExchangeBufferSize = ::kExchangeBufferSize;
    static constexpr int kLinkAttempts = ::kLinkAttempts;
    // What configurePort applies: 38400 8N1, no flow control, DTR and RTS inactive;
    // a read of n bytes returns after at most 1000 + n ms.
    static const SerialLineSettings kLineSettings;
    static const SerialTimeouts kLinkTimeouts;

    // Draws a key word; only 0…32767 is used (bit 15 is masked off).
    // Called outside the link lock, so from several threads at once.
    using KeyGenerator = std::function<uint16_t()>;
    // Judges an answer of the attempt loop: buffer, payload length, answer type.
    using AnswerTest = std::function<bool(const ExchangeBuffer&, uint8_t, uint8_t)>;

    // With a port table of its own, of this system's present ports.
    CLPGDevice();
    // With the table the program's root made (not owned; it outlives the device).
    explicit CLPGDevice(IPortTable& ports);
    CLPGDevice(const CLPGDevice&) = delete;
    CLPGDevice& operator=(const CLPGDevice&) = delete;
    ~CLPGDevice() override;

    // The configuring sequence under the link lock: close, open(n), setState,
    // setTimeout with the settings above. Throws CRSError.
    void configurePort(uint32_t n);
    CSerialPort& port() { return m_port; }
    // The COM numbers of configurePort and connectOnPort.
    IPortTable& ports() { return m_ports; }
    // The line every exchange, purge and re-open goes through: the port unless
    // a test set another (not owned; nullptr gives the port back). Not while exchanges run.
    ILink& link() { return *m_link; }
    void setLink(ILink* link) { m_link = link ? link : &m_port; }
    CMSGMutex& linkLock() { return m_linkLock; }

    // Replaces the key generator (tests fix the key); an empty function
    // restores the default. Not while exchanges run.
    void setKeyGenerator(KeyGenerator generator);

    // One request and one answer. In: buffer holds the request payload, length
    // its size (at most 253, else CRunTime code 0 and nothing is sent), type the
    // command code. True when a whole answer with a correct checksum came back:
    // then buffer holds its payload, length its size and type its type.
    // On false the buffer's contents are undefined; why (if given) says what went wrong.
    bool exchange(ExchangeBuffer& buffer, uint8_t& length, uint8_t& type, LinkFailure* why = nullptr);
    // The form of the live readings: 0 = no link fault, 2 = link fault. On a
    // full success type is the answer's type and length its length byte
    // (payload + 2; the checksum bytes follow the payload in the buffer). When
    // the key word or more than 2 bytes after it never came the result is 0
    // with type and length left as they were.
    uint8_t exchangeChecked(ExchangeBuffer& buffer, uint8_t& length, uint8_t& type, LinkFailure* why = nullptr);

    // The attempt policy of the commands: up to attempts exchanges, each on a
    // cleared buffer with the request written afresh (the answer overwrites it).
    // True at the first answer that accept approves; buffer, length and type then
    // hold it. False after the last attempt.
    bool exchangeWithAttempts(uint8_t requestType, const uint8_t* payload, std::size_t size, ExchangeBuffer& buffer,
                              uint8_t& length, uint8_t& type, const AnswerTest& accept, int attempts = kLinkAttempts);
    // The usual test: the answer has the expected type.
    bool exchangeWithAttempts(uint8_t requestType, const uint8_t* payload, std::size_t size, ExchangeBuffer& buffer,
                              uint8_t& length, uint8_t expectedType, int attempts = kLinkAttempts);

protected:
    uint16_t drawKey();
    bool writeWhole(const uint8_t* bytes, std::size_t size);

    std::unique_ptr<IPortTable> m_ownPorts; // when no table was given
    IPortTable& m_ports;
    CSerialPort m_port;
    ILink* m_link = &m_port;
    CMSGMutex m_linkLock;

private:
    KeyGenerator m_keyGenerator;
    // ---- The command set (lpgdevice_blocks.cpp, lpgdevice_commands.cpp, lpgdevice_map.cpp,
    // lpgdevice_obd.cpp, lpgdevice_boot.cpp; each answers demo mode itself) ----
    // Every operation returns true when done. A failed operation changes nothing
    // of the image; a successful read replaces every member of its block. In
    // demo mode no frame is sent (except command0A and bootCommand60). Port
    // errors pass through as thrown CRSError pointers.
public:
    CSettingsImage& image() { return m_image; }
    const CSettingsImage& image() const { return m_image; }
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
    // readBlocks marks are meaningful). Pages edit the live image in place; a
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

    // Per thread: whether every attempt of this thread's last attempt loop
    // (exchangeWithAttempts) went without a single byte received. Silence,
    // unlike a disturbed answer, means the controller is gone.
    static bool lastAttemptsSilent();

protected:
    CSettingsImage m_image;
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

    // ---- Connection, demo mode and polling (lpgdevice_connection.cpp, lpgdevice_polling.cpp) ----
    // GUI thread unless said otherwise. Messages go through the user-interaction
    // seam, translated, captioned "KORVANA".
public:
    // The firmware update in its automatic form, started by identify for a
    // known controller found in its bootloader (forced = true). Returns whether
    // the controller was reprogrammed. Unset, identify reports failure there.
    using FirmwareUpdate = std::function<bool(bool forced)>;
    void setFirmwareUpdate(FirmwareUpdate update) { m_firmwareUpdate = std::move(update); }

    // Opens and configures COM n, then openConnection; on success stores n and
    // its path as the last port of the profile. Error objects are caught and
    // logged (false). A port that failed is closed again. Raises LinkConnected
    // and ImageChanged(All) through openConnection. Why it failed is
    // kept until the next try: lastConnectFailure, and the operating system's
    // words (or the error text) in lastConnectDetail.
    bool connectOnPort(uint32_t n);
    ConnectFailure lastConnectFailure() const { return m_connectFailure; }
    const std::string& lastConnectDetail() const { return m_connectDetail; }
    // True at once in demo mode. Otherwise identify, the identity block and
    // every settings block in the fixed order (one retry after 131 ms and one
    // message per failed block). False when identification failed, or when a
    // read got no byte at all in any attempt: the controller went silent, the
    // remaining blocks are not tried, and a message names the blocks not read.
    bool openConnection();
    // Up to 4 attempts of command 0xCC. Sets m_readingsAllowed from the answer.
    bool identify();
    // Polling thread, after a port error: the last opened port closed, opened
    // and configured again under the link lock. Error objects are logged and give false.
    bool reopen();
    // Demo mode: both flags set, the fixed demo identity.
    void startDemoMode();
    // Running without a controller: both flags cleared.
    void runWithoutConnection();
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
    // "Brak połączenia" after a refused model is shown once per run; tests start over.
    static void resetRefusalNotice();

    CDiagData& diagData() { return m_diagData; }
    const CDiagData& diagData() const { return m_diagData; }

    // Stops when readings are not allowed. Otherwise (after stopping a polling
    // thread that still runs) sets the polling flag, keeps path and starts a
    // CDiagRSThread that records to path (kNoRecordingPath records nothing).
    // True when a thread was started.
    bool startPolling(const std::string& path);
    // Clears the polling flag, raises PollingStopped and waits until the thread
    // has left its loop. startPolling raises PollingStarted before the thread runs.
    void stopPolling();
    // A recording from the readings page: only a path ending in "osc" restarts
    // polling with it; any other path changes nothing and gives false.
    bool startRecording(const std::string& path);
    // Whether a polling thread has its diagnostic file open.
    bool isRecording() const { return m_recording; }
    // Any thread. Lines the last recording wrote whole, and the errno that
    // ended it or kept it from starting (0 while none): a failed write closes
    // the file and ends the recording; polling goes on without it.
    uint32_t recordedLines() const { return m_recordedLines; }
    int recordingError() const { return m_recordingError; }
    // Whether the recording of the last polling start ended at a failed write.
    bool recordingBroke() const { return m_recordingBroke; }
    // Whole lines after which a recording closes its file (0, the default: no
    // limit); polling goes on. Any thread; the polling thread reads it per line.
    void setRecordingLimit(uint32_t lines) { m_recordingLimit = lines; }
    uint32_t recordingLimit() const { return m_recordingLimit; }
    // Any thread: whether a polling thread of this device still runs.
    bool pollingThreadRunning() const { return m_pollingThreads.load() > 0; }
    // Waits (real time) until no polling thread runs; false after timeoutMs.
    bool waitPollingEnded(unsigned timeoutMs) const;
    // The manager that starts polling threads; null (the default) is the
    // program's CLPGThreadManager. A tool that reports its exit status sets its own.
    void setThreadManager(CThreadManager* manager) { m_threadManager = manager; }
    // Whether a polling thread that loses the port says "Brak połączenia" in a
    // box of its own (the default), or leaves the telling to the program, whose
    // no-connection dialog follows the loss.
    void setLossMessage(bool shown) { m_lossMessage = shown; }
    bool lossMessage() const { return m_lossMessage; }

    // Set by startPolling, cleared by stopPolling and by a polling thread that
    // gives up; read by the thread once per cycle.
    std::atomic<bool> m_polling { false };
    // Whether the identification answer allowed live readings (third byte 85).
    std::atomic<bool> m_readingsAllowed { true };
    // The path given to the last startPolling.
    std::string m_diagPath;

protected:
    CDiagData m_diagData;

private:
    friend class CDiagInputThread;
    friend class CDiagRSThread;
    bool readBlockTwice(CReadBlocks::Block block);
    // openConnection after a silent read: not connected, the blocks not read named.
    bool linkLost();

    FirmwareUpdate m_firmwareUpdate;
    // Set by identify, completed by connectOnPort.
    ConnectFailure m_connectFailure = ConnectFailure::None;
    std::string m_connectDetail;
    CThreadManager* m_threadManager = nullptr;
    std::atomic<int> m_pollingThreads { 0 };
    std::atomic<bool> m_recording { false };
    std::atomic<uint32_t> m_recordedLines { 0 };
    std::atomic<int> m_recordingError { 0 };
    std::atomic<bool> m_recordingBroke { false };
    std::atomic<bool> m_lossMessage { true };
    std::atomic<uint32_t> m_recordingLimit { 0 };
    // Destroyed after the lifetime member below has ended polling.
    std::unique_ptr<IObdGateway> m_ownObdGateway;
    std::atomic<IObdGateway*> m_obdGateway { nullptr };

    // Declared last, so it is built after and destroyed before every other
    // member: it publishes the device pointer, and on destruction ends polling
    // and waits, so no polling thread outlives what it uses.
    class CLifetime {
    public:
        explicit CLifetime(CLPGDevice* device);
        ~CLifetime();
        CLifetime(const CLifetime&) = delete;
        CLifetime& operator=(const CLifetime&) = delete;

    private:
        CLPGDevice* m_device;
    };
    CLifetime m_lifetime { this };
    // ---- end of the connection block ----
};
