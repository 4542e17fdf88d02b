// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/samochoddlg.h>

#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/platform/log.h>
#include <app/platform/userinteraction.h>
#include <app/shell/errorbox.h>
#include <app/tuning/deviceobd.h>
#include <basectrls/ctrlid.h>

#include <QAbstractButton>
#include <QLineEdit>

#include <cstdio>

namespace {

constexpr const wchar_t* kCaption = L"KORVANA";

// 420 x 330 dialog units; the title static takes the top 32 px.
constexpr int kLabelX = 10;
constexpr int kLabelWidth = 150;
constexpr int kEditX = 166;
constexpr int kEditWidth = 160;
constexpr int kTop = 28;
constexpr int kPitch = 20;

constexpr int rowY(int row)
{
    return kTop + row * kPitch;
}

constexpr SCtrlLayout kLayout[] = {
    { 1330, ECtrlKind::Label, kLabelX, rowY(0), kLabelWidth, 14, L"Marka" },
    { CSamochodDlg::kVendorId, ECtrlKind::Edit, kEditX, rowY(0), kEditWidth, 14, nullptr },
    { 1331, ECtrlKind::Label, kLabelX, rowY(1), kLabelWidth, 14, L"Model" },
    { CSamochodDlg::kModelId, ECtrlKind::Edit, kEditX, rowY(1), kEditWidth, 14, nullptr },
    { 1332, ECtrlKind::Label, kLabelX, rowY(2), kLabelWidth, 14, L"Silnik" },
    { CSamochodDlg::kEngineId, ECtrlKind::Edit, kEditX, rowY(2), kEditWidth, 14, nullptr },
    { 1333, ECtrlKind::Label, kLabelX, rowY(3), kLabelWidth, 14, L"Moc" },
    { CSamochodDlg::kPowerId, ECtrlKind::Edit, kEditX, rowY(3), kEditWidth, 14, nullptr },
    { 1334, ECtrlKind::Label, kLabelX, rowY(4), kLabelWidth, 14, L"Rok produkcji" },
    { CSamochodDlg::kYearId, ECtrlKind::Edit, kEditX, rowY(4), kEditWidth, 14, nullptr },
    { 1335, ECtrlKind::Label, kLabelX, rowY(5), kLabelWidth, 14, L"Wtryskiwacze" },
    { CSamochodDlg::kInjectorsId, ECtrlKind::Edit, kEditX, rowY(5), kEditWidth, 14, nullptr },
    { 1336, ECtrlKind::Label, kLabelX, rowY(6), kLabelWidth, 14, L"Ciśnienie reduktora [kPa]" },
    { CSamochodDlg::kPressureId, ECtrlKind::Edit, kEditX, rowY(6), kEditWidth, 14, nullptr },
    { 1337, ECtrlKind::Label, kLabelX, rowY(7), kLabelWidth, 14, L"VIN" },
    { CSamochodDlg::kVinId, ECtrlKind::Edit, kEditX, rowY(7), kEditWidth, 14, nullptr },
    { CSamochodDlg::kReadVinId, ECtrlKind::PushButton, kEditX + kEditWidth + 6, rowY(7) - 2, 78, 18,
        L"Odczytaj VIN" },
    { 1338, ECtrlKind::Label, kLabelX, rowY(8), kLabelWidth, 14, L"Nr rejestracyjny" },
    { CSamochodDlg::kRegistrationId, ECtrlKind::Edit, kEditX, rowY(8), kEditWidth, 14, nullptr },
    { 1339, ECtrlKind::Label, kLabelX, rowY(9), kLabelWidth, 14, L"Przebieg [km]" },
    { CSamochodDlg::kOdometerId, ECtrlKind::Edit, kEditX, rowY(9), kEditWidth, 14, nullptr },
    { 1340, ECtrlKind::Label, kLabelX, rowY(10), kLabelWidth, 14, L"Klient" },
    { CSamochodDlg::kCustomerId, ECtrlKind::Edit, kEditX, rowY(10), kEditWidth, 14, nullptr },
    { 1341, ECtrlKind::Label, kLabelX, rowY(11), kLabelWidth, 14, L"Telefon" },
    { CSamochodDlg::kPhoneId, ECtrlKind::Edit, kEditX, rowY(11), kEditWidth, 14, nullptr },
    { CSamochodDlg::kOkId, ECtrlKind::PushButton, 270, 296, 66, 20, L"OK" },
    { CSamochodDlg::kCancelId, ECtrlKind::PushButton, 342, 296, 66, 20, L"Anuluj" },
};

std::wstring pressureText(double kpa)
{
    if (kpa == 0)
        return {};
    wchar_t text[32];
    std::swprintf(text, std::size(text), L"%.0f", kpa);
    return text;
}

} // namespace

std::wstring readVinShown(CLPGDevice& device)
{
    if (!device.isConnected())
        return {};
    CWaitCursor wait;
    std::wstring shown;
    runShowingErrors(L"readVinShown()", [&] {
        std::wstring vin;
        switch (obdOf(device).readVin(vin)) {
        case CObdDiagnostic::Outcome::Done:
            shown = vin;
            break;
        case CObdDiagnostic::Outcome::Incomplete:
            userInteraction().message(translate(L"VIN niepełny"), kCaption, MsgIcon::Warning);
            break;
        case CObdDiagnostic::Outcome::Failed:
            break; // said already
        default:
            userInteraction().message(translate(L"Samochód nie podał numeru VIN."), kCaption, MsgIcon::Warning);
            break;
        }
    });
    return shown;
}

CSamochodDlg::CSamochodDlg(const CCarDetails& car, std::function<std::wstring()> readVin, QWidget* parent)
    : CSkinDlg(kResourceId, parent)
    , m_car(car)
    , m_readVin(std::move(readVin))
{
    setObjectName(QStringLiteral("samochodDlg"));
    setDesignSizeDu(420, 330);
    setTranslator([](const std::wstring& text) { return translate(text); });
    setSkinTitle(QString::fromStdWString(translate(L"Samochód")));
}

std::span<const SCtrlLayout> CSamochodDlg::layoutTable() const
{
    return kLayout;
}

void CSamochodDlg::setField(int id, const std::wstring& text)
{
    if (auto* edit = qobject_cast<QLineEdit*>(findChildCtrl(this, id)))
        edit->setText(QString::fromStdWString(text));
}

std::wstring CSamochodDlg::field(int id) const
{
    if (auto* edit = qobject_cast<QLineEdit*>(findChildCtrl(this, id)))
        return edit->text().trimmed().toStdWString();
    return {};
}

bool CSamochodDlg::OnInitDialog()
{
    if (!CSkinDlg::OnInitDialog())
        return false;
    const CCarInfo& info = m_car.m_carInfo;
    setField(kVendorId, info.m_vendor);
    setField(kModelId, info.m_model);
    setField(kEngineId, info.m_engine);
    setField(kPowerId, info.m_power);
    setField(kYearId, info.m_prodYear);
    setField(kInjectorsId, info.m_injectors);
    setField(kPressureId, pressureText(info.m_reductorPress));
    setField(kVinId, m_car.m_vin);
    setField(kRegistrationId, m_car.m_registration);
    setField(kOdometerId, m_car.m_odometer);
    setField(kCustomerId, m_car.m_customer);
    setField(kPhoneId, m_car.m_phone);
    if (auto* vin = qobject_cast<QLineEdit*>(findChildCtrl(this, kVinId)))
        vin->setMaxLength(17);
    if (auto* read = qobject_cast<QAbstractButton*>(findChildCtrl(this, kReadVinId))) {
        read->setEnabled(static_cast<bool>(m_readVin));
        connect(read, &QAbstractButton::clicked, this, [this] { OnBnClickedReadVin(); });
    }
    if (auto* ok = qobject_cast<QAbstractButton*>(findChildCtrl(this, kOkId)))
        connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
    if (auto* cancel = qobject_cast<QAbstractButton*>(findChildCtrl(this, kCancelId)))
        connect(cancel, &QAbstractButton::clicked, this, &QDialog::reject);
    return true;
}

void CSamochodDlg::OnBnClickedReadVin()
{
    if (!m_readVin)
        return;
    const std::wstring vin = m_readVin();
    if (!vin.empty())
        setField(kVinId, vin);
}

CCarDetails CSamochodDlg::details() const
{
    CCarDetails car = m_car;
    CCarInfo& info = car.m_carInfo;
    info.m_vendor = field(kVendorId);
    info.m_model = field(kModelId);
    info.m_engine = field(kEngineId);
    info.m_power = field(kPowerId);
    info.m_prodYear = field(kYearId);
    info.m_injectors = field(kInjectorsId);
    // A pressure that is no number keeps the one held.
    bool number = false;
    const double kpa = QString::fromStdWString(field(kPressureId)).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&number);
    if (number && kpa >= 0)
        info.m_reductorPress = kpa;
    else if (field(kPressureId).empty())
        info.m_reductorPress = 0;
    car.m_vin = field(kVinId);
    car.m_registration = field(kRegistrationId);
    car.m_odometer = field(kOdometerId);
    car.m_customer = field(kCustomerId);
    car.m_phone = field(kPhoneId);
    return car;
}
