// SPDX-License-Identifier: GPL-3.0-or-later
// "Info": the controller's identity, working times on both fuels, the
// inspection reminder and the error memory (read and clear). The readings
// panel and the OBD tiles are on the right.
#pragma once

#include <app/data/readblocks.h>
#include <app/data/settingsimage.h>
#include <app/shell/wspolneodczytyexmultipagedlg.h>

#include <array>
#include <cstdint>
#include <string>

class CExtEdit;
class CStrValueCmbBox;
class CUnreadLine;
class QListWidget;

class CInfoDlg : public CWspolneOdczytyExMultiPageDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 319;
    // What the page shows of the settings: the identity, the PC that changed
    // the base block last, the inspection (advanced setup).
    static constexpr uint32_t kShownBlocks = CReadBlocks::DevInfo | CReadBlocks::Base | CReadBlocks::AdvancedSetup;
    static constexpr int kVersionId = 1179;
    static constexpr int kSerialId = 1180;
    static constexpr int kProdDateId = 1181;
    static constexpr int kLastConnectionId = 1182;
    static constexpr int kOwnIdId = 1183;
    static constexpr int kPetrolTimeId = 1056;
    static constexpr int kLpgTimeId = 1184;
    static constexpr int kInspectionId = 1133;
    static constexpr int kKmId = 1195;
    static constexpr int kErrorsId = 1208;
    static constexpr int kReadErrorsId = 1175;
    static constexpr int kClearErrorsId = 1176;
    static constexpr int kHistoryId = 1177;
    static constexpr int kCarId = 1178; // "Samochód"

    explicit CInfoDlg(const CPageContext& context, QWidget* parent = nullptr);

    void activate() override;
    void updateTexts() override;

    // The identity fields from the image, and while connected the statistics from the controller.
    void fillIdentity();
    // "Wczytaj błędy", "Kasuj błędy", the inspection list.
    void OnBnClickedButtonread();
    void OnBnClickedButtonclear();
    void OnCbnSelendokComboinspection();

    // "%s  v %d.%01d.%u" of the identity.
    static std::wstring versionText(const CDevInfo& info);
    // "%02X%02X-%02X%02X" of four bytes in the given order.
    static std::wstring idText(uint8_t a, uint8_t b, uint8_t c, uint8_t d);
    CUnreadLine* unreadLine() const { return m_unread; }

protected:
    std::span<const SCtrlLayout> layoutTable() const override;
    void createControls() override;

private:
    void setEdit(int id, const std::wstring& text);
    void showKm();

    CStrValueCmbBox* m_inspection = nullptr;
    QListWidget* m_errors = nullptr;
    // Reading the statistics announces a changed image, which refreshes this page again.
    bool m_filling = false;
    CUnreadLine* m_unread = nullptr;
};
