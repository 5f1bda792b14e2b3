// Turns SIGTERM and SIGINT into a Qt signal on the user-interface thread, so the program can
// close its main window and shut down in order instead of dying mid-write.
#pragma once

#include <QObject>

class QSocketNotifier;

class CSignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit CSignalWatcher(QObject *pParent = nullptr);
    ~CSignalWatcher() override;

signals:
    void TerminationRequested(int nSignal);

private:
    void OnReadable();

    QSocketNotifier *m_pNotifier = nullptr;
};
