#include <app/data/translate.h>

// Pass-through until language files are loaded.
std::wstring translate(const std::wstring& text)
{
    return text;
}
