// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/connectfailure.h>

#include <app/platform/posixcompat.h>

#include <cerrno>
#include <cstring>

namespace {

// strerror_r comes in a GNU and an XSI form; both are thread-safe.
[[maybe_unused]] const char* pickMessage(int, const char* buffer)
{
    return buffer;
}
[[maybe_unused]] const char* pickMessage(const char* message, const char*)
{
    return message;
}

} // namespace

std::string osErrorText(int error)
{
    char buffer[256] = {};
    return std::to_string(error) + " (" + pickMessage(strerror_r(error, buffer, sizeof buffer), buffer) + ")";
}

ConnectFailure connectFailureOfOpenError(int error)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return ConnectFailure::PortMissing;
    case ENOTTY:
    case EISDIR:
        return ConnectFailure::NotSerialPort;
    case EACCES:
    case EPERM:
        return ConnectFailure::PermissionDenied;
    case EBUSY:
    case EWOULDBLOCK:
        return ConnectFailure::PortBusy;
    default:
        return ConnectFailure::PortError;
    }
}

std::string describeConnectFailure(ConnectFailure failure, const std::string& port, const std::string& detail)
{
    const std::string why = detail.empty() ? std::string() : " (" + detail + ")";
    switch (failure) {
    case ConnectFailure::None:
        return "connected on " + port;
    case ConnectFailure::PortMissing:
        return port + " does not exist; check the path and that the adapter is plugged in";
    case ConnectFailure::NotSerialPort:
        return port + " is not a serial port";
    case ConnectFailure::PermissionDenied:
        return "no permission to open " + port + "; the user must be allowed to use it (e.g. the dialout group)";
    case ConnectFailure::PortBusy:
        return port + " is held by another program; close it and try again";
    case ConnectFailure::PortError:
        return port + " could not be opened or set up" + why;
    case ConnectFailure::NoAnswer:
        return "no controller answered on " + port;
    case ConnectFailure::UnknownModel:
        return "the controller on " + port + " is of a model this program does not know";
    case ConnectFailure::Bootloader:
        return "the controller on " + port
            + " is in its bootloader and was not programmed; program it with "
              "korvana-cli flash FILE.afm";
    case ConnectFailure::LinkLost:
        return "the link to the controller on " + port + " was lost while connecting" + why;
    }
    return "no controller answered on " + port;
}
