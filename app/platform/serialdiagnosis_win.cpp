// SPDX-License-Identifier: GPL-3.0-or-later
// Why a COM port cannot be used, on Windows: the port opens for one program
// at a time, so a refused open means another program holds it. Windows does
// not say which one; there are no groups to join.
#include <app/platform/serialdiagnosis.h>

#include <app/platform/win32.h>

#include <cerrno>
#include <windows.h>

CSerialDiagnosis::CSerialDiagnosis()
    : CSerialDiagnosis(Roots {})
{
}

CSerialDiagnosis::CSerialDiagnosis(Roots roots)
    : m_roots(std::move(roots))
{
}

std::vector<PortHolder> CSerialDiagnosis::holdersOf(const std::string&, bool* heldHere) const
{
    if (heldHere)
        *heldHere = false;
    return {};
}

std::string CSerialDiagnosis::usbIdOf(const std::string&) const
{
    return {};
}

std::string CSerialDiagnosis::nonSerialKind(const std::string&)
{
    return {};
}

PortDiagnosis CSerialDiagnosis::probe(const std::string& path) const
{
    PortDiagnosis d;
    d.path = path;
    const HANDLE h
        = ::CreateFileW(widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        if (::GetFileType(h) != FILE_TYPE_CHAR) {
            d.access = PortAccess::NotSerial;
            d.kind = "a file";
        }
        ::CloseHandle(h);
        return d;
    }
    const DWORD error = ::GetLastError();
    d.error = errnoOfWin32(error);
    switch (d.error) {
    case ENOENT:
        d.access = PortAccess::Missing;
        break;
    case EBUSY:
        d.access = PortAccess::Busy;
        break;
    default:
        d.access = PortAccess::Error;
        d.kind = win32ErrorText(error);
        break;
    }
    return d;
}

bool CSerialDiagnosis::hasUsbSerialAdapter(const std::vector<PortEntry>& present)
{
    // SERIALCOMM names the drivers of USB adapters \Device\VCPn (FTDI),
    // \Device\Silabser, \Device\ProlificSerial, \Device\USBSER…; a built-in
    // UART is \Device\Serialn.
    for (const auto& p : present) {
        if (!p.description.empty() && p.description.rfind("\\Device\\Serial", 0) != 0)
            return true;
    }
    return false;
}

std::vector<std::string> CSerialDiagnosis::advice(const PortDiagnosis& d)
{
    std::vector<std::string> lines;
    switch (d.access) {
    case PortAccess::Missing:
        lines.push_back(d.path + " does not exist; check that the adapter is plugged in "
                                 "(the Device Manager lists the COM ports under \"Ports (COM & LPT)\")");
        break;
    case PortAccess::PermissionDenied:
    case PortAccess::Busy:
        lines.push_back(d.path + " is in use by another program; close that program and try again");
        break;
    case PortAccess::Error:
        lines.push_back(d.path + " could not be opened (" + d.kind + ")");
        break;
    case PortAccess::NotSerial:
        lines.push_back(d.path + " is " + d.kind + ", not a serial port; give the adapter's COM port");
        break;
    case PortAccess::Free:
        break;
    }
    return lines;
}

std::string CSerialDiagnosis::noAdapterAdvice()
{
    return "no USB-serial adapter is present: plug in the controller's adapter "
           "(the Device Manager lists the COM ports under \"Ports (COM & LPT)\")";
}
