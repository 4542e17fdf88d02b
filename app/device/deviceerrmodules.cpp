// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/deviceerrmodules.h>

#include <app/data/translate.h>

CEEPROMError::CEEPROMError()
{
    addMessage(L"Błąd zapisu do pamięci EEPROM");
    addMessage(L"Błąd odczytu z pamięci EEPROM");
    addMessage(L"Błąd ustawienia adresu pamięci EEPROM");
    // Bit 3 repeats the read error of bit 1; the controller sets either.
    addMessage(L"Błąd odczytu z pamięci EEPROM");
    addMessage(L"Błąd zapisu struktury do pamięci EEPROM");
    addMessage(L"Błąd odczytu struktury z pamięci EEPROM");
    addMessage(L"Błędny typ struktury pamięci EEPROM");
    addMessage(L"Błąd sumy kontrolnej w pamięci EEPROM");
}

std::wstring CEEPROMError::name() const
{
    return translate(L"EEPROM");
}

CInjError::CInjError()
{
    for (int k = 1; k <= 8; ++k)
        addMessage(L"Błąd wtryskiwacza LPG " + std::to_wstring(k));
}

std::wstring CInjError::name() const
{
    return translate(L"Wtryskiwacze");
}

CSensorErr::CSensorErr()
{
    addMessage(L"Brak sygnału RPM");
    addMessage(L"Błąd - za niskie ciśnienie");
    addMessage(L"Błąd czujnika temperatury LPG");
    addMessage(L"Błąd czujnika temperatury ogrzewacza LPG");
    addMessage(L"Błąd - za niskie napięcie zasilania sterownika. Możliwe, że przepalił się bezpiecznik "
               L"zasilania głównego.");
    addMessage(L"Błąd czujnika temperatury wewnętrznej sterownika");
}

std::wstring CSensorErr::name() const
{
    return translate(L"Czujniki");
}

CCanErr::CCanErr()
{
    addMessage(L"Błąd magistrali CAN");
}

std::wstring CCanErr::name() const
{
    return translate(L"CAN");
}

CTransmError::CTransmError()
{
    addMessage(L"Nieznana komenda");
    addMessage(L"Nieznana ramka");
    addMessage(L"Błędny nagłówek ramki");
    addMessage(L"Błąd CRC ramki");
    addMessage(L"Błąd inny niż transmisji");
}

std::wstring CTransmError::name() const
{
    return translate(L"Transmisja");
}
