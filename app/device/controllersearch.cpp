// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/controllersearch.h>

#include <app/device/linkexchange.h>
#include <app/device/lpgdevice.h>
#include <app/device/serialport.h>
#include <app/platform/log.h>
#include <app/platform/profilestore.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>
#include <errkit/utf8.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

namespace {

// The identification on one port, in a thread of its own, so that silent
// ports are waited for at the same time rather than one after the other. It
// sends nothing after stop is set, and it has closed its port when it reports.
// Where the probes of one search report: one lock and one signal for all.
struct SProbeBoard {
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<bool> stop { false };
};

class CPortProbe {
public:
    enum class State { Running, Answered, Failed, Stopped };

    CPortProbe(IPortTable& ports, uint32_t number, SProbeBoard& board)
        : m_ports(ports)
        , m_number(number)
        , m_board(board)
    {
    }
    ~CPortProbe()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    CPortProbe(const CPortProbe&) = delete;
    CPortProbe& operator=(const CPortProbe&) = delete;

    void start()
    {
        m_thread = std::thread([this] { run(); });
    }
    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    // Running until it has ended: Answered, Failed (with why) or Stopped. Under the board's lock.
    State state() const { return m_state; }
    uint32_t number() const { return m_number; }
    ConnectFailure failure() const { return m_failure; }
    const std::string& detail() const { return m_detail; }

private:
    void run()
    {
        State state = State::Failed;
        CSerialPort port(m_ports);
        const std::string path = m_ports.pathOf(m_number);
        logInfo("conn", "trying COM" + std::to_string(m_number) + " (" + path + ")");
        try {
            port.open(m_number);
            port.setState(CDeviceLink::kLineSettings);
            port.setTimeout(CDeviceLink::kLinkTimeouts);
            m_failure = ConnectFailure::NoAnswer;
            state = identify(port);
        } catch (IError* e) {
            CErrorGuard error(e);
            if (!port.isOpen() && port.openError() != 0) {
                m_failure = connectFailureOfOpenError(port.openError());
                m_detail = osErrorText(port.openError());
            } else {
                m_failure = ConnectFailure::PortError;
                m_detail = toUtf8(error->getText());
            }
        }
        port.close();
        if (state == State::Failed)
            logInfo("conn", describeConnectFailure(m_failure, path, m_detail));
        const std::lock_guard lock(m_board.mutex);
        m_state = state;
        m_board.changed.notify_all();
    }

    State identify(CSerialPort& port)
    {
        std::minstd_rand keys { std::random_device {}() };
        for (int attempt = 0; attempt < kIdentifyAttempts; ++attempt) {
            if (m_board.stop)
                return State::Stopped;
            ExchangeBuffer buffer {};
            std::copy(kIdentifyRequest.begin(), kIdentifyRequest.end(), buffer.begin());
            uint8_t length = kIdentifyRequest.size();
            uint8_t type = kIdentifyType;
            LinkFailure failure = LinkFailure::None;
            const auto key = static_cast<uint16_t>(keys() & 0x7FFF);
            if (exchangeOnLink(port, buffer, length, type, key, failure) && isIdentifyAnswer(buffer, length, type))
                return State::Answered;
        }
        return State::Failed;
    }

    IPortTable& m_ports;
    const uint32_t m_number;
    SProbeBoard& m_board;
    std::thread m_thread;
    State m_state = State::Running;
    ConnectFailure m_failure = ConnectFailure::None;
    std::string m_detail;
};

void noteAttempt(std::vector<SearchAttempt>* attempts, IPortTable& ports, uint32_t n, ConnectFailure failure,
    const std::string& detail)
{
    if (!attempts)
        return;
    // The last port is tried twice; its later reason stands.
    std::erase_if(*attempts, [n](const SearchAttempt& a) { return a.number == n; });
    attempts->push_back({ n, ports.pathOf(n), failure, detail });
}

// Every port in order, one after the other: with one port there is nothing to wait for at the same time.
bool searchInTurn(CLPGDevice& device, const std::vector<uint32_t>& order, std::vector<SearchAttempt>* attempts)
{
    for (const uint32_t n : order) {
        if (device.session().connectOnPort(n))
            return true;
        noteAttempt(attempts, device.link().ports(), n, device.session().lastConnectFailure(), device.session().lastConnectDetail());
    }
    return false;
}

} // namespace

std::vector<uint32_t> searchOrder(uint32_t last, const std::vector<uint32_t>& present)
{
    std::vector<uint32_t> order;
    order.reserve(present.size() + 1);
    if (last != 0 && std::find(present.begin(), present.end(), last) != present.end())
        order.push_back(last);
    order.insert(order.end(), present.begin(), present.end());
    return order;
}

uint32_t lastSearchPort(const CProfileStore& profile, IPortTable& table, const std::vector<PortEntry>& present)
{
    const auto isPresent = [&present](uint32_t n) {
        return std::any_of(present.begin(), present.end(), [n](const PortEntry& e) { return e.number == n; });
    };
    // The adapter's serial number outlives its tty name across replugging.
    const std::string lastId = profile.lastPortId();
    if (!lastId.empty()) {
        if (const uint32_t n = table.numberOfById(lastId); n && isPresent(n))
            return n;
    }
    // Numbers are handed out per run; the remembered path finds the same
    // adapter again. A path the table does not know is not offered to open:
    // it may be some other device by now.
    const std::string lastPath = profile.lastPortPath();
    uint32_t last = lastPath.empty() ? profile.lastPortNumber() : 0;
    for (const auto& entry : present) {
        if (!lastPath.empty() && entry.path == lastPath)
            last = entry.number;
    }
    if (last == 0 && !lastPath.empty())
        last = table.numberOf(lastPath);
    return last;
}

bool searchController(CLPGDevice& device, const std::vector<PortEntry>& present, const CProfileStore& profile,
                      std::vector<SearchAttempt>* attempts)
{
    device.m_connected = false;
    device.m_demo = false;

    std::vector<uint32_t> numbers;
    numbers.reserve(present.size());
    for (const auto& entry : present)
        numbers.push_back(entry.number);
    const uint32_t last = lastSearchPort(profile, device.link().ports(), present);
    std::vector<uint32_t> order = searchOrder(last, numbers);
    if (numbers.size() < 2)
        return searchInTurn(device, order, attempts);

    // Each port once, identified by all probes at once. The last port's answer
    // is waited for first; after it, the first port to answer is taken. A port
    // that answered is connected in full once its probe has let go of it.
    std::erase_if(order, [seen = std::vector<uint32_t>()](uint32_t n) mutable {
        if (std::find(seen.begin(), seen.end(), n) != seen.end())
            return true;
        seen.push_back(n);
        return false;
    });
    SProbeBoard board;
    std::vector<std::unique_ptr<CPortProbe>> probes;
    probes.reserve(order.size());
    for (const uint32_t n : order)
        probes.push_back(std::make_unique<CPortProbe>(device.link().ports(), n, board));
    for (auto& probe : probes)
        probe->start();
    // Nothing goes to any port once the search is over, whichever way it ends;
    // the reasons are told in the search's order, not in the order they came.
    const auto finish = [&](bool found) {
        board.stop = true;
        for (auto& probe : probes)
            probe->join();
        if (attempts) {
            const auto rank = [&order](const SearchAttempt& a) {
                return std::find(order.begin(), order.end(), a.number) - order.begin();
            };
            std::stable_sort(attempts->begin(), attempts->end(),
                [&rank](const SearchAttempt& a, const SearchAttempt& b) { return rank(a) < rank(b); });
        }
        return found;
    };
    std::vector<CPortProbe*> pending;
    pending.reserve(probes.size());
    for (auto& probe : probes)
        pending.push_back(probe.get());
    while (!pending.empty()) {
        CPortProbe* ended = nullptr;
        CPortProbe::State state = CPortProbe::State::Running;
        {
            std::unique_lock lock(board.mutex);
            board.changed.wait(lock, [&] {
                const bool lastPending = pending.front()->number() == last;
                for (CPortProbe* p : pending) {
                    if (p->state() != CPortProbe::State::Running && (!lastPending || p->number() == last)) {
                        ended = p;
                        state = p->state();
                        return true;
                    }
                }
                return false;
            });
        }
        std::erase(pending, ended);
        if (state == CPortProbe::State::Failed) {
            noteAttempt(attempts, device.link().ports(), ended->number(), ended->failure(), ended->detail());
            continue;
        }
        // Answered, or stopped after an answer elsewhere that did not lead to a connection.
        board.stop = true;
        if (device.session().connectOnPort(ended->number()))
            return finish(true);
        noteAttempt(attempts, device.link().ports(), ended->number(), device.session().lastConnectFailure(), device.session().lastConnectDetail());
        // The other probes may have been stopped before they knew; those go in turn.
        for (auto& p : probes)
            p->join();
        std::vector<uint32_t> rest;
        for (CPortProbe* p : pending) {
            if (p->state() == CPortProbe::State::Failed)
                noteAttempt(attempts, device.link().ports(), p->number(), p->failure(), p->detail());
            else
                rest.push_back(p->number());
        }
        return finish(searchInTurn(device, rest, attempts));
    }
    return finish(false);
}

bool searchController(CLPGDevice& device, std::vector<SearchAttempt>* attempts)
{
    return searchController(device, device.link().ports().presentPorts(), profileStore(), attempts);
}
