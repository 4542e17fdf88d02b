// SPDX-License-Identifier: GPL-3.0-or-later
// Why a try to connect on one port failed, as connectOnPort records it, so a
// fitter is told to free the port, fix a path or program the controller
// instead of "no controller answered" for all of them.
#pragma once

#include <string>

enum class ConnectFailure {
    None,
    PortMissing, // no such path (or the number has none)
    NotSerialPort, // the path is no terminal device
    PermissionDenied, // the user may not open it
    PortBusy, // another program holds the port
    PortError, // opening or setting up the port failed otherwise
    NoAnswer, // the port works, nothing identified itself
    UnknownModel, // a controller of a model this program does not know
    Bootloader, // the controller waits in its bootloader and was not programmed
    LinkLost, // the link broke while connecting
};

// The reason an open failed with this errno.
ConnectFailure connectFailureOfOpenError(int error);

// The operating system's words for an errno: "13 (Permission denied)".
std::string osErrorText(int error);

// One line for a fitter, in English, e.g. "/dev/ttyUSB0 is held by another
// program; close it and try again". detail (the operating system's words)
// is added where it helps.
std::string describeConnectFailure(ConnectFailure failure, const std::string& port, const std::string& detail = {});
