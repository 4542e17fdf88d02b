// SPDX-License-Identifier: GPL-3.0-or-later
// Implemented by every window object that shows texts (the document, the main
// frame, the main view and every page): re-titles them after a language change.
#pragma once

class IMultilangGUI {
public:
    virtual ~IMultilangGUI() = default;
    // Re-title every visible text of the object in the current language.
    virtual void updateTexts() = 0;
};
