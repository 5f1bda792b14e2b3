// Ends the program in order when the X server goes away. Left alone, Qt ends the process
// with exit(1) from its event loop, and Xlib (through which the video sinks draw, on
// GStreamer's threads) from whichever thread notices first: the settings and "LastPLS.dat"
// are lost, and the static destructors run under the feet of the streaming threads. Here a
// foreign thread that notices only wakes the user-interface thread and waits; that thread
// reports the loss in one line on stderr, runs the given end (stop, save) and leaves with
// exit code 1.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;
struct _XDisplay;

class CDisplayWatch : public QObject {
    Q_OBJECT
public:
    static constexpr const char *LOST_LINE =
        "tessaro: The connection to the display was lost; the program ends.";

    // UI thread, once the QApplication exists (Qt has set up its own handlers by then). On
    // any platform but xcb it watches nothing. onLost runs at most once, on the UI thread.
    explicit CDisplayWatch(std::function<void()> onLost, QObject *pParent = nullptr);
    // UI thread; a loss after this is no longer handled here.
    ~CDisplayWatch() override;

private:
    // Any thread: Xlib's fatal-error handler, which must not return where it cannot end
    // the program.
    static int OnIOError(_XDisplay *pDisplay);
    // Any thread: Qt's messages; its report of a broken connection is the last thing Qt
    // does before it would end the process on the UI thread.
    static void OnMessage(QtMsgType type, const QMessageLogContext &context, const QString &text);
    // UI thread.
    [[noreturn]] static void EndOnUiThread();

    std::function<void()> m_onLost;
    QSocketNotifier *m_pNotifier = nullptr;
};
