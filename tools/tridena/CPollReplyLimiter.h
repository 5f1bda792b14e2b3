// Which ArtPolls the stand-in answers: at most one reply per poller address and second, so a
// spoofed poll cannot make the node a reflector that sends 17 times what it receives. Plain
// time in, decision out, so the rule can be tested without sockets or waiting.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>

class CPollReplyLimiter {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration PERIOD = std::chrono::seconds(1);
    // Pollers remembered at once. Polls from more addresses than this within one period (a
    // spoofed sweep) go unanswered until a slot frees: the replies a second stay bounded.
    static constexpr int MAX_POLLERS = 64;

    // True when a reply to the poller at nAddress (IPv4, any byte order) may go out now; it is
    // then counted as sent.
    bool Allow(uint32_t nAddress, Clock::time_point now);

private:
    struct Poller {
        uint32_t nAddress = 0;
        Clock::time_point lastReply;
        bool bUsed = false;
    };
    std::array<Poller, MAX_POLLERS> m_Pollers{};
};
