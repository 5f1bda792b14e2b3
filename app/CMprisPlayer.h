// The media-player bus interface's player object: transport, position, volume and loop mode
// of the active player. Every call goes through the service's state mapping, which turns it
// into the command of the control bar's button or the menu item it stands for.
#pragma once

#include "core/CRateWindow.h"
#include "core/CSteadyTickClock.h"

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QVariantMap>

class CMprisService;

class CMprisPlayer : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(QString LoopStatus READ LoopStatus WRITE SetLoopStatus)
    Q_PROPERTY(double Rate READ Rate WRITE SetRate)
    Q_PROPERTY(double MinimumRate READ MinimumRate)
    Q_PROPERTY(double MaximumRate READ MaximumRate)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(bool CanGoNext READ CanGoNext)
    Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPause)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)
public:
    static constexpr const char *ERROR_CANNOT_OPEN =
        "org.mpris.MediaPlayer2.tessaro.Error.CannotOpen";

    explicit CMprisPlayer(CMprisService &service);

    QString PlaybackStatus() const { return Value("PlaybackStatus").toString(); }
    QString LoopStatus() const { return Value("LoopStatus").toString(); }
    void SetLoopStatus(const QString &strStatus);
    double Rate() const { return 1.0; }
    void SetRate(double dRate);
    double MinimumRate() const { return 1.0; }
    double MaximumRate() const { return 1.0; }
    QVariantMap Metadata() const { return Value("Metadata").toMap(); }
    double Volume() const { return Value("Volume").toDouble(); }
    void SetVolume(double dVolume);
    qlonglong Position() const;
    bool CanGoNext() const { return Value("CanGoNext").toBool(); }
    bool CanGoPrevious() const { return Value("CanGoPrevious").toBool(); }
    bool CanPlay() const { return Value("CanPlay").toBool(); }
    bool CanPause() const { return Value("CanPause").toBool(); }
    bool CanSeek() const { return Value("CanSeek").toBool(); }
    bool CanControl() const { return true; }

public slots:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong nOffset);
    void SetPosition(const QDBusObjectPath &trackId, qlonglong nPosition);
    // Answers once the open has ended, while the program goes on: a URI that is no local file
    // is an invalid argument, a file that does not open is named in an error of our own.
    void OpenUri(const QString &strUri, const QDBusMessage &message);

signals:
    void Seeked(qlonglong Position);

private:
    QVariant Value(const char *pszName) const;
    void LogRefusedUri(const QString &strUri);

    CMprisService &m_service;
    // A client may call as fast as the bus carries the calls.
    CSteadyTickClock m_clock;
    CRateWindow m_refusalLog{10000, 5};
};
