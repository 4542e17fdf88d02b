// SPDX-License-Identifier: GPL-3.0-or-later
// The one way a page, dialog, procedure or CLI command changes the
// controller. A session:
//  - refuses, before anything is sent, blocks that were not read from this
//    controller in this connection (require);
//  - notes the fuel state and the pending automatic switch once, before the
//    first step that forces a fuel mode, and on every way out ends by the
//    restore rule: automatic mode unless the car was on petrol before (never a
//    switch to LPG of its own accord);
//  - writes blocks in the order its caller gives, reads each back and
//    compares; on a failure after something was written it puts back, inside
//    the same petrol wrap and one attempt a block, the values the controller
//    held before (only where the read-back still shows what was written);
//  - wraps every map write: petrol and wait before, read back, restart 0x0A
//    on petrol and 1 s after, then the restore rule;
//  - when the link is lost, switches nothing more: what was left changed is
//    kept in the device (CLeftChanged) for the fitter to put back.
// The report says exactly what the controller now holds. The live image ends
// holding the controller's values of every block the session was asked to
// write and could not.
//
// Error objects thrown by the link pass through; the destructor then treats the
// link as lost.
#pragma once

#include <app/data/readblocks.h>
#include <app/data/settingsimage.h>
#include <app/device/leftchanged.h>

#include <array>
#include <csignal>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CLPGDevice;

struct CWriteReport {
    enum class Outcome {
        Done, // everything asked for is in the controller
        Refused, // blocks not read: nothing sent
        NotWritten, // failed, and the controller holds what it held before
        Changed, // failed, and the controller was changed (see the masks)
    };
    Outcome outcome = Outcome::Done;
    uint32_t written = 0; // blocks that hold what was written
    uint32_t putBack = 0; // written, then put back to what they held before
    uint32_t notWritten = 0; // asked for and never changed
    uint32_t unknown = 0; // what they hold could not be told
    uint32_t differs = 0; // read back holding neither what was written nor what they held
    uint32_t refused = 0; // not read from the controller
    bool linkLost = false;
    bool mapInvalid = false;
    std::wstring failure; // the step that failed, translated

    bool ok() const { return outcome == Outcome::Done; }
    // The CLI's exit code: 0 done, 1 nothing changed, 3 changed and failed.
    int exitCode() const;
    // Translated lines: what failed, then written / put back / not written.
    std::wstring text() const;
    // A message box (through the interaction seam) when not done: heading
    // (translated here), then text(); a refusal shows only the text.
    void show(const wchar_t* heading) const;
};

class CWriteSession {
public:
    enum Flags : unsigned {
        kNone = 0,
        // Petrol and wait before the first write (a map write always gets it).
        kPetrolWrap = 1,
        // Restart 0x0A on petrol and 1 s after the writes (a map write always gets it).
        kRestart = 2,
        // A factory restore and the preset of a blank controller: how a
        // controller whose blocks will not read is recovered.
        kUnreadAllowed = 4,
        // No read-back after each block (the caller compares by itself).
        kNoReadBack = 8,
        // A block whose values the controller holds already is not written
        // (a restore of this controller's own file leaves it as it was, even
        // where one value has several encodings).
        kSkipUnchanged = 16,
        // The caller puts back what it changes itself (the calibration keeps
        // its own record of the delay and the fuel mode it changed): no put
        // back, no fuel rule and no record of what a lost link left.
        kCallerRecovers = 32,
    };

    CWriteSession(CLPGDevice& device, std::wstring operation, unsigned flags = kNone);
    ~CWriteSession();
    CWriteSession(const CWriteSession&) = delete;
    CWriteSession& operator=(const CWriteSession&) = delete;

    // False, with the report saying which, when a block of blocks was not read
    // from this controller in this connection. Also when not connected.
    bool require(uint32_t blocks);
    // The blocks a refusal names, as the messages name them ("m_base, m_adv").
    std::wstring refusedNames() const;

    // Writes one block from the live image, then reads it back and compares.
    bool write(CReadBlocks::Block block);
    // Several in the order given; stops at the first failure.
    bool write(std::initializer_list<CReadBlocks::Block> blocks);
    // A step that is not a block (record 13, a memory block, an OBD record, a
    // command): a false result fails the session as a failed write does. what
    // names it for the report (translated by the caller).
    bool step(const std::wstring& what, const std::function<bool()>& run);
    // Forces petrol and waits (noting the fuel state first); ends by the rule.
    bool toPetrol();
    // The commands a fitter asks for by hand (a fuel button, an injector
    // clicked off, the corrections cleared): sent as asked, and a fuel mode
    // chosen this way is what the car keeps.
    enum class Command {
        Petrol, // 0x02
        Lpg, // 0x01
        Auto, // petrol, then 0x03
        Emulators, // 0x17 with the cylinder mask
        Injectors, // 0x18 with the cylinder mask
        Command13, // 0x13
        Command14, // 0x14
    };
    bool send(Command command, uint8_t mask = 0);
    // A procedure's own forcing of a fuel mode (the calibration's LPG on the
    // cylinders of mask, 0x17): the fuel state is noted first and the end gives the car back.
    bool force(Command command, uint8_t mask = 0);
    // Record 13 then 0x13: one step edit of a map region.
    bool mapStep(const std::array<uint8_t, 6>& region);
    // The chart maps' reset (automapping starts over).
    bool clearChartMap(bool lpg);
    // The OBD gateway's records 18 and 27.
    bool writeObdSettings(const std::array<uint8_t, 12>& record);
    bool writeObdMapConfig(const std::array<uint8_t, 18>& record);
    // Restart 0x0A on petrol and 1 s, now rather than at the end (a longer
    // operation that writes more after the restart).
    bool restart();
    // Fails the session by the caller's decision (a refused value, a stop by
    // the user after something was written): puts back as a failed write does.
    void fail(const std::wstring& why);

    // Ends the session: the restart when asked for, the fuel rule, the report.
    // Called by the destructor when the caller did not.
    const CWriteReport& finish();
    const CWriteReport& report() const { return m_report; }
    bool failed() const { return m_failed; }
    bool linkLost() const { return m_report.linkLost; }

    // The CLI's signal handlers set this flag; each step looks at it first and
    // a set flag fails the session (putting back what was written) and ends it
    // by the fuel rule, so no SIGINT leaves the car forced or half written.
    static void setInterruptFlag(const volatile std::sig_atomic_t* flag);
    // Whether a session is running now (a handler then only sets the flag).
    static bool active();

    // One command in a session of its own; true when it was taken.
    static bool sendOne(CLPGDevice& device, std::wstring operation, Command command, uint8_t mask = 0,
                        unsigned flags = kNone);
    // One session that writes blocks in the order given and ends: what a page
    // does when a field or a curve changed. The report says what happened.
    static CWriteReport writeBlocks(CLPGDevice& device, std::wstring operation,
                                    std::initializer_list<CReadBlocks::Block> blocks, unsigned flags = kNone);

    // After a write cut off by a lost link, once the link is back: writes the
    // values from before and ends by the fuel rule. Clears the record when done.
    static CWriteReport putBackLeftChanged(CLPGDevice& device);
    // The last record of what a lost link left, kept past the device object
    // for a tool whose device was destroyed with the error that ended it.
    static const CLeftChanged& lastLeftChanged();

private:
    bool interrupted();
    bool sendNow(Command command, uint8_t mask);
    bool writeBlock(CReadBlocks::Block block);
    void noteFuel();
    void failAt(const std::wstring& what);
    void putBack();
    bool toPetrolForPutBack();
    // What block holds now, read again: 1 = what was written, 0 = what it held
    // before, 2 = a third value, -1 = it could not be read.
    int readBackState(CReadBlocks::Block block, const std::vector<uint8_t>& written);
    void keepLeftChanged();
    // The restore point before the first change (history), once; false refuses the session.
    bool historyBefore();
    std::string historyOperation() const;

    CLPGDevice& m_device;
    std::wstring m_operation;
    unsigned m_flags;
    CSettingsImage m_before; // what the controller held when the session began
    uint32_t m_heldBefore = 0; // the blocks m_before knows
    uint32_t m_asked = 0; // blocks the caller asked to write (or required)
    std::vector<std::pair<CReadBlocks::Block, std::vector<uint8_t>>> m_writes; // in order, with the bytes sent
    uint32_t m_unchanged = 0; // read back as they were before: the write was not taken
    uint32_t m_unacknowledged = 0; // writes without an acknowledge
    uint32_t m_skipped = 0; // held already (kSkipUnchanged)
    bool m_fuelNoted = false;
    bool m_petrolBefore = false;
    bool m_forced = false; // a fuel mode was forced by this session
    bool m_onPetrol = false; // switched to petrol and waited
    bool m_restart = false;
    bool m_mapStarted = false;
    bool m_mapDone = false;
    bool m_failed = false;
    bool m_finished = false;
    bool m_historyTaken = false;
    int m_uncaught = 0;
    CWriteReport m_report;
};
