// SPDX-License-Identifier: GPL-3.0-or-later
// The far end of a serial link on a pseudo-terminal, for tests. The code under
// test opens path() as its port; the peer reads what it sends and answers,
// either by hand (send, receive) or from a background thread that answers
// every request frame through a handler. It also builds and parses frames on
// its own, so tests never judge the link code by the link code.
//
// The peer keeps the terminal side open in raw mode for its whole life, so the
// port may close and re-open it without the peer seeing a hang-up.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <termios.h>
#include <thread>
#include <vector>

class PtyPeer {
public:
    using Bytes = std::vector<uint8_t>;

    // Bytes to send after a pause.
    struct Reply {
        Bytes bytes;
        std::chrono::milliseconds delay { 0 };
    };
    // Gets each request frame as it came, returns what to send back (nothing: stay silent).
    using Handler = std::function<std::vector<Reply>(const Bytes& request)>;

    // A frame taken apart: the payload is unscrambled.
    struct Frame {
        uint8_t length = 0; // the length byte
        uint8_t type = 0;
        uint16_t key = 0;
        Bytes payload;
        uint16_t checksum = 0;   // as sent
        bool checksumOk = false; // as the controller would check it
    };

    // Opens a new pseudo-terminal; throws std::runtime_error when it cannot.
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    // The terminal device the port opens (/dev/pts/N).
    const std::string& path() const { return m_path; }

    void send(const Bytes& bytes);
    // Up to count bytes, whatever arrived before the time-out.
    Bytes receive(std::size_t count, std::chrono::milliseconds timeout);
    // Everything that arrives until nothing has come for quiet.
    Bytes drain(std::chrono::milliseconds quiet);
    // One frame (bytes before AA 55 are skipped); empty when none begins
    // within the time-out or a begun one does not end within a second.
    Bytes receiveFrame(std::chrono::milliseconds timeout);
    // The line settings of the terminal as the port left them.
    termios settings() const;
    // Bytes sent by the peer and not yet read by the port.
    std::size_t queuedAtPort() const;
    bool waitQueuedAtPort(std::size_t count, std::chrono::milliseconds timeout) const;

    // Answers every request frame from a background thread until stop().
    void serve(Handler handler);
    void stop();
    // The request frames the serving thread received, in order.
    std::vector<Bytes> requests() const;
    // Closes the pseudo-terminal: the port sees the line hang up.
    void hangUp();

    // A frame as the controller builds it: the length byte is payload + 2.
    static Bytes frame(uint8_t type, uint16_t key, const Bytes& plainPayload);
    // Takes a whole frame apart; nothing when it is not AA 55 with all its bytes.
    static std::optional<Frame> parse(const Bytes& bytes);
    // Hex of bytes, "aa 55 08 …", for readable test failures.
    static std::string hex(const Bytes& bytes);

private:
    void serveLoop();

    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
    std::thread m_thread;
    std::atomic<bool> m_stop { false };
    Handler m_handler;
    mutable std::mutex m_mutex;
    std::vector<Bytes> m_requests;
};
