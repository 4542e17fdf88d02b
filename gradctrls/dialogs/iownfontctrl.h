// SPDX-License-Identifier: GPL-3.0-or-later
// A control of this library that keeps a pointer to the font it draws with and
// may follow its container's font (the container hands it over on every resize).
#pragma once

class QFont;

class IOwnFontCtrl {
public:
    virtual ~IOwnFontCtrl() = default;

    // font is not owned and must outlive the control (or be replaced first).
    virtual void setOwnFont(QFont* font) { m_ownFont = font; }
    QFont* getOwnFont() const { return m_ownFont; }
    void setFollowContainerFont(bool follow) { m_followContainerFont = follow; }
    bool followsContainerFont() const { return m_followContainerFont; }

protected:
    QFont* m_ownFont = nullptr;
    bool m_followContainerFont = true;
};
