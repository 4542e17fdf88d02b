// SPDX-License-Identifier: GPL-3.0-or-later
// The link to the controller: configuring the port, the frame exchange and the
// attempt policy around it.
#include <app/device/devicelink.h>

#include <app/device/framereceiver.h>
#include <app/device/linkexchange.h>
#include <app/platform/log.h>
#include <app/platform/mutexguard.h>
#include <app/platform/porttable.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>
#include <errkit/runtime.h>

#include <algorithm>
#include <array>
#include <random>
#include <sstream>

const SerialLineSettings CDeviceLink::kLineSettings {};

const SerialTimeouts CDeviceLink::kLinkTimeouts {
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

LinkFailure toLinkFailure(CFrameReceiver::Failure f)
{
    switch (f) {
    case CFrameReceiver::Failure::None:
        return LinkFailure::None;
    case CFrameReceiver::Failure::ShortHeader:
        return LinkFailure::ShortHeader;
    case CFrameReceiver::Failure::NoSync:
        return LinkFailure::NoSync;
    case CFrameReceiver::Failure::ShortRealign:
        return LinkFailure::ShortRealign;
    case CFrameReceiver::Failure::ShortKey:
        return LinkFailure::ShortKey;
    case CFrameReceiver::Failure::ShortPayload:
        return LinkFailure::ShortPayload;
    case CFrameReceiver::Failure::TooShort:
        return LinkFailure::TooShort;
    case CFrameReceiver::Failure::Checksum:
        return LinkFailure::Checksum;
    }
    return LinkFailure::None;
}

LinkFailure noteFailure(LinkFailure failure, uint8_t type)
{
    if (failure != LinkFailure::None)
        logDebug(
            "link", std::string("exchange of type ") + std::to_string(type) + " failed: " + linkFailureName(failure));
    return failure;
}

// A payload the length byte cannot describe is a caller's mistake, not a link fault.
void checkRequest(std::size_t length)
{
    if (length <= kMaxPayload)
        return;
    std::wostringstream text;
    text << L"CDeviceLink::exchange() - payload of " << length << L" bytes";
    throw new CRunTime(0, text.str().c_str(), __LINE__, L"devicelink");
}

// The header and checksum of a request; the payload in buffer is scrambled in place.
struct OutgoingFrame {
    std::array<uint8_t, 6> header;
    std::array<uint8_t, 2> check;
};

OutgoingFrame prepareFrame(ExchangeBuffer& buffer, uint8_t length, uint8_t type, uint16_t key)
{
    OutgoingFrame out { frameHeader(length, type, key), {} };
    const uint16_t sum = frameChecksum(buffer.data(), length, key, type);
    rotateWordsLeft(buffer.data(), length, key & 15u);
    out.check = { static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum & 0xFF) };
    return out;
}

// Whether this thread's last exchange ended with no byte received, and its last attempt loop had only such.
thread_local bool t_exchangeSilent = false;
thread_local bool t_attemptsSilent = false;

} // namespace

const char* linkFailureName(LinkFailure failure)
{
    switch (failure) {
    case LinkFailure::None:
        return "None";
    case LinkFailure::ShortWrite:
        return "ShortWrite";
    case LinkFailure::LineError:
        return "LineError";
    case LinkFailure::ShortHeader:
        return "ShortHeader";
    case LinkFailure::NoSync:
        return "NoSync";
    case LinkFailure::ShortRealign:
        return "ShortRealign";
    case LinkFailure::ShortKey:
        return "ShortKey";
    case LinkFailure::ShortPayload:
        return "ShortPayload";
    case LinkFailure::TooShort:
        return "TooShort";
    case LinkFailure::Checksum:
        return "Checksum";
    }
    return "?";
}

CDeviceLink::CDeviceLink()
    : m_ownPorts(std::make_unique<CPortTable>())
    , m_ports(*m_ownPorts)
    , m_port(m_ports)
{
}

CDeviceLink::CDeviceLink(IPortTable& ports)
    : m_ports(ports)
    , m_port(m_ports)
{
}

CDeviceLink::~CDeviceLink() = default;

void CDeviceLink::configurePort(uint32_t n)
{
    m_lock.lock();
    CMutexGuard guard(&m_lock);
    m_line->close();
    m_line->open(n);
    m_line->setState(kLineSettings);
    m_line->setTimeout(kLinkTimeouts);
}

bool CDeviceLink::reopen()
{
    m_lock.lock();
    CMutexGuard guard(&m_lock);
    const uint32_t n = m_line->portNr();
    try {
        configurePort(n);
        logInfo("link", "COM" + std::to_string(n) + " re-opened");
        return true;
    } catch (IError* e) {
        CErrorGuard error(e);
        logSwallowed("link", "CDeviceLink::reopen", *error);
        return false;
    }
}

void CDeviceLink::setKeyGenerator(KeyGenerator generator)
{
    m_keyGenerator = std::move(generator);
}

uint16_t CDeviceLink::drawKey()
{
    return static_cast<uint16_t>((m_keyGenerator ? m_keyGenerator() : defaultKey()) & 0x7FFF);
}

bool CDeviceLink::writeWhole(const uint8_t* bytes, std::size_t size)
{
    return m_line->write(bytes, static_cast<uint32_t>(size)) == size;
}

bool exchangeOnLink(
    ILink& link, ExchangeBuffer& buffer, uint8_t& length, uint8_t& type, uint16_t key, LinkFailure& failure)
{
    failure = LinkFailure::None;
    checkRequest(length);
    const auto writeWhole = [&link](const uint8_t* bytes, std::size_t size) {
        return link.write(bytes, static_cast<uint32_t>(size)) == size;
    };

    const OutgoingFrame out = prepareFrame(buffer, length, type, key);
    const auto& header = out.header;
    const uint8_t* check = out.check.data();

    t_exchangeSilent = true;
    if (!writeWhole(header.data(), 4) || !writeWhole(header.data() + 4, 2) || !writeWhole(buffer.data(), length)) {
        failure = noteFailure(LinkFailure::ShortWrite, type);
        return false;
    }
    // The controller answers only after the checksum, so anything received
    // until now is stale and must not be taken for the answer.
    link.purgeIn();
    if (!writeWhole(check, 2)) {
        failure = noteFailure(LinkFailure::ShortWrite, type);
        return false;
    }

    CFrameReceiver rx(CFrameReceiver::Mode::Exchange, buffer);
    uint8_t chunk[256];
    while (rx.result() == CFrameReceiver::Result::Pending) {
        const std::size_t want = rx.wanted();
        const uint32_t got = want ? link.read(chunk, static_cast<uint32_t>(want)) : 0;
        if (got > 0)
            t_exchangeSilent = false;
        rx.onRead(chunk, got);
        link.wait(static_cast<unsigned>(rx.pause().count()));
    }
    if (rx.result() != CFrameReceiver::Result::Accepted) {
        failure = noteFailure(toLinkFailure(rx.failure()), type);
        return false;
    }
    type = rx.type();
    length = static_cast<uint8_t>(rx.lengthByte() - 2);
    return true;
}

bool CDeviceLink::exchange(ExchangeBuffer& buffer, uint8_t& length, uint8_t& type, LinkFailure* why)
{
    LinkFailure ignored;
    checkRequest(length);
    const uint16_t key = drawKey();
    m_lock.lock();
    CMutexGuard guard(&m_lock);
    return exchangeOnLink(*m_line, buffer, length, type, key, why ? *why : ignored);
}

uint8_t CDeviceLink::exchangeChecked(ExchangeBuffer& buffer, uint8_t& length, uint8_t& type, LinkFailure* why)
{
    constexpr uint8_t kLinkFault = 2;
    LinkFailure ignored;
    LinkFailure& failure = why ? *why : ignored;
    failure = LinkFailure::None;
    checkRequest(length);

    const uint16_t key = drawKey();
    m_lock.lock();
    CMutexGuard guard(&m_lock);

    const OutgoingFrame out = prepareFrame(buffer, length, type, key);
    const auto& header = out.header;
    const uint8_t* check = out.check.data();

    auto lineError = [&] {
        if (m_line->clearCommError() == 0)
            return false;
        failure = LinkFailure::LineError;
        return true;
    };
    auto shortWrite = [&](const uint8_t* bytes, std::size_t size) {
        if (writeWhole(bytes, size))
            return false;
        failure = LinkFailure::ShortWrite;
        return true;
    };

    m_line->purgeIn();
    if (shortWrite(header.data(), 4) || shortWrite(header.data() + 4, 2) || lineError())
        return kLinkFault;
    if (shortWrite(buffer.data(), length) || lineError())
        return kLinkFault;
    m_line->purgeIn();
    if (shortWrite(check, 2) || lineError())
        return kLinkFault;

    CFrameReceiver rx(CFrameReceiver::Mode::Checked, buffer);
    uint8_t chunk[256];
    bool flagsRead = false;
    while (rx.result() == CFrameReceiver::Result::Pending) {
        if (rx.stage() == CFrameReceiver::Stage::Payload && !flagsRead) {
            flagsRead = true;
            if (lineError())
                return kLinkFault;
        }
        const std::size_t want = rx.wanted();
        const uint32_t got = want ? m_line->read(chunk, static_cast<uint32_t>(want)) : 0;
        rx.onRead(chunk, got);
        m_line->wait(static_cast<unsigned>(rx.pause().count()));
    }
    switch (rx.result()) {
    case CFrameReceiver::Result::Accepted:
        type = rx.type();
        length = rx.lengthByte();
        return lineError() ? kLinkFault : 0;
    case CFrameReceiver::Result::NoAnswer:
        // The caller tells this from an answer by the type it set itself.
        failure = toLinkFailure(rx.failure());
        return 0;
    default:
        failure = noteFailure(toLinkFailure(rx.failure()), type);
        return kLinkFault;
    }
}

bool CDeviceLink::exchangeWithAttempts(uint8_t requestType, const uint8_t* payload, std::size_t size,
                                      ExchangeBuffer& buffer, uint8_t& length, uint8_t& type,
                                      const AnswerTest& accept, int attempts)
{
    checkRequest(size);
    bool silent = true;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        buffer.fill(0);
        std::copy(payload, payload + size, buffer.begin());
        length = static_cast<uint8_t>(size);
        type = requestType;
        t_exchangeSilent = true;
        const bool answered = exchange(buffer, length, type);
        silent = silent && t_exchangeSilent;
        if (answered && (!accept || accept(buffer, length, type))) {
            t_attemptsSilent = false;
            return true;
        }
    }
    t_attemptsSilent = silent && attempts > 0;
    // A single try (the OBD poll) fails often and on purpose; a command out of attempts is a fault.
    logMessage(attempts > 1 ? LogLevel::Warning : LogLevel::Debug, "link",
        "request type " + std::to_string(requestType) + " (first byte " + std::to_string(size ? payload[0] : 0)
            + "): no fitting answer in " + std::to_string(attempts) + " attempts" + (silent ? ", all silent" : ""));
    return false;
}

bool CDeviceLink::lastAttemptsSilent()
{
    return t_attemptsSilent;
}

bool CDeviceLink::exchangeWithAttempts(uint8_t requestType, const uint8_t* payload, std::size_t size,
                                      ExchangeBuffer& buffer, uint8_t& length, uint8_t expectedType, int attempts)
{
    uint8_t type = 0;
    return exchangeWithAttempts(
        requestType, payload, size, buffer, length, type,
        [expectedType](const ExchangeBuffer&, uint8_t, uint8_t answerType) { return answerType == expectedType; },
        attempts);
}
