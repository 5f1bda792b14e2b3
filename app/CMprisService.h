// The program on the session bus as a desktop media player: registers the bus name and the
// two interfaces, reads the main window's state every main-timer period and announces what
// changed. Without a session bus it logs one line and does nothing else. UI thread only.
#pragma once

#include "app/CMprisState.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class CMainFrame;
class CMprisPlayer;

class CMprisService : public QObject, private CMprisState::Frame {
    Q_OBJECT
public:
    static constexpr const char *OBJECT_PATH = "/org/mpris/MediaPlayer2";
    static constexpr const char *SERVICE_NAME = "org.mpris.MediaPlayer2.tessaro";
    static constexpr int POLL_MS = 100;

    // The calls become commands for the main window, which hands them to the controller.
    explicit CMprisService(CMainFrame &frame, QObject *pParent = nullptr);
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

    CMainFrame &m_frame;
    CMprisState m_state;
    CMprisPlayer *m_pPlayer = nullptr;
    QTimer m_timer;
    QElapsedTimer m_sinceUpdate;
    QString m_strServiceName;
};
