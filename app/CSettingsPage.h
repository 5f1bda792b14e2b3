// A Preferences page for one section of the settings, built from its keys (app/
// CSettingsCatalog): a field per key that the program does not keep itself, checked as the
// program reads it, with the reader's logbook words under a bad value and a note on keys that
// take effect at the next start. UI thread.
#pragma once

#include "app/CSettingsCatalog.h"

#include <QWidget>
#include <vector>

class CProfile;
class QLabel;

class CSettingsPage : public QWidget {
    Q_OBJECT
public:
    CSettingsPage(const CSettingsCatalog::Section &section, CProfile &profile,
                  QWidget *pParent = nullptr);

    // The fields from the store (a secret stays empty: typing one replaces it).
    void Load();
    // The reader's words for every bad field, one a line; empty when all are good.
    QStringList Problems() const;
    // Writes the fields that changed; call only without Problems.
    void Save();

    // The field of a key, to fill in (a QLineEdit, QCheckBox or QComboBox; its object name is
    // the key's).
    QWidget *Field(const char *pszKey) const;
    // The text a field holds as the store would hold it.
    QString FieldValue(const CSettingKey &key) const;

private:
    struct Row {
        const CSettingKey *pKey;
        QWidget *pField;
        QLabel *pProblem;
        QString strLoaded;
    };
    void Check(Row &row) const;

    CProfile &m_profile;
    std::vector<Row> m_rows;
};
