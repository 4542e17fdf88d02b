// SPDX-License-Identifier: GPL-3.0-or-later
// The polling thread of the controller link: reads the live readings through
// the device object (simulated in demo mode), numbers them, records each to
// the diagnostic file when one is open and queues it for the pages.
#pragma once

#include <app/data/diag.h>
#include <app/data/diagfile.h>
#include <app/device/diaginputthread.h>

#include <atomic>
#include <cstdint>
#include <string>

class CDiagRSThread : public CDiagInputThread {
public:
    // Opens the diagnostic file at path now ("\" records nothing). GUI thread.
    // Each line is converted with the sensor types, version and flags the
    // image held at the last ImageChanged, so a change written during a
    // recording counts from the next line on. The first line that cannot be written ends the
    // recording (the device's recordingError says why); polling goes on.
    CDiagRSThread(CLPGDevice& device, CDiagData& queue, const std::string& path, std::atomic<bool>* pollingFlag);
    ~CDiagRSThread() override;

    bool recording() const { return m_file.isOpen(); }
    // errno of a path that names a file but could not be opened as one; 0 otherwise.
    int openError() const { return m_file.isOpen() ? 0 : m_file.error(); }
    uint32_t sequence() const { return m_sequence; }

protected:
    void onStart() override;
    void onStop() override;
    uint8_t readOne(CDiag& record) override;
    void onRecord(CDiag& record) override;

private:
    // The decoding values as of the last ImageChanged: copied by the thread
    // that changed the image, so this thread never reads the image itself.
    CDiagScale liveScale() const;
    static uint64_t packScale(const CDiagScale& scale);

    // Once the loop has ended: the thread object may be deleted after the device.
    void stopHearingImage();

    std::atomic<uint64_t> m_scale { 0 };
    std::atomic<int> m_imageListener { 0 };
    CDiagFile m_file;
    uint32_t m_sequence = 0;
};
