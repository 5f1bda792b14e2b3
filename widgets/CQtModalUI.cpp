#include "widgets/CQtModalUI.h"

#include <QFileDialog>
#include <QMessageBox>
#include <cstdio>

int CQtModalUI::MessageBox(QWidget *pParent, const QString &strText, const QString &strCaption,
                           Buttons buttons, Icon icon) {
    const int nClosed = buttons == MB_YESNO ? IDNO : (buttons == MB_OKCANCEL ? IDCANCEL : IDOK);
    if (m_bEnded) {
        std::fprintf(stderr, "tessaro: %s\n", strText.simplified().toLocal8Bit().constData());
        return nClosed;
    }
    QMessageBox box(pParent);
    box.setWindowTitle(strCaption.isEmpty() ? QStringLiteral("Tessaro") : strCaption);
    box.setText(strText);
    switch (icon) {
    case ICON_INFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    case ICON_QUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case ICON_WARNING:
        box.setIcon(QMessageBox::Warning);
        break;
    case ICON_ERROR:
        box.setIcon(QMessageBox::Critical);
        break;
    case ICON_NONE:
        break;
    }
    switch (buttons) {
    case MB_OK:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    case QMessageBox::Cancel:
        return IDCANCEL;
    default:
        return nClosed;
    case QMessageBox::Ok:
        return IDOK;
    }
}

QStringList CQtModalUI::GetOpenFileNames(QWidget *pParent, const QString &strCaption,
                                         const QString &strDir, const QString &strFilter,
                                         bool bMultiple) {
    if (m_bEnded)
        return QStringList();
    if (bMultiple)
        return QFileDialog::getOpenFileNames(pParent, strCaption, strDir, strFilter);
    const QString strFile = QFileDialog::getOpenFileName(pParent, strCaption, strDir, strFilter);
    return strFile.isEmpty() ? QStringList() : QStringList{strFile};
}

QString CQtModalUI::GetSaveFileName(QWidget *pParent, const QString &strCaption,
                                    const QString &strDir, const QString &strFilter,
                                    const QString &strDefaultSuffix) {
    if (m_bEnded)
        return QString();
    // The static helper has no default suffix; a suffix added after the dialog closed would
    // name a file the overwrite question never asked about.
    QFileDialog dialog(pParent, strCaption, strDir, strFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(strDefaultSuffix);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}

QString CQtModalUI::BrowseForFolder(QWidget *pParent, const QString &strCaption,
                                    const QString &strDir) {
    if (m_bEnded)
        return QString();
    return QFileDialog::getExistingDirectory(pParent, strCaption, strDir);
}
