// The modal user interface the program asks questions through: message boxes, file dialogs
// and the folder browser. Tests put a scripted implementation in its place.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

class CModalUI {
public:
    enum Buttons { MB_OK, MB_OKCANCEL, MB_YESNO };
    enum Icon { ICON_NONE, ICON_INFORMATION, ICON_QUESTION, ICON_WARNING, ICON_ERROR };
    enum Answer { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

    virtual ~CModalUI() = default;

    // An empty caption means the application title, "Tessaro".
    virtual int MessageBox(QWidget *pParent, const QString &strText, const QString &strCaption,
                           Buttons buttons, Icon icon) = 0;
    // Filters use Qt's form: "Playlists (*.m3u *.pls);;All Files (*)". Empty list on Cancel.
    virtual QStringList GetOpenFileNames(QWidget *pParent, const QString &strCaption,
                                         const QString &strDir, const QString &strFilter,
                                         bool bMultiple) = 0;
    // Empty on Cancel. strDefaultSuffix (without the dot) is added by the dialog to a name
    // typed without one, before it asks whether an existing file may be replaced.
    virtual QString GetSaveFileName(QWidget *pParent, const QString &strCaption,
                                    const QString &strDir, const QString &strFilter,
                                    const QString &strDefaultSuffix) = 0;
    // Empty on Cancel.
    virtual QString BrowseForFolder(QWidget *pParent, const QString &strCaption,
                                    const QString &strDir) = 0;
};
