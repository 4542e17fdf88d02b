// SPDX-License-Identifier: GPL-3.0-or-later
// The serial port on the Win32 COM port API: the device control block states
// the line, COMMTIMEOUTS carry the exchange's time-outs as they are, and the
// port opens with no sharing, so no second program gets the adapter.
#include <app/device/serialport.h>

#include <app/platform/iporttable.h>
#include <app/platform/textcodec.h>
#include <app/platform/win32.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <windows.h>

namespace {

HANDLE handleOf(void* handle)
{
    return static_cast<HANDLE>(handle);
}

std::wstring osError(DWORD error)
{
    return fromUtf8(win32ErrorText(error));
}

BYTE lineControl(SerialLineSettings::LineControl control, bool rts)
{
    switch (control) {
    case SerialLineSettings::LineControl::Disable:
        return rts ? RTS_CONTROL_DISABLE : DTR_CONTROL_DISABLE;
    case SerialLineSettings::LineControl::Enable:
        return rts ? RTS_CONTROL_ENABLE : DTR_CONTROL_ENABLE;
    case SerialLineSettings::LineControl::Handshake:
        return rts ? RTS_CONTROL_HANDSHAKE : DTR_CONTROL_HANDSHAKE;
    case SerialLineSettings::LineControl::Toggle:
        return rts ? RTS_CONTROL_TOGGLE : DTR_CONTROL_DISABLE;
    }
    return 0;
}

} // namespace

CSerialPort::CSerialPort(IPortTable& ports)
    : m_ports(ports)
{
}

CSerialPort::~CSerialPort()
{
    close();
}

void CSerialPort::throwSimple(const wchar_t* what, int error, int32_t line)
{
    const std::wstring text = std::wstring(what) + L" - GetLastError()=" + osError(static_cast<DWORD>(error));
    _throw(6, text.c_str(), line, L"serialport");
    std::abort(); // _throw never returns; the compiler cannot see that through the virtual call
}

void CSerialPort::throwWithFlags(const wchar_t* what, int error, int32_t line)
{
    const uint32_t flags = clearCommError();
    std::wostringstream text;
    text << what << L"\n GetLastError() = " << osError(static_cast<DWORD>(error)) << L"\n clearCommError() = "
         << flags;
    _throw(6, text.str().c_str(), line, L"serialport");
    std::abort();
}

void CSerialPort::open(uint32_t n)
{
    close();
    DWORD error = ERROR_FILE_NOT_FOUND;
    const std::string path = m_ports.pathOf(n);
    if (!path.empty()) {
        const HANDLE h = ::CreateFileW(
            widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            error = ::GetLastError();
        } else if (::GetFileType(h) != FILE_TYPE_CHAR) {
            error = ERROR_INVALID_NAME; // a file or a pipe, no COM port
            ::CloseHandle(h);
        } else {
            // Whatever an earlier program left in the queues is no answer of ours.
            ::PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
            DWORD ignored = 0;
            ::ClearCommError(h, &ignored, nullptr);
            m_handle = h;
            m_portNr = n;
            m_openError = 0;
            return;
        }
    }
    m_openError = errnoOfWin32(error);
    std::wostringstream text;
    text << L"CSerialPort::open(" << n << L") - GetLastError()=" << osError(error);
    _throw(5, text.str().c_str(), 67, L"serialport");
}

void CSerialPort::close()
{
    if (!m_handle)
        return;
    ::CloseHandle(handleOf(m_handle));
    m_handle = nullptr;
}

void CSerialPort::setState(const SerialLineSettings& s)
{
    const wchar_t* const what = L"CSerialPort::setState() ";
    if (!m_handle)
        throwWithFlags(what, ERROR_INVALID_HANDLE, 106);
    if (s.byteSize < 5 || s.byteSize > 8)
        throwWithFlags(what, ERROR_INVALID_PARAMETER, 106);
    DCB dcb {};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = s.baudRate;
    dcb.fBinary = s.binary;
    dcb.fParity = s.parityCheck;
    dcb.fOutxCtsFlow = s.outxCtsFlow;
    dcb.fOutxDsrFlow = s.outxDsrFlow;
    dcb.fDtrControl = lineControl(s.dtrControl, false);
    dcb.fDsrSensitivity = s.dsrSensitivity;
    dcb.fTXContinueOnXoff = s.txContinueOnXoff;
    dcb.fOutX = s.outX;
    dcb.fInX = s.inX;
    dcb.fErrorChar = s.errorCharReplace;
    dcb.fNull = s.nullStrip;
    dcb.fRtsControl = lineControl(s.rtsControl, true);
    dcb.fAbortOnError = s.abortOnError;
    dcb.XonLim = s.xonLimit;
    dcb.XoffLim = s.xoffLimit;
    dcb.ByteSize = s.byteSize;
    static const BYTE kParity[] = { NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY };
    dcb.Parity = kParity[static_cast<int>(s.parity)];
    static const BYTE kStopBits[] = { ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS };
    dcb.StopBits = kStopBits[static_cast<int>(s.stopBits)];
    dcb.XonChar = static_cast<char>(s.xonChar);
    dcb.XoffChar = static_cast<char>(s.xoffChar);
    dcb.ErrorChar = static_cast<char>(s.errorChar);
    dcb.EofChar = static_cast<char>(s.eofChar);
    dcb.EvtChar = static_cast<char>(s.eventChar);
    if (!::SetCommState(handleOf(m_handle), &dcb))
        throwWithFlags(what, static_cast<int>(::GetLastError()), 106);
}

void CSerialPort::setTimeout(const SerialTimeouts& timeouts)
{
    const wchar_t* const what = L"CSerialPort::setTimeout() ";
    if (!m_handle)
        throwWithFlags(what, ERROR_INVALID_HANDLE, 151);
    COMMTIMEOUTS t {};
    t.ReadIntervalTimeout = timeouts.readInterval;
    t.ReadTotalTimeoutMultiplier = timeouts.readTotalMultiplier;
    t.ReadTotalTimeoutConstant = timeouts.readTotalConstant;
    t.WriteTotalTimeoutMultiplier = timeouts.writeTotalMultiplier;
    t.WriteTotalTimeoutConstant = timeouts.writeTotalConstant;
    if (!::SetCommTimeouts(handleOf(m_handle), &t))
        throwWithFlags(what, static_cast<int>(::GetLastError()), 151);
    m_timeouts = timeouts;
}

uint32_t CSerialPort::read(void* buffer, uint32_t count)
{
    const wchar_t* const what = L"CSerialPort::read()";
    if (!m_handle)
        throwSimple(what, ERROR_INVALID_HANDLE, 166);
    DWORD got = 0;
    if (!::ReadFile(handleOf(m_handle), buffer, count, &got, nullptr))
        throwSimple(what, static_cast<int>(::GetLastError()), 166);
    return got;
}

uint32_t CSerialPort::write(const void* buffer, uint32_t count)
{
    const wchar_t* const what = L"CSerialPort::write()";
    if (!m_handle)
        throwSimple(what, ERROR_INVALID_HANDLE, 182);
    DWORD done = 0;
    if (!::WriteFile(handleOf(m_handle), buffer, count, &done, nullptr))
        throwSimple(what, static_cast<int>(::GetLastError()), 182);
    return done;
}

void CSerialPort::purgeIn()
{
    if (!m_handle || !::PurgeComm(handleOf(m_handle), PURGE_RXCLEAR))
        throwWithFlags(L"CSerialPort::purgeIn() ",
            m_handle ? static_cast<int>(::GetLastError()) : ERROR_INVALID_HANDLE, 201);
}

uint32_t CSerialPort::clearCommError()
{
    const uint32_t injected = m_injectedFlags.exchange(0);
    if (!m_handle)
        return ERROR_INVALID_HANDLE;
    DWORD errors = 0;
    if (!::ClearCommError(handleOf(m_handle), &errors, nullptr))
        return ::GetLastError();
    // CE_RXOVER … CE_BREAK have the values of the flags above.
    return injected | (errors & (kRxOver | kOverrun | kRxParity | kFrame | kBreak));
}

void CSerialPort::wait(unsigned milliseconds)
{
    if (m_waiter)
        m_waiter(milliseconds);
    else
        ILink::wait(milliseconds);
}
