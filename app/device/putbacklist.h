// SPDX-License-Identifier: GPL-3.0-or-later
// What an operation left changed in the controller when it could not put it
// back itself (the link went in the middle of it): one item per setting or
// mode, each saying what the controller was left holding and what it held
// before, with the one step that puts it back (for the program, once the
// fitter says yes) and the korvana-cli command that does the same (for a
// shell, which has exited by the time the link returns).
//
// Nothing here talks to the controller of its own accord: putBack runs only
// when a caller asks for it.
#pragma once

#include <functional>
#include <string>
#include <vector>

class CPutBackList {
public:
    struct SItem {
        // One item per key: a later note of the same key replaces the earlier one.
        std::string key;
        // What the controller holds now and held before, as shown (already translated).
        std::wstring description;
        // The korvana-cli arguments after the global options ("switch auto").
        std::string command;
        // One attempt; true when the controller holds the value from before again.
        std::function<bool()> putBack;
    };

    void note(SItem item);
    void drop(const std::string& key);
    void clear() { m_items.clear(); }
    bool empty() const { return m_items.empty(); }
    bool has(const std::string& key) const;
    const std::vector<SItem>& items() const { return m_items; }

    // The controller the items belong to (its serial): only there are they put back.
    void setController(std::wstring serial) { m_controller = std::move(serial); }
    const std::wstring& controller() const { return m_controller; }

    // Puts the items back in the order they were first noted, one attempt
    // each, and stops at the first that fails: that one and those after it
    // stay. True when none is left. Error objects pass through; the items put
    // back before have left the record by then.
    bool putBack();
    // The descriptions, one a line.
    std::wstring describe() const;
    // One shell command per item: "korvana-cli", the global options (each
    // quoted for the shell where it needs it) and the item's command.
    std::vector<std::string> commands(const std::vector<std::string>& globalOptions) const;

private:
    std::vector<SItem> m_items;
    std::wstring m_controller;
};
