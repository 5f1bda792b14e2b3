// Where the show tells every feedback channel what happened: its state changed, or a player has
// a status text to report. The channels (status datagrams, OSC, the browser page) each listen
// here, so none depends on another having opened its socket. UI thread only.
#pragma once

#include "core/CCoalescedCall.h"

#include <QObject>
#include <QString>

class CShowEvents : public QObject {
    Q_OBJECT
public:
    explicit CShowEvents(QObject *pParent = nullptr) : QObject(pParent) {}

    // After the handler chain that made the change: the state read then is the whole change.
    // Several calls before it runs give one Changed.
    void NoteChanged();
    // A player's status text, without the player's name: "Playback started."
    void SayPlayerText(int nPlayer, const QString &strText) { emit PlayerText(nPlayer, strText); }
    // The show's main timer ticked (every 100 ms): what reports periodically looks now.
    void Beat() { emit Heartbeat(); }
    // Something changed that a periodic report should carry at its next chance, ahead of its
    // period; comes before the Changed of the same change.
    void RequestReport() { emit ReportRequested(); }

signals:
    void Changed();
    void Heartbeat();
    void ReportRequested();
    void PlayerText(int nPlayer, const QString &strText);

private:
    CCoalescedCall m_changed{this, [this] { emit Changed(); }};
};
