// The program on the session bus as a desktop media player: registers the bus name and the
// two interfaces, reads the show's state every main-timer period and announces what changed.
// Without a session bus it logs one line and does nothing else. UI thread only.
#pragma once

#include "app/CMprisState.h"
#include "core/CShowState.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

class CCommandSink;
class CMprisPlayer;

class CMprisService : public QObject, private CMprisState::Frame {
    Q_OBJECT
public:
    static constexpr const char *OBJECT_PATH = "/org/mpris/MediaPlayer2";
    static constexpr const char *SERVICE_NAME = "org.mpris.MediaPlayer2.tessaro";
    static constexpr int POLL_MS = 100;

    // The show as read now, without the playlist's rows.
    using StateSource = std::function<CShowState()>;
    // The calls become commands for sink; state is read for the properties; raise brings the
    // program's window to the front (none without a window: the bus hears it cannot raise).
    CMprisService(CCommandSink &sink, StateSource state, std::function<void()> raise,
                  QObject *pParent = nullptr);
    ~CMprisService() override;

    // The bus name taken, or empty without a bus.
    const QString &ServiceName() const { return m_strServiceName; }
    CMprisState &State() { return m_state; }
    // Reads the state now and announces every change; the adaptors call it after each call,
    // so a client hears of its own command without waiting for the next period.
    void Announce();
    // Read fresh: clients ask for the position when they draw it.
    qlonglong PositionUs() const;
    void Raise();

private:
    bool Register();
    void EmitPropertiesChanged(const QString &strInterface, const QVariantMap &changed);

    CMprisState::Snapshot Read() const override;

    StateSource m_stateSource;
    std::function<void()> m_raise;
    CMprisState m_state;
    CMprisPlayer *m_pPlayer = nullptr;
    QTimer m_timer;
    QElapsedTimer m_sinceUpdate;
    QString m_strServiceName;
};
