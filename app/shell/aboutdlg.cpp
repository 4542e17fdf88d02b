// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/aboutdlg.h>

#include <app/data/translate.h>
#include <app/shell/skinimage.h>
#include <basectrls/ctrlid.h>

#include <QAbstractButton>
#include <QLabel>
#include <QPainter>

namespace {

// 184 x 102 dialog units; the title static takes the top 32 px.
constexpr SCtrlLayout kLayout[] = {
    { CAboutDlg::kNameId, ECtrlKind::Label, 78, 24, 100, 20, L"KORVANA\nVersion 8" },
    { CAboutDlg::kLicenceId, ECtrlKind::Label, 78, 44, 100, 30, L"Licencja: GNU GPL 3 lub nowsza" },
    { CAboutDlg::kOkId, ECtrlKind::PushButton, 118, 76, 56, 18, L"OK" },
};

// A flat button that shows one picture, scaled to fit with its proportions kept.
class CImageButton : public QAbstractButton {
public:
    CImageButton(const CImageObject& image, QWidget* parent)
        : QAbstractButton(parent)
        , m_image(image)
    {
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!m_image.IsLoaded())
            return;
        QPainter p(this);
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        const QSize fitted = QSize(m_image.GetWidth(), m_image.GetHeight()).scaled(size(), Qt::KeepAspectRatio);
        const QRect r(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
        m_image.Draw(&p, r.x(), r.y(), r.width(), r.height());
    }

private:
    const CImageObject& m_image;
};

} // namespace

CAboutDlg::CAboutDlg(QWidget* parent)
    : CSkinDlg(kResourceId, parent)
{
    setDesignSizeDu(184, 102);
    setTranslator([](const std::wstring& text) { return translate(text); });
    setSkinTitle(QStringLiteral("KORVANA"));
    m_logo.setImage(skinImage(kLogoFile));
}

std::span<const SCtrlLayout> CAboutDlg::layoutTable() const
{
    return kLayout;
}

void CAboutDlg::createControls()
{
    CSkinDlg::createControls();
    auto* logo = new CImageButton(m_logo, this);
    setCtrlId(logo, kLogoId);
    logo->setGeometry(CPageLayout::duToPixels(8, 26, 64, 68));
    logo->show();
}

bool CAboutDlg::OnInitDialog()
{
    if (!CSkinDlg::OnInitDialog())
        return false;
    if (auto* name = qobject_cast<QLabel*>(findChildCtrl(this, kNameId)))
        name->setWordWrap(true);
    if (auto* ok = qobject_cast<QAbstractButton*>(findChildCtrl(this, kOkId))) {
        connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
        ok->setFocus();
    }
    return true;
}
