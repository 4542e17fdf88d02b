// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's control channel: one text command per line, one reply line
// per command, "ok …" or "error …"; a command tagged "#N " gets its reply
// tagged the same. See the README's simulator section for
// the commands.
#pragma once

#include <tools/sim/controller.h>
#include <tools/sim/faultinjector.h>

#include <cstdint>
#include <string>

// What the channel may do to the link (the pseudo-terminal).
class ILinkControl {
public:
    virtual ~ILinkControl() = default;
    // Close the link as a pulled cable would.
    virtual bool vanish(std::string& error) = 0;
    // Open a new link (and point the symlink at it); the new path in pathOrError.
    virtual bool appear(std::string& pathOrError) = 0;
    virtual std::string path() const = 0;
    // Bytes read from the PC and written to it since the start, across links.
    virtual uint64_t bytesIn() const = 0;
    virtual uint64_t bytesOut() const = 0;
};

class CControlChannel {
public:
    // link may be null (in-process use): vanish, appear and path then fail.
    CControlChannel(CController& controller, CFaultInjector& faults, ILinkControl* link);

    // Where "save" writes; empty when the simulator runs without --state.
    void setStatePath(const std::string& path) { m_statePath = path; }

    std::string execute(const std::string& line);
    bool quitRequested() const { return m_quit; }

    // "P0171" → 0x0171, "C0035" → 0x4035, also plain hex "0171"; false when malformed.
    static bool parseDtc(const std::string& text, uint16_t& code);
    static std::string formatDtc(uint16_t code);

private:
    std::string status();
    std::string dump(const std::vector<std::string>& words);

    CController& m_controller;
    CFaultInjector& m_faults;
    ILinkControl* m_link;
    std::string m_statePath;
    bool m_quit = false;
};
