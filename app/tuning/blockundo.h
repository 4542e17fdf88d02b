// SPDX-License-Identifier: GPL-3.0-or-later
// The edits of this session on one table of the settings image (a correction
// curve, the main corrections), newest last. An undo reads the table's block
// again and is refused, naming the value the controller holds, when it no
// longer holds what the edit left; otherwise it goes through the write path
// like the edit did. Redo the same way round.
#pragma once

#include <app/data/readblocks.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class CLPGDevice;

class CBlockUndo {
public:
    using Values = std::vector<double>;
    struct Table {
        CReadBlocks::Block block {};
        std::function<Values(const CLPGDevice&)> get;
        std::function<void(CLPGDevice&, const Values&)> set;
        // Entry i with its value and unit, translated ("Korekta temperatury 40 °C: 5 %").
        std::function<std::wstring(std::size_t, double)> describe;
        const wchar_t* handler = L"";
    };
    enum class Outcome { Nothing, Done, Refused, Failed };
    static constexpr std::size_t kDepth = 100;

    CBlockUndo(CLPGDevice& device, Table table);

    // The table as an edit starts from, and the edit kept once its write took.
    void begin();
    void commit();
    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    Outcome undo();
    Outcome redo();

private:
    struct Edit {
        Values before;
        Values after;
    };
    Outcome replay(std::vector<Edit>& from, std::vector<Edit>& to, bool forward);

    CLPGDevice& m_device;
    Table m_table;
    Values m_started;
    std::vector<Edit> m_undo;
    std::vector<Edit> m_redo;
};
