// The OSC clients that asked for feedback. Each stays for LIFETIME_MS after its latest
// subscription; the list is capped, the oldest subscription making room for a new one, so a
// flood of subscriptions costs a fixed amount of memory. A subscription is answered with the
// whole state, and its sender's address may be forged: at most MAX_PER_SECOND are taken a
// second in all, so the program cannot be made to reflect traffic at a third party.
#pragma once

#include "core/CRateWindow.h"

#include <QHostAddress>

#include <cstdint>
#include <vector>

class COscSubscribers {
public:
    static constexpr uint32_t LIFETIME_MS = 60000;
    static constexpr size_t MAX_SUBSCRIBERS = 32;
    static constexpr int MAX_PER_SECOND = 4;

    struct Target {
        QHostAddress address;
        quint16 nPort = 0;
        uint32_t dwSince = 0; // tick of the latest subscription
    };

    enum class Outcome {
        Taken,   // a new client or a renewal within the rate: it gets the whole state now
        Kept,    // a renewal beyond the rate: it stays subscribed, and nothing is sent
        Dropped, // a new client beyond the rate
    };
    // A client taken or kept goes to the end of the list.
    Outcome Subscribe(const QHostAddress &address, quint16 nPort, uint32_t dwNow);
    void Expire(uint32_t dwNow);
    void Clear() { m_targets.clear(); }
    // Oldest subscription first.
    const std::vector<Target> &Targets() const { return m_targets; }

private:
    std::vector<Target> m_targets;
    CRateWindow m_rate{1000, MAX_PER_SECOND};
};
