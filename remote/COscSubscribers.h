// The OSC clients that asked for feedback. Each stays for LIFETIME_MS after its latest
// subscription; the list is capped, the oldest subscription making room for a new one, so a
// flood of subscriptions costs a fixed amount of memory.
#pragma once

#include <QHostAddress>

#include <cstdint>
#include <vector>

class COscSubscribers {
public:
    static constexpr uint32_t LIFETIME_MS = 60000;
    static constexpr size_t MAX_SUBSCRIBERS = 32;

    struct Target {
        QHostAddress address;
        quint16 nPort = 0;
        uint32_t dwSince = 0; // tick of the latest subscription
    };

    // A new client or the renewal of one; either way it goes to the end of the list.
    void Subscribe(const QHostAddress &address, quint16 nPort, uint32_t dwNow);
    void Expire(uint32_t dwNow);
    void Clear() { m_targets.clear(); }
    // Oldest subscription first.
    const std::vector<Target> &Targets() const { return m_targets; }

private:
    std::vector<Target> m_targets;
};
