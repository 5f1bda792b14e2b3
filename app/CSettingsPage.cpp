#include "app/CSettingsPage.h"

#include "core/CProfile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QVBoxLayout>

CSettingsPage::CSettingsPage(const CSettingsCatalog::Section &section, CProfile &profile,
                             QWidget *pParent)
    : QWidget(pParent), m_profile(profile) {
    setObjectName(section.strName);
    auto *pForm = new QFormLayout;
    for (const CSettingKey *pKey : section.keys) {
        if (pKey->effect == CSettingKey::KEPT)
            continue;
        QWidget *pField = nullptr;
        switch (pKey->kind) {
        case CSettingKey::BOOL: {
            auto *pBox = new QCheckBox(QString::fromUtf8(pKey->pszMeaning), this);
            pField = pBox;
            break;
        }
        case CSettingKey::CHOICE: {
            auto *pList = new QComboBox(this);
            pList->addItems(QString::fromLatin1(pKey->pszChoices).split('|'));
            pField = pList;
            break;
        }
        case CSettingKey::INT:
        case CSettingKey::TEXT:
        case CSettingKey::SECRET: {
            auto *pEdit = new QLineEdit(this);
            pEdit->setPlaceholderText(QString::fromLatin1(pKey->pszDefault));
            if (pKey->kind == CSettingKey::SECRET)
                pEdit->setEchoMode(QLineEdit::Password);
            pField = pEdit;
            break;
        }
        }
        pField->setObjectName(pKey->pszKey);
        if (pKey->kind != CSettingKey::BOOL)
            pField->setToolTip(QString::fromUtf8(pKey->pszMeaning));

        auto *pProblem = new QLabel(this);
        pProblem->setWordWrap(true);
        pProblem->setStyleSheet("color: #b00000");
        pProblem->setObjectName(QString(pKey->pszKey) + ":problem");
        pProblem->hide();
        auto *pColumn = new QVBoxLayout;
        pColumn->addWidget(pField);
        pColumn->addWidget(pProblem);
        // What the key is for, under its field, so nobody needs the README to fill it in.
        QString strNote =
            pKey->kind == CSettingKey::BOOL ? QString() : QString::fromUtf8(pKey->pszMeaning);
        if (pKey->effect == CSettingKey::NEXT_START)
            strNote += QString(strNote.isEmpty() ? "" : "; ") + "takes effect at the next start";
        if (!strNote.isEmpty()) {
            auto *pNote = new QLabel(strNote[0].toUpper() + strNote.mid(1) + '.', this);
            pNote->setWordWrap(true);
            pNote->setEnabled(false);
            pColumn->addWidget(pNote);
        }
        pForm->addRow(QString(pKey->pszKey), pColumn);
        m_rows.push_back({pKey, pField, pProblem, QString()});

        const size_t nRow = m_rows.size() - 1;
        if (auto *pEdit = qobject_cast<QLineEdit *>(pField))
            connect(pEdit, &QLineEdit::textChanged, this, [this, nRow] { Check(m_rows[nRow]); });
        if (auto *pList = qobject_cast<QComboBox *>(pField))
            connect(pList, &QComboBox::currentTextChanged, this,
                    [this, nRow] { Check(m_rows[nRow]); });
    }
    // A section of many keys scrolls rather than growing the sheet past the screen.
    auto *pInner = new QWidget;
    pInner->setLayout(pForm);
    auto *pScroll = new QScrollArea(this);
    pScroll->setWidget(pInner);
    pScroll->setWidgetResizable(true);
    pScroll->setFrameShape(QFrame::NoFrame);
    auto *pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pScroll);
    Load();
}

QWidget *CSettingsPage::Field(const char *pszKey) const {
    for (const Row &row : m_rows)
        if (qstrcmp(row.pKey->pszKey, pszKey) == 0)
            return row.pField;
    return nullptr;
}

QString CSettingsPage::FieldValue(const CSettingKey &key) const {
    QWidget *pField = Field(key.pszKey);
    if (auto *pBox = qobject_cast<QCheckBox *>(pField))
        return pBox->isChecked() ? "1" : "0";
    if (auto *pList = qobject_cast<QComboBox *>(pField))
        return pList->currentText();
    if (auto *pEdit = qobject_cast<QLineEdit *>(pField))
        return pEdit->text().isEmpty() && key.kind == CSettingKey::INT
                   ? QString::fromLatin1(key.pszDefault)
                   : pEdit->text();
    return QString();
}

void CSettingsPage::Load() {
    for (Row &row : m_rows) {
        const CSettingKey &key = *row.pKey;
        QString strStored;
        const bool bStored =
            CSettingKey::ReadStored(m_profile, key.pszSection, key.pszKey, &strStored);
        // What is stored, as it stands: a bad value shows with the reader's words under it.
        const QString strShown = key.kind == CSettingKey::SECRET ? QString()
                                 : bStored                       ? strStored
                                           : QString::fromLatin1(key.pszDefault);
        if (auto *pBox = qobject_cast<QCheckBox *>(row.pField))
            pBox->setChecked(key.InForce(bStored ? &strStored : nullptr).toInt() != 0);
        else if (auto *pList = qobject_cast<QComboBox *>(row.pField)) {
            // A stored value that is none of the choices stays in view with the reader's words.
            const QString strChoice = strShown.trimmed().toLower();
            if (pList->findText(strChoice) < 0)
                pList->addItem(strChoice);
            pList->setCurrentText(strChoice);
        } else if (auto *pEdit = qobject_cast<QLineEdit *>(row.pField))
            pEdit->setText(strShown);
        row.strLoaded = FieldValue(key);
        Check(row);
    }
}

void CSettingsPage::Check(Row &row) const {
    const QStringList problems = row.pKey->Problems(FieldValue(*row.pKey));
    row.pProblem->setText(problems.join('\n'));
    row.pProblem->setVisible(!problems.isEmpty());
}

QStringList CSettingsPage::Problems() const {
    QStringList problems;
    for (const Row &row : m_rows)
        problems << row.pKey->Problems(FieldValue(*row.pKey));
    return problems;
}

void CSettingsPage::Save() {
    for (Row &row : m_rows) {
        const CSettingKey &key = *row.pKey;
        const QString strValue = FieldValue(key);
        if (strValue == row.strLoaded || (key.kind == CSettingKey::SECRET && strValue.isEmpty()))
            continue;
        if (key.kind == CSettingKey::INT || key.kind == CSettingKey::BOOL)
            m_profile.WriteProfileInt(key.pszSection, key.pszKey, strValue.trimmed().toInt());
        else
            m_profile.WriteProfileString(key.pszSection, key.pszKey, strValue);
        row.strLoaded = strValue;
    }
}
