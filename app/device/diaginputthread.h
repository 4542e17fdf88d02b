// SPDX-License-Identifier: GPL-3.0-or-later
// The polling loop of the live readings: every 100 ms one record is read and,
// when it is good, handed on; more than 10 link faults since the last good
// record end polling and mark the link as lost; a port error is answered by
// one re-opening after 700 ms, and when that fails the thread ends with
// "Brak połączenia". Derived classes supply the controller-specific steps.
//
// The object is handed to a thread manager, which starts and deletes it. It
// uses the device object, its queue and its polling flag, all of which must
// outlive the thread's work; the device waits for its polling threads.
#pragma once

#include <syncmsg/sthread.h>

#include <atomic>
#include <cstdint>
#include <string>

class CDiag;
class CDiagData;
class CLPGDevice;

class CDiagInputThread : public CSThread {
public:
    // readOne results.
    static constexpr uint8_t kRead = 0, kNotReadings = 1, kLinkFault = 2;
    // More link faults than this since the last good record end polling.
    static constexpr int kFaultLimit = 10;
    static constexpr unsigned kPollMs = 100;
    static constexpr unsigned kReopenWaitMs = 700;
    // The reasons of LinkLost when a polling thread ends on its own.
    static constexpr const char* kFaultReason = "more than 10 link faults since the last good record";
    static constexpr const char* kPortReason = "the port failed and could not be opened again";

    CDiagInputThread(CLPGDevice& device, CDiagData& queue, std::atomic<bool>* pollingFlag);
    ~CDiagInputThread() override;

    // The polling loop; doWork runs it.
    virtual void run();
    void doWork() override;

    const std::string& name() const { return m_name; }

    // The fault counter shared by the polling threads (reset when one starts).
    static int faultCount();

protected:
    virtual void onStart() = 0;
    virtual void onStop() = 0;
    virtual uint8_t readOne(CDiag& record) = 0;
    virtual void onRecord(CDiag& record) = 0;
    // The line's time (the device's link), not the user's.
    virtual void pause(unsigned milliseconds);

    CLPGDevice& m_device;
    CDiagData& m_queue;
    std::atomic<bool>* m_pollingFlag;
    std::string m_name;

private:
    void giveUp();
    // A port error that the re-opening did not cure, or any other exception.
    void portFailed();
    // The port's error flags, or the errno of a port that cannot say.
    uint32_t portErrorState();
};
