// The modal user interface of a real run, over QMessageBox and QFileDialog.
#pragma once

#include "core/CModalUI.h"

class CQtModalUI : public CModalUI {
public:
    int MessageBox(QWidget *pParent, const QString &strText, const QString &strCaption,
                   Buttons buttons, Icon icon) override;
    QStringList GetOpenFileNames(QWidget *pParent, const QString &strCaption, const QString &strDir,
                                 const QString &strFilter, bool bMultiple) override;
    QString GetSaveFileName(QWidget *pParent, const QString &strCaption, const QString &strDir,
                            const QString &strFilter, const QString &strDefaultSuffix) override;
    QString BrowseForFolder(QWidget *pParent, const QString &strCaption,
                            const QString &strDir) override;
};
