// The modal "Program Preferences" sheet: one General page, OK and Cancel, no Apply.
#pragma once

#include <QDialog>

class CGeneralCfgDlg;
class CGeneralSettings;
class CModalUI;

class CPreferencesSheet : public QDialog {
    Q_OBJECT
public:
    CPreferencesSheet(CGeneralSettings &settings, CModalUI &modalUI, QWidget *pParent = nullptr);

    CGeneralCfgDlg &GetGeneralPage() { return *m_pGeneralPage; }

public slots:
    // OK: the page copies its controls into the settings first.
    void accept() override;

private:
    CGeneralCfgDlg *m_pGeneralPage;
};
