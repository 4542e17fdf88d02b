// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/lpgdevice.h>

#include <app/platform/mutexguard.h>
#include <app/platform/porttable.h>

#include <random>

const SerialLineSettings CLPGDevice::kLineSettings {};

const SerialTimeouts CLPGDevice::kLinkTimeouts {
    .readInterval = 0,
    .readTotalMultiplier = 1,
    .readTotalConstant = 1000,
    // A frame of 261 bytes needs 68 ms at 38400 baud; this only guards a stalled line.
    .writeTotalMultiplier = 1,
    .writeTotalConstant = 1000,
};

namespace {

uint16_t defaultKey()
{
    thread_local std::minstd_rand engine { std::random_device {}() };
    return static_cast<uint16_t>(std::uniform_int_distribution<int>(0, 32767)(engine));
}

} // namespace

CLPGDevice::CLPGDevice()
    : m_ownPorts(std::make_unique<CPortTable>())
    , m_ports(*m_ownPorts)
    , m_port(m_ports)
{
}

CLPGDevice::CLPGDevice(IPortTable& ports)
    : m_ports(ports)
    , m_port(m_ports)
{
}

CLPGDevice::~CLPGDevice() = default;

void CLPGDevice::configurePort(uint32_t n)
{
    m_linkLock.lock();
    CMutexGuard guard(&m_linkLock);
    m_link->close();
    m_link->open(n);
    m_link->setState(kLineSettings);
    m_link->setTimeout(kLinkTimeouts);
}

void CLPGDevice::setKeyGenerator(KeyGenerator generator)
{
    m_keyGenerator = std::move(generator);
}

uint16_t CLPGDevice::drawKey()
{
    return static_cast<uint16_t>((m_keyGenerator ? m_keyGenerator() : defaultKey()) & 0x7FFF);
}
