// SPDX-License-Identifier: GPL-3.0-or-later
// The about box: the logo as an image button, the program's name with its
// version, its licence, and OK.
#pragma once

#include <app/shell/skindlg.h>

#include <imagekit/imageobject.h>

class CAboutDlg : public CSkinDlg {
    Q_OBJECT
public:
    static constexpr int kResourceId = 100;
    static constexpr int kLogoId = 1020;
    static constexpr int kNameId = 1021;
    static constexpr int kLicenceId = 1022;
    static constexpr int kOkId = 1;
    static constexpr wchar_t kLogoFile[] = L"ABOUT LOGO.tif";

    explicit CAboutDlg(QWidget* parent = nullptr);

    // False when the logo could not be loaded (the button then shows no image).
    bool hasLogo() const { return m_logo.IsLoaded() != 0; }

protected:
    std::span<const SCtrlLayout> layoutTable() const override;
    void createControls() override;
    bool OnInitDialog() override;

private:
    CImageObject m_logo;
};
