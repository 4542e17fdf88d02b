// SPDX-License-Identifier: GPL-3.0-or-later
// Every setting the two settings pages edit, as one table: the settings-file
// key, the control ids, the block(s) written after a change, the spin rule
// (step, range, paired limits, the bar conversion of the pressures, format,
// unit), the bit of a check box, the items of a value list and whether the
// change needs the controller restart sequence. The pages, korvana-cli and the
// check of a loaded settings file all go through this table, so a value the
// pages refuse is refused everywhere.
//
// Values are handled in the unit the pages show (bar for the pressures that
// the image holds in hundredths of a bar); storedValue / setStoredValue
// convert. Check boxes have the value 0 or 1, value lists their stored value.
#pragma once

#include <app/data/settingsimage.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CSettingsImage;

enum class SettingKind : uint8_t { Spin, Check, List };

// The blocks a change is written with, as bits; written in this order.
enum SettingBlock : uint8_t {
    kBlockBase = 0x01, // writeBlock(Base)
    kBlockAdv = 0x02, // writeBlock(Adv)
    kBlockAdvancedSetup = 0x04, // writeBlock(AdvancedSetup)
    kBlockSensorsSetup = 0x08, // writeBlock(SensorsSetup)
};

enum class SettingsPage : uint8_t { Settings, Advanced }; // "Ustawienia", "Zaawansowane"

// Special value lists whose choice is more than one member.
enum class SettingSpecial : uint8_t {
    None,
    RpmSource, // engine-speed signal source: bit 0x40 of m_advancedFlags2 and the divider
    LevelSensor, // gas-level sensor: loads the preset thresholds of the level-sensor dialog
    MaxLoadOnOff, // the check box beside the maximum load: 20 ms or 0
};

struct CSettingItem {
    const wchar_t* text; // translated through the language file
    int value;
};

struct CSettingField {
    const char* key = ""; // settings-file key (or the image member's path when not in the file)
    uint32_t bit = 0; // check boxes and bit lists: the bit of the member; 0 otherwise
    SettingKind kind = SettingKind::Spin;
    SettingsPage page = SettingsPage::Settings;
    int controlId = 0; // the edit, the box or the combo
    int spinId = 0; // the spin beside the edit; 0 for boxes and lists
    const wchar_t* label = L"";
    uint8_t blocks = 0; // SettingBlock bits
    bool restart = false; // the controller restart sequence follows the write
    bool inFile = true; // carried by the settings file
    SettingSpecial special = SettingSpecial::None;
    // Spins: in the shown unit.
    double step = 1;
    double min = 0;
    double max = 0;
    double scale = 1; // stored = shown × scale
    const char* format = "%.0f"; // printf format of the shown value
    const wchar_t* unit = L"";
    bool zeroIsOff = false; // 0 is accepted besides the range
    std::vector<CSettingItem> items; // value lists, in list order
    double (*get)(const CSettingsImage&) = nullptr; // the whole member as stored
    void (*put)(CSettingsImage&, double) = nullptr; // the whole member as stored

    // The name korvana-cli takes: the key, with ":0xNN" for a bit.
    std::string cliKey() const;
};

class CSettingsTable {
public:
    static const std::vector<CSettingField>& fields();
    // By cliKey(); nullptr when the table has no such setting.
    static const CSettingField* find(const std::string& cliKey);
    // By page and control id (the edit, spin, box or combo).
    static const CSettingField* byControl(SettingsPage page, int controlId);

    // The value as the page shows it: shown unit, 0/1 for boxes, stored value for lists.
    static double value(const CSettingField& field, const CSettingsImage& image);
    // Stores a value given as value() gives it, snapped (see snap). No range check.
    static void setValue(const CSettingField& field, CSettingsImage& image, double value);
    // The value a spin stores for value: the one the controller, once it holds
    // it, reads back as itself (the block's encoding, then its decoding, gives
    // it again), in this image's sensor columns. 1250 rpm becomes 1300, as a
    // read of 1250 rpm gives 1300. Boxes and lists are returned unchanged.
    static double snap(const CSettingField& field, const CSettingsImage& image, double value);

    // The range in force for a spin in this image (the paired limits follow the other field).
    static double rangeMin(const CSettingField& field, const CSettingsImage& image);
    static double rangeMax(const CSettingField& field, const CSettingsImage& image);
    // Whether value is allowed here: inside the range, 0 where 0 means off,
    // 0/1 for boxes, one of the items for lists.
    static bool allows(const CSettingField& field, const CSettingsImage& image, double value);
    // The spin rule: new = old − delta × step, rounded to the shown decimals
    // and snapped; a step that snaps back onto old is followed by the next.
    // The new value when allowed, nothing when refused.
    static std::optional<double> spin(const CSettingField& field, const CSettingsImage& image, int delta);
    // Nearest allowed value (a list's value is not changed; check it with allows).
    static double clamp(const CSettingField& field, const CSettingsImage& image, double value);

    // The shown text: the spin's format, "0"/"1" for boxes, the item text for lists.
    static std::wstring text(const CSettingField& field, const CSettingsImage& image);
    static std::wstring formatValue(const CSettingField& field, double value);
    // "500 … 4000 rpm, step 20" in this image; lists name their values. When
    // a paired limit leaves no room, the field's own range and what it
    // conflicts with: "…; sprzeczne z m_base.m_maxRPMHigh = 500 rpm, …".
    static std::wstring rangeText(const CSettingField& field, const CSettingsImage& image);
    // The other field of a paired limit that leaves this one no allowed value
    // in image, its value, and the value it would have to reach.
    struct PairedConflict {
        const char* key;
        double value;
        double limit;
        bool atLeast; // the other must be at least limit; else at most
    };
    static std::optional<PairedConflict> pairedConflict(const CSettingField& field, const CSettingsImage& image);
    // Whether the divider edit is locked: the engine-speed signal comes from
    // the injectors or the crankshaft, and the source list sets the divider.
    static bool dividerLocked(const CSettingsImage& image);
    // Parses a value typed for field: a plain decimal number with a point
    // (rounded to the shown decimals for spins), or an item's text for lists.
    // False when neither.
    static bool parse(const CSettingField& field, const std::wstring& text, double& value);

    // The gas-level sensor types of the list: code, then full, three quarters,
    // half and quarter thresholds and the reserve option, as the level-sensor dialog loads them.
    struct LevelPreset {
        int code;
        uint8_t full, hgw, half, quarter, res;
    };
    static const LevelPreset* levelPreset(int code);
};
