// SPDX-License-Identifier: GPL-3.0-or-later
// Restore points: the program and the CLI install one recorder, and every
// connection that read every block, and every write session, leaves points
// in the history store through it ("connected", "before set", "after set" …).
// No recorder installed (tests, tools) means no points.
//
// A store that does not work never blocks a connection: its trouble is said
// once (problemText). Before a write without a working store the policy
// decides: the program asks once whether to go on without restore points,
// the CLI refuses unless --no-history allowed it.
//
// A procedure that writes through several sessions (a restore, the
// calibration, a firmware update) holds a CHistoryScope: one point before it
// and one after, none from the sessions inside.
// GUI thread (the CLI's main thread) only.
#pragma once

#include <app/data/cardetails.h>
#include <app/data/historystore.h>
#include <app/device/historyimage.h>

#include <cstdint>
#include <string>
#include <thread>

class CLPGDevice;

class CHistoryRecorder {
public:
    enum class WithoutHistory {
        Ask, // the program: ask once
        Refuse, // the CLI: refuse the write
        Allow, // --no-history: write without restore points
    };

    explicit CHistoryRecorder(std::string path = CHistoryStore::defaultPath(), WithoutHistory policy = WithoutHistory::Ask);
    ~CHistoryRecorder();
    CHistoryRecorder(const CHistoryRecorder&) = delete;
    CHistoryRecorder& operator=(const CHistoryRecorder&) = delete;

    // The recorder points are taken through; null for none.
    static CHistoryRecorder* installed();
    static void install(CHistoryRecorder* recorder);

    // Opened on first use, or by openAhead.
    CHistoryStore& store();
    // Starts opening the store on a worker, so that a connection's point need
    // not wait for the open and its check; store() waits for the worker.
    void openAhead();
    void setPolicy(WithoutHistory policy) { m_policy = policy; }
    // What is wrong with the store, translated, with the path; empty when it works.
    std::wstring problemText();
    // The problem once per run: returns it the first time, then empty.
    std::wstring problemOnce();

    // After a connection: the point "connected" when every block was read (not
    // in demo mode). Returns the line of what changed since this PC last saw
    // this controller, translated; empty when nothing changed or it is new here.
    // The car kept for this controller is filled into its image first.
    std::wstring connected(CLPGDevice& device);
    // The point the last connected() compared with (0: none), and the new one.
    int64_t changedSincePoint() const { return m_changedSince; }
    int64_t connectedPoint() const { return m_connectedPoint; }

    // A restore point of what the controller holds before operation writes
    // ("set" gives "before set"). False when the write must not go on.
    bool before(const CLPGDevice& device, const std::string& operation);
    // The point after it.
    void after(const CLPGDevice& device, const std::string& operation);
    // A point of any operation ("connected", "after firmware" …); 0 when none was stored.
    int64_t point(const CLPGDevice& device, const std::string& operation);

    // The car and customer of the controller connected last (what its image's
    // m_carInfo was filled from), or of the demo controller as last set.
    const CCarDetails& car() const { return m_car; }
    // Keeps car for the connected controller: in its image and, by serial, in
    // the store (only in memory for the demo controller). False when the
    // store could not keep it (the image holds it all the same).
    bool setCar(CLPGDevice& device, const CCarDetails& car);
    // Fills the image's m_carInfo of a controller from the car kept for its
    // serial; true when one was kept.
    bool loadCar(CLPGDevice& device);

    // Scope nesting (CHistoryScope).
    bool inScope() const { return m_scopeDepth > 0; }
    bool scopeRefused() const { return m_scopeRefused; }

    // The line "Zmieniony od … : N ustawień, M komórek mapy" for two contents.
    static std::wstring changedLine(const std::string& since, const CHistoryContent& before, const CHistoryContent& now);
    // "2026-11-30 14:02" in local time from a point's time.
    static std::string localTime(const std::string& iso);

private:
    friend class CHistoryScope;
    bool usable(const CLPGDevice& device) const;
    // Waits for the worker that opens the store or copies its journal after a point.
    void settle();

    std::string m_path;
    WithoutHistory m_policy;
    CHistoryStore m_store;
    bool m_opened = false;
    // Opens the store (openAhead) or copies its journal after a point, while
    // the caller goes on with the controller; joined before the store is used.
    std::thread m_worker;
    bool m_problemSaid = false;
    bool m_allowedWithout = false;
    int m_scopeDepth = 0;
    bool m_scopeRefused = false;
    int64_t m_changedSince = 0;
    int64_t m_connectedPoint = 0;
    int64_t m_pointImage = 0; // the stored image of the last point made
    CCarDetails m_car;
    std::string m_carSerial; // the controller m_car belongs to; empty for none
};

struct CWriteReport;

// Writes the blocks of mask (and the OBD records when obd) from content back
// into the controller, in one session inside the scope "restore": blocks it
// holds already are left alone, this PC's identifier and the inspection
// counter stay the controller's. The caller checks that content is of this
// controller and version.
CWriteReport restoreHistoryContent(CLPGDevice& device, const CHistoryContent& content, uint32_t mask, bool obd);

class CHistoryScope {
public:
    // operation: "calibration", "firmware", "restore" …
    CHistoryScope(CLPGDevice& device, std::string operation);
    ~CHistoryScope();
    CHistoryScope(const CHistoryScope&) = delete;
    CHistoryScope& operator=(const CHistoryScope&) = delete;
    // False when the write must not go on (no working history, not allowed).
    bool ok() const { return m_ok; }
    // The point after is taken at the end unless this was said (a lost link).
    void skipAfter() { m_after = false; }

private:
    CLPGDevice& m_device;
    std::string m_operation;
    CHistoryRecorder* m_recorder;
    bool m_ok = true;
    bool m_after = true;
};
