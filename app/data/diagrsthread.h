// The polling thread of the controller link: reads the live readings through
// the device object (simulated in demo mode), numbers them, records each to
// the diagnostic file when one is open and queues it for the pages.
#pragma once

#include <app/data/diag.h>
#include <app/data/diagfile.h>
#include <app/data/diaginputthread.h>

#include <cstdint>
#include <string>

class CDiagRSThread : public CDiagInputThread {
public:
    // Opens the diagnostic file at path now ("\" records nothing) and takes
    // the image's decoding values for the whole run. GUI thread.
    CDiagRSThread(CLPGDevice& device, CDiagData& queue, const std::string& path, std::atomic<bool>* pollingFlag);
    ~CDiagRSThread() override;

    bool recording() const { return m_file.isOpen(); }
    uint32_t sequence() const { return m_sequence; }

protected:
    void onStart() override;
    void onStop() override;
    uint8_t readOne(CDiag& record) override;
    void onRecord(CDiag& record) override;

private:
    CDiagFile m_file;
    CDiagScale m_scale;
    uint32_t m_sequence = 0;
};
