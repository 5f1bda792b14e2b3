#include "app/CAboutDlg.h"

#include "widgets/CResourceBitmap.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(const QString &strVersion, QWidget *pParent)
    : QDialog(pParent), m_strVersion(strVersion) {
    setWindowTitle("About...");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *pPicture = new QLabel(this);
    pPicture->setObjectName("195");
    pPicture->setPixmap(CResourceBitmap::Load(195));

    m_pVersion = new QLabel(m_strVersion, this);
    m_pVersion->setObjectName("1030");
    QFont font = m_pVersion->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.3);
    m_pVersion->setFont(font);

    auto *pLine = new QLabel("Two-player show media playback with network remote control.", this);
    pLine->setWordWrap(true);

    auto *pButtons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *pText = new QVBoxLayout;
    pText->addWidget(m_pVersion);
    pText->addWidget(pLine);
    pText->addStretch(1);
    pText->addWidget(pButtons);

    auto *pLayout = new QHBoxLayout(this);
    pLayout->addWidget(pPicture, 0, Qt::AlignTop);
    pLayout->addLayout(pText, 1);
    setMinimumWidth(420);
}
