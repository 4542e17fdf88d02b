// SPDX-License-Identifier: GPL-3.0-or-later
// The controller's error bytes as messages: the five modules in index order,
// unknown bits and modules, the module names, and the cases the info page meets
// (the demo bytes, high unknown bits, the CAN byte, repeated EEPROM text), and
// when translation applies: messages once when built, names whenever asked.
#include <app/data/languages.h>
#include <app/device/lpgdeviceerr.h>

#include <gtest/gtest.h>

namespace {

using Msgs = std::vector<std::wstring>;

TEST(DeviceErrDecode, ByteSetsFromTheControllerGiveTheirMessages)
{
    CLPGDeviceErr dec;
    struct Case {
        std::array<uint8_t, 4> bytes;
        Msgs expected;
    };
    const Case cases[] = {
        { { 0x00, 0x00, 0x03, 0x00 }, { L"Brak sygnału RPM", L"Błąd - za niskie ciśnienie" } },
        { { 0x00, 0x00, 0xC0, 0x00 }, { L"Nieznany kod błędu = 0x40", L"Nieznany kod błędu = 0x80" } },
        { { 0x00, 0x00, 0x00, 0x03 }, { L"Błąd magistrali CAN", L"Nieznany kod błędu = 0x2" } },
        { { 0x00, 0x00, 0x00, 0x00 }, {} },
        { { 0x0A, 0x00, 0x00, 0x00 }, { L"Błąd odczytu z pamięci EEPROM", L"Błąd odczytu z pamięci EEPROM" } },
        // Byte order is module order: EEPROM, injectors, sensors, CAN.
        { { 0x81, 0x90, 0x30, 0x01 },
            { L"Błąd zapisu do pamięci EEPROM", L"Błąd sumy kontrolnej w pamięci EEPROM", L"Błąd wtryskiwacza LPG 5",
                L"Błąd wtryskiwacza LPG 8",
                L"Błąd - za niskie napięcie zasilania sterownika. Możliwe, że przepalił się bezpiecznik zasilania "
                L"głównego.",
                L"Błąd czujnika temperatury wewnętrznej sterownika", L"Błąd magistrali CAN" } },
    };
    for (const auto& c : cases)
        EXPECT_EQ(dec.decode(c.bytes), c.expected);
}

TEST(DeviceErrDecode, EveryMessageOfEveryModuleByBit)
{
    CLPGDeviceErr dec;
    const Msgs eeprom = { L"Błąd zapisu do pamięci EEPROM", L"Błąd odczytu z pamięci EEPROM",
        L"Błąd ustawienia adresu pamięci EEPROM", L"Błąd odczytu z pamięci EEPROM",
        L"Błąd zapisu struktury do pamięci EEPROM", L"Błąd odczytu struktury z pamięci EEPROM",
        L"Błędny typ struktury pamięci EEPROM", L"Błąd sumy kontrolnej w pamięci EEPROM" };
    const Msgs sensors = { L"Brak sygnału RPM", L"Błąd - za niskie ciśnienie", L"Błąd czujnika temperatury LPG",
        L"Błąd czujnika temperatury ogrzewacza LPG",
        L"Błąd - za niskie napięcie zasilania sterownika. Możliwe, że przepalił się bezpiecznik zasilania "
        L"głównego.",
        L"Błąd czujnika temperatury wewnętrznej sterownika", L"Nieznany kod błędu = 0x40",
        L"Nieznany kod błędu = 0x80" };
    const Msgs transm = { L"Nieznana komenda", L"Nieznana ramka", L"Błędny nagłówek ramki", L"Błąd CRC ramki",
        L"Błąd inny niż transmisji", L"Nieznany kod błędu = 0x20", L"Nieznany kod błędu = 0x40",
        L"Nieznany kod błędu = 0x80" };
    Msgs inj;
    for (int k = 1; k <= 8; ++k)
        inj.push_back(L"Błąd wtryskiwacza LPG " + std::to_wstring(k));

    EXPECT_EQ(dec.decodeModule(0, 0xFF), eeprom);
    EXPECT_EQ(dec.decodeModule(1, 0xFF), inj);
    EXPECT_EQ(dec.decodeModule(2, 0xFF), sensors);
    EXPECT_EQ(dec.decodeModule(4, 0xFF), transm);
    EXPECT_EQ(dec.decodeModule(3, 0x10), Msgs { L"Nieznany kod błędu = 0x10" });
}

TEST(DeviceErrDecode, ModuleBeyondTheListGivesOneUnknownModuleText)
{
    CLPGDeviceErr dec;
    EXPECT_EQ(dec.decodeModule(5, 0x01), Msgs { L"Nieznany kod modułu" });
    EXPECT_EQ(dec.decodeModule(200, 0x00), Msgs { L"Nieznany kod modułu" });
}

TEST(DeviceErrModules, NamesInIndexOrder)
{
    CLPGDeviceErr dec;
    ASSERT_EQ(dec.moduleCount(), 5u);
    const wchar_t* names[] = { L"EEPROM", L"Wtryskiwacze", L"Czujniki", L"CAN", L"Transmisja" };
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(dec.module(i).name(), names[i]) << i;
}

// A language file's bytes: UTF-16 little-endian after a byte-order mark.
std::string utf16File(const std::wstring& text)
{
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return bytes;
}

TEST(DeviceErrTranslation, MessagesAtConstructionNamesWhenAsked)
{
    CLangFile* english = langSlot(langSlotOfIndex(1));
    ASSERT_NE(english, nullptr);
    english->openBytes(utf16File(L"Brak sygnału RPM\tNo RPM signal\r\nCzujniki\tSensors\r\n"
                                 L"Nieznany kod błędu\tUnknown error code\r\nNieznany kod modułu\tUnknown module\r\n"));
    setCurrentLanguage(1);
    CLPGDeviceErr built;
    EXPECT_EQ(built.decodeModule(2, 0x41), (Msgs { L"No RPM signal", L"Unknown error code = 0x40" }));
    EXPECT_EQ(built.decodeModule(9, 0x01), Msgs { L"Unknown module" });
    EXPECT_EQ(built.module(2).name(), L"Sensors");

    setCurrentLanguage(0);
    EXPECT_EQ(built.module(2).name(), L"Czujniki");
    EXPECT_EQ(built.decodeModule(2, 0x01), Msgs { L"No RPM signal" }); // fixed when built
    english->close();
}

} // namespace
