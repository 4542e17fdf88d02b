// The OBD state of the device object, a base of CLPGDevice. For now it keeps
// the eight OBD readings as texts, which the OBD poll writes and the readings
// pages and the diagnostic recording read; the OBD records and the poll steps
// join it later. The texts are guarded by their own lock, as the recording
// reads them on the polling thread.
#pragma once

#include <array>
#include <mutex>
#include <string>

class CObdDiagnostic {
public:
    static constexpr int kReadingCount = 8;

    CObdDiagnostic() = default;
    CObdDiagnostic(const CObdDiagnostic&) = delete;
    CObdDiagnostic& operator=(const CObdDiagnostic&) = delete;
    virtual ~CObdDiagnostic() = default;

    // Reading i = 0 … 7: STFT B1, OS B1-2, STFT B2, OS B2-2 … as in the OBD page.
    // Out-of-range indices read empty and are not written.
    std::wstring readingText(int i) const;
    void setReadingText(int i, const std::wstring& text);
    void clearReadingTexts();
    // The number at the start of reading i's text; 0 when there is none or i is out of range.
    double value(int i) const;

private:
    mutable std::mutex m_textsLock;
    std::array<std::wstring, kReadingCount> m_texts;
};
