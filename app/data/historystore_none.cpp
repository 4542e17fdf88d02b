// SPDX-License-Identifier: GPL-3.0-or-later
// The history store of a build without SQLite: it never opens, so every caller
// takes the path it takes for a history that cannot be written (the CLI then
// asks for --no-history before a write).
#include <app/data/historystore.h>

#include <ctime>

CHistoryStore::~CHistoryStore() = default;

std::string CHistoryStore::defaultPath()
{
    return {};
}

std::string CHistoryStore::nowIso()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm {};
    gmtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

void CHistoryStore::close()
{
    m_state = State::Closed;
}

bool CHistoryStore::checkpoint()
{
    return false;
}

CHistoryStore::State CHistoryStore::open(const std::string& path, int)
{
    m_path = path;
    m_state = State::Unwritable;
    m_detail = "this build keeps no history (built without SQLite)";
    return m_state;
}

int CHistoryStore::schemaVersion() const
{
    return 0;
}

bool CHistoryStore::add(CHistoryPoint&, const std::vector<uint8_t>&)
{
    return false;
}

std::vector<CHistoryPoint> CHistoryStore::list(const std::string&) const
{
    return {};
}

std::optional<CHistoryPoint> CHistoryStore::point(int64_t) const
{
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> CHistoryStore::image(int64_t) const
{
    return std::nullopt;
}

std::optional<CHistoryPoint> CHistoryStore::lastOf(const std::string&, const std::string&, int64_t) const
{
    return std::nullopt;
}

bool CHistoryStore::setNote(int64_t, const std::string&)
{
    return false;
}

int64_t CHistoryStore::imageCount() const
{
    return 0;
}

std::optional<std::string> CHistoryStore::car(const std::string&) const
{
    return std::nullopt;
}

bool CHistoryStore::setCar(const std::string&, const std::string&)
{
    return false;
}
