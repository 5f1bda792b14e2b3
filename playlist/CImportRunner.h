// Adds files, folders and drops to the playlist. A few files are added at once; more run one
// file per turn of the event loop behind a progress dialog that names the file being probed
// and can be cancelled, so the list stays usable during a long import.
#pragma once

#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <memory>

class CPlaylistCtrl;
class CWaitCursor;
class QWidget;

class CImportRunner : public QObject {
    Q_OBJECT
public:
    // Imports of more files than this show progress and run in steps.
    static constexpr int PROGRESS_THRESHOLD = 5;

    CImportRunner(CPlaylistCtrl &model, QWidget *pDialogParent);
    ~CImportRunner() override;

    // The files a folder import visits, in the order the playlist adds them: names in byte
    // order, sub-folders searched where they sort, each folder once.
    static QStringList CollectFolder(const QString &strFolder);
    // The files a drop visits, in the order the playlist adds them.
    static QStringList CollectDrop(const QStringList &names);

    // Each file goes to nRow (-1: appended), in the given order.
    void AddFiles(const QStringList &files, int nRow);
    void AddFolder(const QString &strFolder, int nRow);
    // Files and folders dropped onto nRow (-1: below the rows).
    void DropFiles(const QStringList &names, int nRow);

    bool IsRunning() const { return m_timer.isActive() || m_bInStep; }
    // Stops after the file being added now.
    void Cancel();
    // The progress dialog while a stepped import runs, else null.
    QProgressDialog *GetProgressDialog() const { return m_pProgress; }

signals:
    // A stepped import ended (done or cancelled).
    void finished();

private:
    struct Job {
        QString strPath;
        int nRow;
    };
    void Queue(const QStringList &files, int nRow);
    void Step();
    void Finish();

    CPlaylistCtrl &m_model;
    QPointer<QWidget> m_pParent;
    std::deque<Job> m_jobs;
    QTimer m_timer;
    QPointer<QProgressDialog> m_pProgress;
    std::unique_ptr<CWaitCursor> m_pWait;
    int m_nDone = 0;
    int m_nTotal = 0;
    bool m_bCancel = false;
    bool m_bInStep = false;
};
