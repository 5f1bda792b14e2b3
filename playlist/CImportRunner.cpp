#include "playlist/CImportRunner.h"

#include "core/CLogBook.h"
#include "playlist/CPlaylistCtrl.h"
#include "playlist/CPlaylistText.h"
#include "playlist/CWaitCursor.h"

#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QSet>
#include <algorithm>

CImportRunner::CImportRunner(CPlaylistCtrl &model, QWidget *pDialogParent)
    : m_model(model), m_pParent(pDialogParent) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &CImportRunner::Step);
}

CImportRunner::~CImportRunner() {
    m_timer.stop();
    // Closing the program stops an import; the operator learns what did not make it.
    if (!m_jobs.empty())
        LogMsg("CImportRunner::~CImportRunner(): Import stopped, %d file(s) not added.\n",
               int(m_jobs.size()));
    delete m_pProgress;
}

QStringList CImportRunner::CollectFolder(const QString &strFolder) {
    QSet<QString> visited;
    return CPlaylistCtrl::CollectFolderFiles(strFolder, visited);
}

QStringList CImportRunner::CollectDrop(const QStringList &names) {
    QStringList sorted = names;
    std::sort(sorted.begin(), sorted.end(), CPlaylistText::ByteOrder);
    QStringList files;
    for (const QString &strName : sorted) {
        const QFileInfo info(strName);
        if (!info.exists() || info.isDir()) {
            // Each dropped folder is searched on its own, as the playlist does it.
            QSet<QString> visited;
            files << CPlaylistCtrl::CollectFolderFiles(strName, visited);
        } else {
            files << strName;
        }
    }
    return files;
}

void CImportRunner::AddFiles(const QStringList &files, int nRow) {
    if (files.size() > PROGRESS_THRESHOLD || IsRunning()) {
        Queue(files, nRow);
        return;
    }
    CWaitCursor wait;
    for (const QString &strPath : files)
        m_model.AddEntry(strPath, nRow, QString(), QString());
}

void CImportRunner::AddFolder(const QString &strFolder, int nRow) {
    const QStringList files = CollectFolder(strFolder);
    if (files.size() > PROGRESS_THRESHOLD || IsRunning()) {
        Queue(files, nRow);
        return;
    }
    CWaitCursor wait;
    m_model.AddFolder(strFolder, nRow);
}

void CImportRunner::DropFiles(const QStringList &names, int nRow) {
    // A single playlist file is read as a playlist; that is quick and needs no steps.
    if (names.size() == 1 && CPlaylistCtrl::IsPlaylistFile(names.first())) {
        CWaitCursor wait;
        m_model.OnDropFiles(names, nRow);
        return;
    }
    const QStringList files = CollectDrop(names);
    if (files.size() > PROGRESS_THRESHOLD || IsRunning()) {
        Queue(files, nRow);
        return;
    }
    CWaitCursor wait;
    m_model.OnDropFiles(names, nRow);
}

void CImportRunner::Cancel() {
    m_bCancel = true;
    if (!m_bInStep && m_timer.isActive()) {
        m_timer.stop();
        Finish();
    }
}

void CImportRunner::Queue(const QStringList &files, int nRow) {
    if (files.isEmpty())
        return;
    for (const QString &strPath : files)
        m_jobs.push_back(Job{strPath, nRow});
    m_nTotal += static_cast<int>(files.size());
    if (!m_pWait)
        m_pWait = std::make_unique<CWaitCursor>();
    if (!m_pProgress) {
        m_bCancel = false;
        m_pProgress = new QProgressDialog(m_pParent);
        m_pProgress->setWindowTitle(QStringLiteral("Adding to Playlist"));
        m_pProgress->setCancelButtonText(QStringLiteral("Cancel"));
        m_pProgress->setWindowModality(Qt::NonModal);
        m_pProgress->setAutoClose(false);
        m_pProgress->setAutoReset(false);
        m_pProgress->setMinimumDuration(0);
        connect(m_pProgress, &QProgressDialog::canceled, this, &CImportRunner::Cancel);
        m_pProgress->show();
    }
    m_pProgress->setMaximum(m_nTotal);
    m_pProgress->setValue(m_nDone);
    m_pProgress->setLabelText(m_jobs.front().strPath);
    if (!m_bInStep)
        m_timer.start();
}

void CImportRunner::Step() {
    if (m_bCancel || m_jobs.empty()) {
        Finish();
        return;
    }
    const Job job = m_jobs.front();
    m_jobs.pop_front();
    m_bInStep = true;
    m_model.AddEntry(job.strPath, job.nRow, QString(), QString());
    m_bInStep = false;
    ++m_nDone;
    if (m_bCancel || m_jobs.empty()) {
        Finish();
        return;
    }
    if (m_pProgress) {
        m_pProgress->setValue(m_nDone);
        m_pProgress->setLabelText(m_jobs.front().strPath);
    }
    m_timer.start();
}

void CImportRunner::Finish() {
    m_jobs.clear();
    m_nDone = 0;
    m_nTotal = 0;
    m_bCancel = false;
    m_pWait.reset();
    if (m_pProgress) {
        m_pProgress->hide();
        m_pProgress->deleteLater();
        m_pProgress = nullptr;
    }
    emit finished();
}
