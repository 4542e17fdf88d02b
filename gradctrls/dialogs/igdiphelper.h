// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up and shut-down of the painting layer. With Qt the painter needs no
// start of its own; start-up checks that painting can run (a GUI application
// object exists) and counts the users, shut-down drops cached pixmaps when the
// last user stops. Called once each by the program, around its whole run.
#pragma once

class IGDIpHelper {
public:
    // True when painting can run: a GUI application object exists.
    static bool startupGDIp();
    static void shoutdownGDIp();
    static bool isStarted();
    // True when pictures in TIFF files can be read (the image-format plugin is present).
    static bool canReadTiff();
};
