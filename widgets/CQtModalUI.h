// The modal user interface of a real run, over QMessageBox and QFileDialog.
#pragma once

#include "core/CModalUI.h"

class CQtModalUI : public CModalUI {
public:
    // The program is ending and nobody may be there to answer: from now on no box or dialog
    // opens. A message goes to stderr instead, a question gets the answer of
    // closing its box (IDOK, IDNO or IDCANCEL), a file dialog no file.
    void EndQuestions() { m_bEnded = true; }

    int MessageBox(QWidget *pParent, const QString &strText, const QString &strCaption,
                   Buttons buttons, Icon icon) override;
    QStringList GetOpenFileNames(QWidget *pParent, const QString &strCaption, const QString &strDir,
                                 const QString &strFilter, bool bMultiple) override;
    QString GetSaveFileName(QWidget *pParent, const QString &strCaption, const QString &strDir,
                            const QString &strFilter, const QString &strDefaultSuffix) override;
    QString BrowseForFolder(QWidget *pParent, const QString &strCaption,
                            const QString &strDir) override;

private:
    bool m_bEnded = false;
};
