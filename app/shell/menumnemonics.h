// SPDX-License-Identifier: GPL-3.0-or-later
// Keyboard mnemonics for translated menus: the language tables hold plain
// texts, and the program marks in each menu the first letter of every item
// that no item before it has taken.
#pragma once

#include <QStringList>

class QMenu;
class QMenuBar;

// The texts with "&" before each one's first free letter or digit (an "&"
// already in a text is doubled so it shows); a text with no free letter gets none.
QStringList withMnemonics(const QStringList& texts);
// The same for the items of a menu bar or a menu, from their present plain texts.
void applyMnemonics(QMenuBar* bar);
void applyMnemonics(QMenu* menu);
// A text as shown, without its mnemonic mark.
QString withoutMnemonic(QString text);
