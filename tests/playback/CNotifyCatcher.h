// An owner window for a player under test: receives the graph notification, drains the
// player's events like the video view does and remembers them with their arrival time, and
// the outcome of each open that did not wait.
#pragma once

#include "playback/CPlayerBase.h"
#include "playback/CVideoSurface.h"

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
    // What a player's Init is given: the notification comes here.
    CPlayerBase::Notify Notifier() {
        return [this] { OnNotify(); };
    }
    // Init with the notification here, the picture drawn in this window.
    bool InitPlayer(CPlayerBase &player) {
        if (!player.Init(Notifier()))
            return false;
        if (CVideoSurface *pSurface = player.Surface())
            pSurface->SetVideoOwner(this);
        return true;
    }
    void RestartClock() { m_clock.restart(); }
    // Runs the event loop until an event with this code came or the time ran out.
    bool WaitFor(long lCode, int nTimeoutMs);
    // Runs the event loop until an open has ended or the time ran out.
    bool WaitForOpen(int nTimeoutMs);

    int m_nNotifications = 0;
    std::vector<Caught> m_events;
    std::vector<int> m_opens; // OPEN_DONE or OPEN_FAILED, in order

private:
    void OnNotify();

    CPlayerBase *m_pPlayer = nullptr;
    QElapsedTimer m_clock;
};
