// SPDX-License-Identifier: GPL-3.0-or-later
// The colours of the library's look: a dark slate frame with light pages, one
// blue accent. Text on every fill below keeps a contrast ratio of 7:1 or more.
#pragma once

#include <QColor>

namespace GradPalette {

inline QColor backdropTop() { return QColor(0x26, 0x2e, 0x37); }
inline QColor backdropBottom() { return QColor(0x1b, 0x21, 0x28); }
inline QColor panelTop() { return QColor(0x3b, 0x45, 0x50); }
inline QColor panelBottom() { return QColor(0x30, 0x38, 0x41); }
inline QColor panelBorder() { return QColor(0x4c, 0x57, 0x63); }

inline QColor buttonTop() { return QColor(0x4d, 0x58, 0x64); }
inline QColor buttonBottom() { return QColor(0x3b, 0x44, 0x4e); }
inline QColor buttonHoverTop() { return QColor(0x5b, 0x68, 0x76); }
inline QColor buttonHoverBottom() { return QColor(0x47, 0x52, 0x5e); }
inline QColor buttonBorder() { return QColor(0x65, 0x72, 0x80); }
inline QColor buttonText() { return QColor(0xf4, 0xf7, 0xfa); }

inline QColor selectedTop() { return QColor(0x2f, 0x86, 0xd4); }
inline QColor selectedBottom() { return QColor(0x1c, 0x5c, 0x9c); }
inline QColor selectedBorder() { return QColor(0x8c, 0xc4, 0xf4); }
inline QColor selectedMark() { return QColor(0xff, 0xc8, 0x3d); }

inline QColor pageTop() { return QColor(0xf6, 0xf8, 0xfa); }
inline QColor pageBottom() { return QColor(0xe1, 0xe6, 0xec); }
inline QColor pageBorder() { return QColor(0xb8, 0xc2, 0xcc); }
inline QColor pageText() { return QColor(0x14, 0x19, 0x1f); }

inline QColor focusRing() { return QColor(0xff, 0xc8, 0x3d); }
inline QColor disabledText() { return QColor(0x8a, 0x94, 0x9e); }

// A Windows colour value 0x00BBGGRR as the program's colour tables give them.
inline QColor fromColorRef(unsigned int bgr)
{
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

} // namespace GradPalette
