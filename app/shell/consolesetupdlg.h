// SPDX-License-Identifier: GPL-3.0-or-later
// "Ustawienia konsolki": the options of the dashboard switch. Each box sets
// its bit and writes its block at once; the base-block boxes act only while
// connected, the advanced-setup boxes store their bit and try the write in
// any case.
#pragma once

#include <app/shell/pagecontext.h>
#include <app/shell/skindlg.h>

#include <cstdint>

class CCheckBoxImages;
class CUnreadLine;
class QCheckBox;

class CConsoleSetupDlg : public CSkinDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 336;
    static constexpr int kSignallingId = 1241;
    static constexpr int kBuzzerId = 1243;
    static constexpr int kHidePetrolId = 1237;
    static constexpr int kSevenLedId = 1233;
    static constexpr int kBtnWithTemprId = 1236;
    static constexpr int kOkId = 1;

    explicit CConsoleSetupDlg(const CPageContext& context, QWidget* parent = nullptr);

    // What a click on the box runs.
    void onBox(int id);
    CUnreadLine* unreadLine() const { return m_unread; }

protected:
    std::span<const SCtrlLayout> layoutTable() const override;
    bool OnInitDialog() override;

private:
    struct SBox {
        int id;
        const wchar_t* label;
        bool base; // m_base.m_flags, else m_advancedSetup.m_advancedFlags3
        uint16_t bit;
        const wchar_t* handler;
    };
    static const SBox* box(int id);
    void showBoxes();
    // Whether the box's block was not read from the controller now connected.
    bool unread(const SBox& b) const;

    CPageContext m_context;
    CCheckBoxImages* m_images = nullptr;
    CUnreadLine* m_unread = nullptr;
};
