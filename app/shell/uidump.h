// SPDX-License-Identifier: GPL-3.0-or-later
// The window's description (--dump-ui): every visible widget of every visible
// window with its text, whether the text was cut, its tool tip and geometry;
// the menus with their shortcuts; and the texts owner-drawn controls paint.
// Scripts and tests check texts and layout through it instead of pixels.
#pragma once

#include <QByteArray>

// The description as one JSON object (UTF-8, indented).
QByteArray describeUi();
