// SPDX-License-Identifier: GPL-3.0-or-later
// The console button of the main view: shows a drawing of the dashboard
// switch, one picture of its image list at a time, under its title. A double
// click opens the console setup.
#pragma once

#include <app/shell/multipageindependentbtn.h>

#include <string>
#include <vector>

class CConsoleBtn : public CMultiPageIndependentBtn {
    Q_OBJECT
public:
    using CMultiPageIndependentBtn::CMultiPageIndependentBtn;
    void onDblClick() override;

    // A picture is read when it is first shown: the switch is in one state at a
    // time, and most of the seven states are never seen in a run.
    void appendImageFile(const std::wstring& path);
    int imageCount() const { return static_cast<int>(m_files.size()); }
    // Shows picture index; an index outside the list is ignored.
    void selectImage(int index);
    int selectedImage() const { return m_selected; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<std::wstring> m_files;
    int m_selected = -1;
};
