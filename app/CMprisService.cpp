#include "app/CMprisService.h"

#include "app/CMprisPlayer.h"
#include "app/CMprisProperties.h"
#include "app/CMprisRoot.h"
#include "core/CLogBook.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

CMprisService::CMprisService(CCommandSink &sink, StateSource state, std::function<void()> raise,
                             QObject *pParent)
    : QObject(pParent), m_stateSource(std::move(state)), m_raise(std::move(raise)),
      m_state(sink, *this) {
    m_state.SetCanRaise(bool(m_raise));
    if (!Register())
        return;
    m_state.Update(0);
    m_sinceUpdate.start();
    connect(&m_timer, &QTimer::timeout, this, &CMprisService::Announce);
    m_timer.start(POLL_MS);
}

CMprisService::~CMprisService() {
    if (m_strServiceName.isEmpty())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(OBJECT_PATH);
    bus.unregisterService(m_strServiceName);
}

bool CMprisService::Register() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        LogMsg("Desktop media controls are off: there is no session bus.\n");
        return false;
    }
    // The adaptors are exported with this object; they must exist before it is registered.
    new CMprisRoot(*this);
    m_pPlayer = new CMprisPlayer(*this);
    new CMprisProperties(this);
    if (!bus.registerObject(OBJECT_PATH, this, QDBusConnection::ExportAdaptors)) {
        LogError("CMprisService::Register(): %s already taken on the session bus\n", OBJECT_PATH);
        return false;
    }
    // A second instance takes a name of its own, which clients list as the same player.
    QString strName = SERVICE_NAME;
    if (!bus.registerService(strName)) {
        strName += QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
        if (!bus.registerService(strName)) {
            LogError("CMprisService::Register(): cannot own %s: %s\n", qPrintable(strName),
                     qPrintable(bus.lastError().message()));
            bus.unregisterObject(OBJECT_PATH);
            return false;
        }
    }
    m_strServiceName = strName;
    LogMsg("Desktop media controls on the session bus as %s.\n", qPrintable(strName));
    return true;
}

void CMprisService::Announce() {
    if (m_strServiceName.isEmpty())
        return;
    const CMprisState::Changes changes = m_state.Update(m_sinceUpdate.restart());
    EmitPropertiesChanged(QStringLiteral("org.mpris.MediaPlayer2"), changes.root);
    EmitPropertiesChanged(QStringLiteral("org.mpris.MediaPlayer2.Player"), changes.player);
    if (changes.bSeeked)
        emit m_pPlayer->Seeked(changes.nPositionUs);
}

void CMprisService::EmitPropertiesChanged(const QString &strInterface, const QVariantMap &changed) {
    // QtDBus announces no property changes by itself.
    if (changed.isEmpty())
        return;
    QDBusMessage signal =
        QDBusMessage::createSignal(OBJECT_PATH, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << strInterface << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

qlonglong CMprisService::PositionUs() const {
    return Read().nPositionMs * 1000;
}

void CMprisService::Raise() {
    if (m_raise)
        m_raise();
}

CMprisState::Snapshot CMprisService::Read() const {
    return CMprisState::FromShow(m_stateSource());
}
