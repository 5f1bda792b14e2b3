#include "app/CPreferencesSheet.h"

#include "app/CGeneralCfgDlg.h"
#include "app/CSettingsCatalog.h"
#include "app/CSettingsPage.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

CPreferencesSheet::CPreferencesSheet(CGeneralSettings &settings, CModalUI &modalUI,
                                     CProfile &profile, QWidget *pParent)
    : QDialog(pParent) {
    setWindowTitle("Program Preferences");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);

    m_pTabs = new QTabWidget(this);
    m_pGeneralPage = new CGeneralCfgDlg(settings, modalUI, m_pTabs);
    m_pTabs->addTab(m_pGeneralPage, "General");
    m_pGeneralPage->OnInitDialog();
    for (const CSettingsCatalog::Section &section : CSettingsCatalog::Sections()) {
        if (!section.bHasPage)
            continue;
        auto *pPage = new CSettingsPage(section, profile, m_pTabs);
        m_pTabs->addTab(pPage, section.strName);
        m_pages.push_back(pPage);
    }

    auto *pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &CPreferencesSheet::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *pLayout = new QVBoxLayout(this);
    // Room for a section's fields with their notes, without scrolling at every turn.
    m_pTabs->setMinimumHeight(480);
    pLayout->addWidget(m_pTabs);
    pLayout->addWidget(pButtons);
}

CSettingsPage *CPreferencesSheet::GetPage(const QString &strSection) const {
    for (CSettingsPage *pPage : m_pages)
        if (pPage->objectName() == strSection)
            return pPage;
    return nullptr;
}

void CPreferencesSheet::accept() {
    // The first page with a value the program would refuse comes to the front, its words
    // under the field; nothing is stored until every page is good.
    for (CSettingsPage *pPage : m_pages)
        if (!pPage->Problems().isEmpty()) {
            m_pTabs->setCurrentWidget(pPage);
            return;
        }
    m_pGeneralPage->OnOK();
    for (CSettingsPage *pPage : m_pages)
        pPage->Save();
    QDialog::accept();
}
