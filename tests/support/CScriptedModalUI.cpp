#include "support/CScriptedModalUI.h"

#include <QFileInfo>

int CScriptedModalUI::MessageBox(QWidget *, const QString &strText, const QString &strCaption,
                                 Buttons buttons, Icon icon) {
    m_boxes.push_back({strText, strCaption, buttons, icon});
    if (!m_boxAnswers.isEmpty())
        return m_boxAnswers.dequeue();
    return buttons == MB_YESNO ? IDNO : IDOK;
}

QStringList CScriptedModalUI::GetOpenFileNames(QWidget *, const QString &, const QString &,
                                               const QString &strFilter, bool) {
    m_filters << strFilter;
    return m_openAnswers.isEmpty() ? QStringList() : m_openAnswers.dequeue();
}

QString CScriptedModalUI::GetSaveFileName(QWidget *, const QString &, const QString &,
                                          const QString &strFilter,
                                          const QString &strDefaultSuffix) {
    m_filters << strFilter;
    m_saveSuffixes << strDefaultSuffix;
    if (m_saveAnswers.isEmpty())
        return QString();
    // The answer is what the operator typed; the dialog completes a bare name.
    QString strName = m_saveAnswers.dequeue();
    if (!strDefaultSuffix.isEmpty() && QFileInfo(strName).suffix().isEmpty())
        strName += QLatin1Char('.') + strDefaultSuffix;
    return strName;
}

QString CScriptedModalUI::BrowseForFolder(QWidget *, const QString &, const QString &) {
    return m_folderAnswers.isEmpty() ? QString() : m_folderAnswers.dequeue();
}
