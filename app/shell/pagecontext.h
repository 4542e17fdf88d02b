// SPDX-License-Identifier: GPL-3.0-or-later
// What a page, a dialog or an action button of the main view works with,
// handed over by the view when it builds them: the document, its device and
// the device's events on the GUI thread.
#pragma once

class CkorvanaDoc;
class CLPGDevice;
class CDeviceEventRelay;

struct CPageContext {
    CkorvanaDoc& doc;
    CLPGDevice& device;
    CDeviceEventRelay& relay;
};
