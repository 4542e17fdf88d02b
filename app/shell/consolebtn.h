// SPDX-License-Identifier: GPL-3.0-or-later
// The console button of the main view: shows a drawing of the dashboard
// switch, one picture of its image list at a time, under its title. A double
// click opens the console setup.
#pragma once

#include <app/shell/multipageindependentbtn.h>

#include <imagekit/imageobject.h>

#include <vector>

class CConsoleBtn : public CMultiPageIndependentBtn {
    Q_OBJECT
public:
    using CMultiPageIndependentBtn::CMultiPageIndependentBtn;
    void onDblClick() override;

    void appendImage(const CImageObject& image);
    int imageCount() const { return static_cast<int>(m_images.size()); }
    // Shows picture index; an index outside the list is ignored.
    void selectImage(int index);
    int selectedImage() const { return m_selected; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<CImageObject> m_images;
    int m_selected = -1;
};
