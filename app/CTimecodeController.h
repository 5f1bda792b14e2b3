// Timecode chase ([Timecode] settings): the source that hears the timecode, the chase that
// turns it into the active player's clock-timed commands, and what the show's state says of
// it. An input like any other: its commands (origin Timecode) go to the one executor, so on a
// sync leader the group follows them as it follows any change; a follower follows its leader
// and chases nothing. All methods run on the UI thread.
#pragma once

#include "core/CShowState.h"
#include "core/CSteadyTickClock.h"
#include "engine/CTimecodeChase.h"
#include "remote/CTimecodeSettings.h"

#include <QObject>
#include <QTimer>

#include <memory>

class CArtNetTimecodeInput;
class CCommandSink;
class CMainController;
class CProfile;
class CShowEngine;
class CSyncController;

class CTimecodeController : public QObject {
    Q_OBJECT
public:
    // How often the chase looks at the player between samples: a stop of the timecode is
    // noticed within this.
    static constexpr int TICK_MS = 10;

    // Reads [Timecode] (and [Network] BindAddress, AllowFrom).
    CTimecodeController(CProfile &profile, QObject *pParent = nullptr);
    ~CTimecodeController() override;

    // Starts listening; commands go to inputs, the state is told to controller. Nothing
    // happens with Source off, on a sync follower, or where the players run untimed.
    void Serve(CMainController &controller, CShowEngine &engine, CCommandSink &inputs,
               CSyncController &sync);
    CShowState::Timecode GetStatus() const;
    // Whether a timecode is chased (Serve found a source to listen to).
    bool IsChasing() const { return m_bActive; }
    // The status line of the window: "Timecode (artnet): 00:00:12:07 locked, 0 frames".
    QString StatusText() const;

private:
    void OnTimecode(const CTimecode &timecode, int64_t nArrivedNs);
    void Tick();
    int64_t ClockNow() const;

    CTimecodeSettings m_settings;
    CTimecodeChase m_chase;
    CSteadyTickClock m_ticks;
    std::unique_ptr<CArtNetTimecodeInput> m_pArtNet;
    CShowEngine *m_pEngine = nullptr;
    CCommandSink *m_pSink = nullptr;
    CSyncController *m_pSync = nullptr;
    QTimer m_timer;
    bool m_bActive = false;
};
