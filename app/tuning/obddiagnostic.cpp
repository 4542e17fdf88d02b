#include <app/tuning/obddiagnostic.h>

#include <charconv>
#include <cwctype>

std::wstring CObdDiagnostic::readingText(int i) const
{
    if (i < 0 || i >= kReadingCount)
        return {};
    std::lock_guard lock(m_textsLock);
    return m_texts[static_cast<std::size_t>(i)];
}

void CObdDiagnostic::setReadingText(int i, const std::wstring& text)
{
    if (i < 0 || i >= kReadingCount)
        return;
    std::lock_guard lock(m_textsLock);
    m_texts[static_cast<std::size_t>(i)] = text;
}

void CObdDiagnostic::clearReadingTexts()
{
    std::lock_guard lock(m_textsLock);
    for (auto& text : m_texts)
        text.clear();
}

double CObdDiagnostic::value(int i) const
{
    const std::wstring text = readingText(i);
    // The texts are plain ASCII numbers; from_chars never looks at the locale.
    std::string narrow;
    std::size_t at = 0;
    while (at < text.size() && std::iswspace(static_cast<wint_t>(text[at])))
        ++at;
    for (; at < text.size() && text[at] < 0x80; ++at)
        narrow += static_cast<char>(text[at]);
    if (!narrow.empty() && narrow[0] == '+')
        narrow.erase(0, 1);
    double result = 0;
    const auto [end, error] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), result);
    (void)end;
    return error == std::errc {} ? result : 0;
}
