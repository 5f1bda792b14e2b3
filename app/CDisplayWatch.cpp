#include "app/CDisplayWatch.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QThread>

#include <X11/Xlib.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {
// Set while a watch is armed; the handlers below are process-wide and outlive it.
std::atomic<CDisplayWatch *> g_pWatch{nullptr};
std::atomic<bool> g_bEnding{false};
// A foreign thread wakes the UI thread through this pipe: write() is safe anywhere.
int g_wake[2] = {-1, -1};
XIOErrorHandler g_previousIOHandler = nullptr;
QtMessageHandler g_previousMessageHandler = nullptr;
// The end itself may stall on a streaming thread that waits in OnIOError: by then the
// files are written, and this bounds the rest.
constexpr auto kEndTimeout = std::chrono::seconds(3);

// Ends the process kEndTimeout from the first call on, whatever the UI thread is doing.
void BoundTheEnd() {
    static std::atomic<bool> s_bArmed{false};
    if (s_bArmed.exchange(true))
        return;
    std::thread([] {
        std::this_thread::sleep_for(kEndTimeout);
        ::_exit(1);
    }).detach();
}

bool OnUiThread() {
    return QCoreApplication::instance() &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}
} // namespace

CDisplayWatch::CDisplayWatch(std::function<void()> onLost, QObject *pParent)
    : QObject(pParent), m_onLost(std::move(onLost)) {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    if (g_wake[0] < 0 && ::pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_pNotifier = new QSocketNotifier(g_wake[0], QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, [] { EndOnUiThread(); });
    g_previousIOHandler = XSetIOErrorHandler(&CDisplayWatch::OnIOError);
    g_previousMessageHandler = qInstallMessageHandler(&CDisplayWatch::OnMessage);
    g_pWatch = this;
}

CDisplayWatch::~CDisplayWatch() {
    if (g_pWatch != this)
        return;
    g_pWatch = nullptr;
    qInstallMessageHandler(g_previousMessageHandler);
    XSetIOErrorHandler(g_previousIOHandler);
}

int CDisplayWatch::OnIOError(_XDisplay *pDisplay) {
    if (!g_pWatch)
        return g_previousIOHandler ? g_previousIOHandler(pDisplay) : 0;
    if (OnUiThread())
        EndOnUiThread();
    // Returning would end the process from this thread. Wake the UI thread and wait here
    // for the end; the streaming thread this is goes no further. The UI thread may never
    // come to the wake (it was ending already, and now waits for this very thread to stop
    // its pipeline), so the end is bounded from here too.
    BoundTheEnd();
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_wake[1], &c, 1);
    for (;;)
        ::pause();
}

void CDisplayWatch::OnMessage(QtMsgType type, const QMessageLogContext &context,
                              const QString &text) {
    if (g_pWatch && text.startsWith(QLatin1String("The X11 connection broke")) && OnUiThread())
        EndOnUiThread();
    if (g_previousMessageHandler)
        g_previousMessageHandler(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

void CDisplayWatch::EndOnUiThread() {
    CDisplayWatch *pWatch = g_pWatch;
    // Another connection found dead on the way out (a video sink's, as its player is
    // released): the parts that keep something have written it by then.
    if (g_bEnding.exchange(true) || !pWatch)
        ::_exit(1);
    std::fprintf(stderr, "%s\n", LOST_LINE);
    std::fflush(stderr);
    BoundTheEnd();
    if (pWatch->m_onLost)
        pWatch->m_onLost();
    ::_exit(1);
}
