// SPDX-License-Identifier: GPL-3.0-or-later
// The document's operations on whole settings: saving the image to a settings
// file, loading a file into the controller, restoring factory settings and
// writing the initial preset into a blank controller. The program's document
// calls them from its menu commands; the CLI calls them directly. Messages,
// questions and file choices go through the user-interaction seam; every
// operation catches error objects and shows them under its own name. The
// device raises ImageChanged(All) after a load, a restore and the initial setup.
#pragma once

#include <app/data/settingsimage.h>
#include <app/device/writesession.h>

#include <cstdint>
#include <functional>
#include <string>

class CLPGDevice;

class CDocOperations {
public:
    explicit CDocOperations(CLPGDevice& device);

    // Time stamp, then a copy of the live image written to path (asked for
    // through the seam when empty; cancelling ends quietly). Only when connected.
    // When a block the file carries was not read from the controller, the
    // blocks are named and the user asked whether to save anyway (default No;
    // the CLI answers No): on No nothing is written and an existing file stays.
    bool saveToFile(std::string path = {});
    // What loading does with values of the file the pages would not allow:
    // ask whether to load them clamped (default No), refuse, or clamp them.
    enum class OutOfRange { Ask, Refuse, Clamp };
    // The file into a separate image, checked against the pages' ranges (values
    // outside are listed by key and, unless clamped, nothing is written), the
    // copy rules into the live image, then the blocks written to the
    // controller. Only when connected.
    bool loadIntoController(std::string path = {}, OutOfRange outOfRange = OutOfRange::Ask);
    // Asks first; then writeAll, the initial preset and a refresh.
    bool restoreFactorySettings();
    // The preset beside the program, written only into a blank controller.
    // True when it was written. Inside a longer operation (the factory
    // restore) its session; that session then ends the operation.
    bool writeInitialSetup(CWriteSession* session = nullptr);
    // What the last load, restore or preset left in the controller.
    const CWriteReport& lastReport() const { return m_lastReport; }

    // The blank-controller test of the live image.
    static bool isBlank(const CSettingsImage& image);
    // The copy rules of loading a file: what the separate image gives the live one.
    static void copyLoadedSettings(const CSettingsImage& loaded, CSettingsImage& live);
    static std::string presetPath();
    static std::wstring settingsFilter();

private:
    bool loadIntoControllerSteps(std::string path, OutOfRange outOfRange);
    bool writeInitialSetupSteps(CWriteSession& session);

    CLPGDevice& m_device;
    CWriteReport m_lastReport;
};
