#include "app/CMprisPlayer.h"

#include "app/CMprisService.h"
#include "core/CLogBook.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QPointer>

CMprisPlayer::CMprisPlayer(CMprisService &service)
    : QDBusAbstractAdaptor(&service), m_service(service) {}

QVariant CMprisPlayer::Value(const char *pszName) const {
    return m_service.State().PlayerProperties().value(QLatin1String(pszName));
}

qlonglong CMprisPlayer::Position() const {
    return m_service.PositionUs();
}

// Each call is followed by an announcement, so the caller hears of the change at once.
void CMprisPlayer::SetLoopStatus(const QString &strStatus) {
    m_service.State().SetLoopStatus(strStatus);
    m_service.Announce();
}

void CMprisPlayer::SetRate(double dRate) {
    m_service.State().SetRate(dRate);
    m_service.Announce();
}

void CMprisPlayer::SetVolume(double dVolume) {
    m_service.State().SetVolume(dVolume);
    m_service.Announce();
}

void CMprisPlayer::Next() {
    m_service.State().Next();
    m_service.Announce();
}

void CMprisPlayer::Previous() {
    m_service.State().Previous();
    m_service.Announce();
}

void CMprisPlayer::Pause() {
    m_service.State().Pause();
    m_service.Announce();
}

void CMprisPlayer::PlayPause() {
    m_service.State().PlayPause();
    m_service.Announce();
}

void CMprisPlayer::Stop() {
    m_service.State().Stop();
    m_service.Announce();
}

void CMprisPlayer::Play() {
    m_service.State().Play();
    m_service.Announce();
}

void CMprisPlayer::Seek(qlonglong nOffset) {
    m_service.State().Seek(nOffset);
    m_service.Announce();
}

void CMprisPlayer::SetPosition(const QDBusObjectPath &trackId, qlonglong nPosition) {
    m_service.State().SetPosition(trackId.path(), nPosition);
    m_service.Announce();
}

void CMprisPlayer::LogRefusedUri(const QString &strUri) {
    if (!m_refusalLog.Take(m_clock.GetTickCount()))
        return;
    if (const int nDropped = m_refusalLog.TakeDropped())
        LogMsg("CMprisPlayer::OpenUri(): %d more URIs refused, not logged.\n", nDropped);
    LogMsg("CMprisState::OpenUri(): only file URIs can be opened (%s)\n",
           LogSafe(strUri).constData());
}

void CMprisPlayer::OpenUri(const QString &strUri, const QDBusMessage &message) {
    message.setDelayedReply(true);
    QPointer<CMprisPlayer> self(this);
    m_service.State().OpenUri(strUri, [self, strUri, message](CCommand::Result result) {
        if (self)
            self->m_service.Announce();
        // A file that does not open is logged where every remote open's failure is.
        if (self && result == CCommand::Result::Refused)
            self->LogRefusedUri(strUri);
        QDBusMessage reply;
        if (result == CCommand::Result::Done)
            reply = message.createReply();
        else if (result == CCommand::Result::Refused)
            reply = message.createErrorReply(
                QDBusError::InvalidArgs, QStringLiteral("Not a local file URI: %1").arg(strUri));
        else
            reply = message.createErrorReply(QString::fromLatin1(ERROR_CANNOT_OPEN),
                                             QStringLiteral("Cannot open %1").arg(strUri));
        QDBusConnection::sessionBus().send(reply);
    });
}
