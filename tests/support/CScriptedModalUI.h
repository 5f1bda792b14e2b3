// Modal UI for tests: answers from queues the test fills, and records what was asked.
#pragma once

#include "core/CModalUI.h"

#include <QQueue>
#include <vector>

class CScriptedModalUI : public CModalUI {
public:
    struct Box {
        QString text;
        QString caption;
        Buttons buttons;
        Icon icon;
    };

    int MessageBox(QWidget *pParent, const QString &strText, const QString &strCaption,
                   Buttons buttons, Icon icon) override;
    QStringList GetOpenFileNames(QWidget *pParent, const QString &strCaption, const QString &strDir,
                                 const QString &strFilter, bool bMultiple) override;
    QString GetSaveFileName(QWidget *pParent, const QString &strCaption, const QString &strDir,
                            const QString &strFilter, const QString &strDefaultSuffix) override;
    QString BrowseForFolder(QWidget *pParent, const QString &strCaption,
                            const QString &strDir) override;

    // Answers; an empty queue answers IDOK (or IDNO for a yes/no box) and Cancel for dialogs.
    QQueue<int> m_boxAnswers;
    QQueue<QStringList> m_openAnswers;
    QQueue<QString> m_saveAnswers; // as typed: a bare name gets the default suffix
    QQueue<QString> m_folderAnswers;

    std::vector<Box> m_boxes;
    QStringList m_filters;      // filter of every file dialog shown, in order
    QStringList m_saveSuffixes; // default suffix of every save dialog shown, in order
};
