// SPDX-License-Identifier: GPL-3.0-or-later
// The eight main corrections of the calibration page without the widgets:
// how they are shown, which spins are visible and enabled, and what a spin
// change does — the new value within −3.0 … 6.0 ms, shown in one edit or all
// eight, then every edit taken into the image and the corrections written.
// The page keeps the edit texts and calls onDeltaSpin with the spin's change.
#pragma once

#include <array>
#include <optional>
#include <string>

class CLPGDevice;

class CMainCorrEdits {
public:
    static constexpr int kEdits = 8;
    static constexpr double kSpinStep = 0.01;
    static constexpr double kMin = -3.0;
    static constexpr double kMax = 6.0;

    using Texts = std::array<std::wstring, kEdits>;

    // "%.2f".
    static std::wstring format(double ms);
    // The texts of the image's corrections.
    static Texts texts(const CLPGDevice& device);
    // Only the first n (1 … 8) edits and spins are shown.
    static bool visible(int index, int injectors);
    // Spins work while connected; with "Jedna poprawka" only the first.
    static bool spinEnabled(int index, bool connected, bool oneCorrection);
    // shown − change × 0.01, or nothing when that leaves −3.0 … 6.0.
    static std::optional<double> spun(double shown, int positionChange);

    // A spin of edit index by positionChange: updates edits (all eight with
    // oneCorrection, else that one), takes all eight into the image and writes
    // them. A failed write shows "Nie powiodło się ustawienie urządzenia!"; an
    // error object is shown with the handler's name and deleted. Returns
    // whether the corrections were written; an ignored change returns false
    // and changes nothing.
    static bool onDeltaSpin(CLPGDevice& device, Texts& edits, int index, int positionChange, bool oneCorrection);

private:
    // The edit's number; the image's value when the text is not one.
    static double parse(const std::wstring& text, double fallback);
};
