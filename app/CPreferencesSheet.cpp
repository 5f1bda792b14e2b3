#include "app/CPreferencesSheet.h"

#include "app/CGeneralCfgDlg.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

CPreferencesSheet::CPreferencesSheet(CGeneralSettings &settings, CModalUI &modalUI,
                                     QWidget *pParent)
    : QDialog(pParent) {
    setWindowTitle("Program Preferences");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    auto *pTabs = new QTabWidget(this);
    m_pGeneralPage = new CGeneralCfgDlg(settings, modalUI, pTabs);
    pTabs->addTab(m_pGeneralPage, "General");
    m_pGeneralPage->OnInitDialog();

    auto *pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &CPreferencesSheet::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pTabs);
    pLayout->addWidget(pButtons);
}

void CPreferencesSheet::accept() {
    m_pGeneralPage->OnOK();
    QDialog::accept();
}
