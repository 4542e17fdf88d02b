// SPDX-License-Identifier: GPL-3.0-or-later
// The five modules of the controller's fault memory, in the order of their
// indices in CLPGDeviceErr.
#pragma once

#include <app/device/deviceerrorbase.h>

class CEEPROMError : public CDeviceErrorBase {
public:
    CEEPROMError();
    std::wstring name() const override;
};

class CInjError : public CDeviceErrorBase {
public:
    CInjError();
    std::wstring name() const override;
};

class CSensorErr : public CDeviceErrorBase {
public:
    CSensorErr();
    std::wstring name() const override;
};

class CCanErr : public CDeviceErrorBase {
public:
    CCanErr();
    std::wstring name() const override;
};

class CTransmError : public CDeviceErrorBase {
public:
    CTransmError();
    std::wstring name() const override;
};
