// The "About..." box: the version text beside the side picture.
#pragma once

#include <QDialog>

class QLabel;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    CAboutDlg(const QString &strVersion, QWidget *pParent = nullptr);

private:
    QString m_strVersion;
    QLabel *m_pVersion;
};
