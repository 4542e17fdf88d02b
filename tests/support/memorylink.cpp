// SPDX-License-Identifier: GPL-3.0-or-later
#include "memorylink.h"

#include <app/device/rserror.h>

#include <algorithm>

CMemoryLink::CMemoryLink(Peer peer)
    : m_peer(std::move(peer))
{
}

void CMemoryLink::setPeer(Peer peer)
{
    std::lock_guard lock(m_mutex);
    m_peer = std::move(peer);
}

void CMemoryLink::setVanished(bool vanished)
{
    std::lock_guard lock(m_mutex);
    m_vanished = vanished;
}

void CMemoryLink::raiseLineError(uint32_t flags)
{
    std::lock_guard lock(m_mutex);
    m_lineErrors |= flags;
}

uint64_t CMemoryLink::now() const
{
    std::lock_guard lock(m_mutex);
    return m_now;
}

std::vector<CMemoryLink::Bytes> CMemoryLink::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::size_t CMemoryLink::requestCount() const
{
    std::lock_guard lock(m_mutex);
    return m_requests.size();
}

int CMemoryLink::opens() const
{
    std::lock_guard lock(m_mutex);
    return m_opens;
}

void CMemoryLink::fail(uint32_t code, const wchar_t* what) const
{
    throw new CRSError(code, what, 0, L"memorylink");
}

void CMemoryLink::checkUsable(const wchar_t* what) const
{
    if (!m_open || m_vanished)
        fail(6, what);
}

void CMemoryLink::open(uint32_t n)
{
    std::lock_guard lock(m_mutex);
    m_open = false;
    if (m_vanished)
        fail(5, L"CMemoryLink::open - no such device");
    m_open = true;
    m_portNr = n;
    ++m_opens;
    m_outgoing.clear();
    m_incoming.clear();
}

void CMemoryLink::close()
{
    std::lock_guard lock(m_mutex);
    m_open = false;
}

void CMemoryLink::setState(const SerialLineSettings&)
{
    std::lock_guard lock(m_mutex);
    checkUsable(L"CMemoryLink::setState");
}

void CMemoryLink::setTimeout(const SerialTimeouts& timeouts)
{
    std::lock_guard lock(m_mutex);
    checkUsable(L"CMemoryLink::setTimeout");
    m_timeouts = timeouts;
}

uint32_t CMemoryLink::read(void* buffer, uint32_t count)
{
    std::lock_guard lock(m_mutex);
    checkUsable(L"CMemoryLink::read");
    const auto got = static_cast<uint32_t>(std::min<std::size_t>(count, m_incoming.size()));
    std::copy_n(m_incoming.begin(), got, static_cast<uint8_t*>(buffer));
    m_incoming.erase(m_incoming.begin(), m_incoming.begin() + got);
    // A short read waits out the whole total time-out, as the port does.
    if (got < count)
        m_now += uint64_t { m_timeouts.readTotalMultiplier } * count + m_timeouts.readTotalConstant;
    return got;
}

uint32_t CMemoryLink::write(const void* buffer, uint32_t count)
{
    std::lock_guard lock(m_mutex);
    checkUsable(L"CMemoryLink::write");
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    m_outgoing.insert(m_outgoing.end(), bytes, bytes + count);
    // A whole frame: AA 55, length byte (payload + 2), type, key word, payload, checksum.
    while (m_outgoing.size() >= 3) {
        if (m_outgoing[0] != 0xAA || m_outgoing[1] != 0x55) {
            m_outgoing.erase(m_outgoing.begin());
            continue;
        }
        const std::size_t whole = std::size_t { m_outgoing[2] } + 6;
        if (m_outgoing.size() < whole)
            break;
        Bytes request(m_outgoing.begin(), m_outgoing.begin() + static_cast<std::ptrdiff_t>(whole));
        m_outgoing.erase(m_outgoing.begin(), m_outgoing.begin() + static_cast<std::ptrdiff_t>(whole));
        m_requests.push_back(request);
        if (m_peer) {
            const Bytes answer = m_peer(request);
            m_incoming.insert(m_incoming.end(), answer.begin(), answer.end());
        }
    }
    return count;
}

void CMemoryLink::purgeIn()
{
    std::lock_guard lock(m_mutex);
    checkUsable(L"CMemoryLink::purgeIn");
    m_incoming.clear();
}

uint32_t CMemoryLink::clearCommError()
{
    std::lock_guard lock(m_mutex);
    if (!m_open)
        return 9; // EBADF, as a closed port answers
    const uint32_t flags = m_lineErrors;
    m_lineErrors = 0;
    return flags;
}

bool CMemoryLink::isOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_open;
}

uint32_t CMemoryLink::portNr() const
{
    std::lock_guard lock(m_mutex);
    return m_portNr;
}

void CMemoryLink::wait(unsigned milliseconds)
{
    std::lock_guard lock(m_mutex);
    m_now += milliseconds;
}
