// The browser remote in the program: owns the web server, which reports the show's state and
// hands the page's commands to the show's entry point, which holds them to the "Remote
// Control" setting as every input's (core/CInputPolicy). UI thread only.
#pragma once

#include "core/CShowState.h"

#include <functional>

#include <QObject>

class CCommandSink;
class CProfile;
class CShowEvents;
class CTickClock;
class CWebServer;

class CWebRemote : public QObject {
    Q_OBJECT
public:
    // The page's commands go to sink; what it shows is read from source. It ends with pParent.
    CWebRemote(CCommandSink &sink, std::function<CShowState()> source, CProfile &profile,
               const CTickClock &clock, CShowEvents &events, QObject *pParent);

    // Opens the page's port as [Web] says; false when it is off or could not be opened.
    bool Init();

private:
    CWebServer *m_pServer = nullptr;
};
