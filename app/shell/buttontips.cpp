// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/buttontips.h>

#include <app/data/translate.h>

#include <QAbstractButton>
#include <QVariant>


namespace {

struct STip {
    const wchar_t* text; // the button's untranslated text
    const wchar_t* tip;
};

constexpr STip kTips[] = {
    { L"Kasuj korekty", L"Ustawia korekty tej strony na 0 i od razu wpisuje je do sterownika." },
    { L"Kasuj benzynową", L"Kasuje w sterowniku zebrane punkty mapy benzynowej." },
    { L"Kasuj gazową", L"Kasuje w sterowniku zebrane punkty mapy gazowej." },
    { L"Oblicz korekty", L"Oblicza korekty z zebranych punktów i wpisuje je do sterownika." },
    { L"Cofnij korekty", L"Wpisuje do sterownika krzywą korekt sprzed ostatniego obliczenia." },
    { L"Start", L"Zaczyna mapowanie z OBD: sterownik wyłącza korekty automatyczne OBD, a program zbiera odczyty." },
    { L"Stop", L"Kończy mapowanie z OBD i włącza z powrotem w sterowniku korekty automatyczne OBD." },
    { L"Kalibracja", L"Uruchamia autokalibrację na wolnych obrotach; wyliczone korekty główne są wpisywane do sterownika." },
    { L"Zatrzymaj", L"Przerywa autokalibrację i przywraca w sterowniku ustawienia sprzed niej." },
    { L"Porównaj", L"Pokazuje różnice między wybranymi punktami przywracania; niczego nie wpisuje." },
    { L"Przywróć…", L"Wpisuje do sterownika wybrane grupy ustawień z tego punktu, po pytaniu; sterownik przełącza się "
                   L"przy tym na benzynę i uruchamia ponownie." },
    { L"Ponów", L"Szuka sterownika ponownie na wszystkich portach." },
    { L"Odczytaj VIN", L"Odczytuje numer VIN samochodu przez OBD; niczego nie wpisuje." },
    { L"Odczytaj ponownie", L"Odczytuje ze sterownika bloki, których nie udało się odczytać; niczego nie wpisuje." },
    { L"Wczytaj błędy", L"Odczytuje kody błędów zapisane w sterowniku." },
    { L"Kasuj błędy", L"Kasuje kody błędów zapisane w sterowniku, po pytaniu." },
    { L"Wczytaj błędy OBD", L"Odczytuje przez OBD kody usterek samochodu." },
    { L"Kasuj błędy OBD", L"Kasuje przez OBD kody usterek w sterowniku silnika samochodu." },
    { L"Samochód", L"Dane samochodu i klienta do raportu." },
    { L"Historia", L"Punkty przywracania tego sterownika: porównanie i przywrócenie." },
    { L"Zaawansowane", L"Zaawansowane ustawienia OBD." },
    { L"Wybierz...", L"Wybiera plik z logo warsztatu do raportu." },
};

} // namespace

std::wstring buttonTip(const std::wstring& text)
{
    for (const STip& t : kTips)
        if (text == t.text)
            return translate(t.tip);
    return {};
}

void refreshButtonTips(QWidget* root)
{
    if (!root)
        return;
    const auto widgets = root->findChildren<QWidget*>();
    for (QWidget* button : widgets) {
        const QVariant own = button->property("tipSource");
        if (own.isValid()) {
            button->setToolTip(QString::fromStdWString(translate(own.toString().toStdWString())));
            continue;
        }
        if (!qobject_cast<QAbstractButton*>(button))
            continue;
        const QVariant source = button->property("sourceText");
        if (!source.isValid())
            continue;
        const std::wstring tip = buttonTip(source.toString().toStdWString());
        if (!tip.empty())
            button->setToolTip(QString::fromStdWString(tip));
    }
}

void setOwnButtonTip(QWidget* button, const wchar_t* tip)
{
    if (!button)
        return;
    button->setProperty("tipSource", QString::fromStdWString(tip));
    button->setToolTip(QString::fromStdWString(translate(tip)));
}
