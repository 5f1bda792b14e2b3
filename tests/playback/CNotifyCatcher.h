// An owner window for a player under test: receives the graph notification, drains the
// player's events like the video view does and remembers them with their arrival time.
#pragma once

#include "playback/CPlayerBase.h"

#include <QElapsedTimer>
#include <QWidget>
#include <vector>

class CNotifyCatcher : public QWidget {
public:
    struct Caught {
        long lCode;
        qint64 nAtMs;
    };

    explicit CNotifyCatcher(QWidget *pParent = nullptr) : QWidget(pParent) { m_clock.start(); }
    void SetPlayer(CPlayerBase *pPlayer) { m_pPlayer = pPlayer; }
    void RestartClock() { m_clock.restart(); }
    // Runs the event loop until an event with this code came or the time ran out.
    bool WaitFor(long lCode, int nTimeoutMs);

    int m_nNotifications = 0;
    std::vector<Caught> m_events;

protected:
    bool event(QEvent *pEvent) override;

private:
    CPlayerBase *m_pPlayer = nullptr;
    QElapsedTimer m_clock;
};
