// An owner window for a player under test: receives the graph notification, drains the
// player's events like the video view does and remembers them with their arrival time, and
// the outcome of each open that did not wait.
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
    // Runs the event loop until an open has ended or the time ran out.
    bool WaitForOpen(int nTimeoutMs);

    int m_nNotifications = 0;
    std::vector<Caught> m_events;
    std::vector<int> m_opens; // OPEN_DONE or OPEN_FAILED, in order

protected:
    bool event(QEvent *pEvent) override;

private:
    CPlayerBase *m_pPlayer = nullptr;
    QElapsedTimer m_clock;
};
