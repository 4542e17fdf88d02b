// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/tuning/maincorredits.h>

#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>
#include <app/platform/userinteraction.h>
#include <errkit/errorguard.h>

#include <charconv>
#include <iomanip>
#include <locale>
#include <sstream>

// Both ways with a decimal point whatever the user's locale says.
std::wstring CMainCorrEdits::format(double ms)
{
    std::wostringstream text;
    text.imbue(std::locale::classic());
    text << std::fixed << std::setprecision(2) << ms;
    return text.str();
}

CMainCorrEdits::Texts CMainCorrEdits::texts(const CLPGDevice& device)
{
    Texts out;
    for (int i = 0; i < kEdits; ++i)
        out[static_cast<std::size_t>(i)] = format(device.image().m_mainCorr.m_mainCorr[static_cast<std::size_t>(i)]);
    return out;
}

bool CMainCorrEdits::visible(int index, int injectors)
{
    return index >= 0 && index < injectors;
}

bool CMainCorrEdits::spinEnabled(int index, bool connected, bool oneCorrection)
{
    return connected && (!oneCorrection || index == 0);
}

std::optional<double> CMainCorrEdits::spun(double shown, int positionChange)
{
    const double value = shown - positionChange * kSpinStep;
    // A hair of tolerance: 5.99 + 0.01 must still reach the limit.
    if (value < kMin - 1e-9 || value > kMax + 1e-9)
        return std::nullopt;
    return value;
}

double CMainCorrEdits::parse(const std::wstring& text, double fallback)
{
    std::string narrow;
    for (wchar_t c : text)
        narrow.push_back(c < 128 ? static_cast<char>(c) : '?');
    const auto first = narrow.find_first_not_of(' ');
    if (first == std::string::npos)
        return fallback;
    double value = 0;
    const auto [end, error] = std::from_chars(narrow.data() + first, narrow.data() + narrow.size(), value);
    (void)end;
    return error == std::errc() ? value : fallback;
}

bool CMainCorrEdits::onDeltaSpin(CLPGDevice& device, Texts& edits, int index, int positionChange, bool oneCorrection)
{
    if (index < 0 || index >= kEdits)
        return false;
    auto& corrections = device.liveImage().m_mainCorr.m_mainCorr;
    const auto at = static_cast<std::size_t>(index);
    const auto value = spun(parse(edits[at], corrections[at]), positionChange);
    if (!value)
        return false;
    if (oneCorrection)
        edits.fill(format(*value));
    else
        edits[at] = format(*value);
    try {
        CWaitCursor wait;
        for (std::size_t i = 0; i < corrections.size(); ++i)
            corrections[i] = parse(edits[i], corrections[i]);
        const CWriteReport report
            = CWriteSession::writeBlocks(device, L"CKalibracjaDlg::onDeltaSpinMainCorr()", { CReadBlocks::MainCorr });
        if (!report.ok()) {
            report.show(L"Nie powiodło się ustawienie urządzenia!");
            return false;
        }
        device.events().imageChanged(ImageBlock::MainCorr);
        return true;
    } catch (IError* e) {
        CErrorGuard error(e);
        userInteraction().message(L"CKalibracjaDlg::onDeltaSpinMainCorr()\n" + error.format(), L"KORVANA",
                                  MsgIcon::Error);
        return false;
    }
}
