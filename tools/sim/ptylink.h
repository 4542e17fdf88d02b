// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's end of the serial cable: the master side of a pseudo-terminal
// whose slave path the PC opens as its port, optionally reached through a
// symlink. Output is queued with a send time per byte, so answers can be paced
// at the wire speed.
//
// The slave is not held open here: a slave held open would keep the client's
// TIOCEXCL alive after it closes and refuse its next open (non-root users).
// While no client has the slave open the master reports POLLHUP; the loop then
// checks back every few milliseconds instead of polling the master.
#pragma once

#include <tools/sim/controlchannel.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class CPtyLink : public ILinkControl {
public:
    explicit CPtyLink(std::string symlinkPath = {});
    ~CPtyLink() override;
    CPtyLink(const CPtyLink&) = delete;
    CPtyLink& operator=(const CPtyLink&) = delete;

    // A new raw pseudo-terminal; the symlink (when asked for) points at its slave.
    bool open(std::string& error);
    void close();
    bool isOpen() const { return m_master >= 0; }
    int fd() const { return m_master; }

    // Whether a client holds the slave open now.
    bool clientAttached() const;
    // Reads what has arrived; -1 when the client has gone (EIO) or on an error.
    long read(uint8_t* buffer, std::size_t size);

    // Queues bytes: the first at time at, the others spacing seconds apart.
    void send(const std::vector<uint8_t>& bytes, double at, double spacing);
    // Writes every queued byte due by now; returns the time the next one is due
    // (a negative number when the queue is empty).
    double flush(double now);
    void discardOutput() { m_queue.clear(); }
    bool outputPending() const { return !m_queue.empty(); }

    bool vanish(std::string& error) override;
    bool appear(std::string& pathOrError) override;
    // Empty while vanished.
    std::string path() const override { return m_master >= 0 ? m_slavePath : std::string(); }
    uint64_t bytesIn() const override { return m_bytesIn; }
    uint64_t bytesOut() const override { return m_bytesOut; }

private:
    struct Timed {
        uint8_t byte;
        double at;
    };

    std::string m_symlink;
    std::string m_slavePath;
    int m_master = -1;
    std::deque<Timed> m_queue;
    uint64_t m_bytesIn = 0;
    uint64_t m_bytesOut = 0;
};
