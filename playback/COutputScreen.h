// Which screen carries the full-screen output: the operator's choice, kept by name in the
// settings, and where the output goes while that screen is gone. It takes plain screen lists,
// so the naming, the choice and the fall-back can be driven without a display.
#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

class CProfile;

class COutputScreen {
public:
    struct Screen {
        QString strName; // as the system reports it; repeats are possible
        QRect rcGeometry;
    };

    // Reads the stored choice; empty means the primary screen.
    explicit COutputScreen(CProfile &profile);

    // The screens in the system's order and the place of the primary one (-1: none). Writes
    // to the log when the chosen screen goes away and when a screen of its name comes back.
    void SetScreens(const QList<Screen> &screens, int nPrimary);
    // QGuiApplication's screens, for SetScreens (UI thread).
    void ReadSystemScreens();

    // Separate X screens of one server all report the same name: a repeated name is told
    // apart by its order among its namesakes ("screen", "screen #2"), which stays the same
    // from run to run where the screens' own names do not help.
    static QStringList UniqueNames(const QList<Screen> &screens);

    int Count() const { return int(m_screens.size()); }
    QString Name(int nIndex) const { return m_names.value(nIndex); }
    // The menu text: unique name and size.
    QString Label(int nIndex) const;
    QRect Geometry(int nIndex) const;

    // The stored choice, a unique name; empty for the primary screen.
    QString Chosen() const { return m_strChosen; }
    // Chooses the screen at nIndex and stores the choice at once; -1 chooses the primary.
    void Choose(int nIndex);
    // The place of the screen the output goes to now: the chosen one while it is there, else
    // the primary one; -1 without screens.
    int Current() const;
    bool IsFallingBack() const { return m_bFallingBack; }

private:
    int IndexOf(const QString &strName) const { return int(m_names.indexOf(strName)); }

    CProfile &m_profile;
    QString m_strChosen;
    QList<Screen> m_screens;
    QStringList m_names;
    int m_nPrimary = -1;
    bool m_bFallingBack = false;
};
