// A sync leader's return-routability cookie: a keyed hash of a sender's address and port under
// a secret that rotates, so the leader can tell a follower that reads what is sent to it from
// a forged sender address without remembering anyone it has not yet proven. A cookie stays
// good for one to two rotation periods. Plain bookkeeping; the caller gives the time.
#pragma once

#include "remote/CSyncKey.h"

#include <QHostAddress>

#include <cstdint>

class CSyncCookie {
public:
    static constexpr uint32_t ROTATE_MS = 60000;

    CSyncCookie();

    // The cookie the sender is challenged with now (never 0).
    uint64_t Issue(const QHostAddress &sender, quint16 nPort, uint32_t dwNow);
    // Whether the cookie is one issued to that sender within the last one or two periods.
    bool Check(uint64_t nCookie, const QHostAddress &sender, quint16 nPort, uint32_t dwNow);

private:
    void Rotate(uint32_t dwNow);
    static uint64_t Of(const CSyncKey &secret, const QHostAddress &sender, quint16 nPort);

    CSyncKey m_current, m_previous;
    uint32_t m_dwRotated = 0;
};
