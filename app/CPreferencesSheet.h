// The modal "Program Preferences" sheet: the General page, a page per further section of the
// settings (app/CSettingsCatalog), OK and Cancel, no Apply. OK stays open while a page holds a
// value the program would refuse.
#pragma once

#include <QDialog>
#include <vector>

class CGeneralCfgDlg;
class CGeneralSettings;
class CModalUI;
class CProfile;
class CSettingsPage;
class QTabWidget;

class CPreferencesSheet : public QDialog {
    Q_OBJECT
public:
    CPreferencesSheet(CGeneralSettings &settings, CModalUI &modalUI, CProfile &profile,
                      QWidget *pParent = nullptr);

    CGeneralCfgDlg &GetGeneralPage() { return *m_pGeneralPage; }
    // The page of a section ("Network"), or nullptr.
    CSettingsPage *GetPage(const QString &strSection) const;

public slots:
    // OK: the page copies its controls into the settings first.
    void accept() override;

private:
    QTabWidget *m_pTabs;
    CGeneralCfgDlg *m_pGeneralPage;
    std::vector<CSettingsPage *> m_pages;
};
