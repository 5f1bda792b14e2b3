// The media-player bus interface's root object: who the player is and what the desktop may
// do with its window. Values come from the service's state mapping.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QStringList>

class CMprisService;

class CMprisRoot : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool CanSetFullscreen READ CanSetFullscreen)
    Q_PROPERTY(bool Fullscreen READ Fullscreen WRITE SetFullscreen)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
public:
    // Owned by the service, as QtDBus adaptors are owned by their object.
    explicit CMprisRoot(CMprisService &service);

    bool CanQuit() const { return Value("CanQuit").toBool(); }
    bool CanRaise() const { return Value("CanRaise").toBool(); }
    bool CanSetFullscreen() const { return Value("CanSetFullscreen").toBool(); }
    bool Fullscreen() const { return Value("Fullscreen").toBool(); }
    void SetFullscreen(bool bFullScreen);
    bool HasTrackList() const { return Value("HasTrackList").toBool(); }
    QString Identity() const { return Value("Identity").toString(); }
    QString DesktopEntry() const { return Value("DesktopEntry").toString(); }
    QStringList SupportedUriSchemes() const { return Value("SupportedUriSchemes").toStringList(); }
    QStringList SupportedMimeTypes() const { return Value("SupportedMimeTypes").toStringList(); }

public slots:
    void Raise();
    void Quit();

private:
    QVariant Value(const char *pszName) const;

    CMprisService &m_service;
};
