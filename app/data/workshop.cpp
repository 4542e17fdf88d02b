// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/workshop.h>

#include <app/platform/profilestore.h>
#include <app/platform/textcodec.h>
#include <errkit/utf8.h>

namespace {

// A profile value is one line: line breaks travel as "\n", a backslash as "\\".
std::string escaped(const std::wstring& text)
{
    std::string out;
    for (char c : toUtf8(text)) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c != '\r')
            out += c;
    }
    return out;
}

std::wstring unescaped(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            out += text[i + 1] == 'n' ? '\n' : text[i + 1];
            ++i;
        } else {
            out += text[i];
        }
    }
    return fromUtf8(out);
}

} // namespace

CWorkshop CWorkshop::load()
{
    const CProfileStore& profile = profileStore();
    auto value = [&](const char* name) { return unescaped(profile.readString(kProfileKey, name).value_or("")); };
    CWorkshop w;
    w.m_name = value("Name");
    w.m_address = value("Address");
    w.m_phone = value("Phone");
    w.m_taxNumber = value("Tax number");
    w.m_logoPath = toUtf8(value("Logo"));
    return w;
}

bool CWorkshop::store() const
{
    CProfileStore& profile = profileStore();
    bool ok = profile.writeString(kProfileKey, "Name", escaped(m_name));
    ok = profile.writeString(kProfileKey, "Address", escaped(m_address)) && ok;
    ok = profile.writeString(kProfileKey, "Phone", escaped(m_phone)) && ok;
    ok = profile.writeString(kProfileKey, "Tax number", escaped(m_taxNumber)) && ok;
    ok = profile.writeString(kProfileKey, "Logo", escaped(fromUtf8(m_logoPath))) && ok;
    return ok;
}
