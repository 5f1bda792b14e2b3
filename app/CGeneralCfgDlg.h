// The "General" page of the preferences: start-up behaviour, the autoload playlist, the
// remote-control source and the volume range, loaded from and stored into the General
// settings.
#pragma once

#include <QWidget>

class CGeneralSettings;
class CModalUI;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

class CGeneralCfgDlg : public QWidget {
    Q_OBJECT
public:
    CGeneralCfgDlg(CGeneralSettings &settings, CModalUI &modalUI, QWidget *pParent = nullptr);

    // Loads the controls from the settings.
    void OnInitDialog();
    // Copies the controls into the settings.
    void OnOK();

    static QString RangeLabel(int nPosition);
    static const char *const PLAYLIST_FILTER;

protected:
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;

private:
    void OnBrowse();
    void OnReloadClicked();
    void OnSliderReleased();
    void SwallowWheel(QWidget *pWidget);

    CGeneralSettings &m_settings;
    CModalUI &m_modalUI;

    QPushButton *m_btnBrowse;
    QLineEdit *m_editPlaylist;
    QComboBox *m_cbRemoteCtrl;
    QLabel *m_lblVolumeRange;
    QSlider *m_sliderVolumeRange;
    QCheckBox *m_chkSplash;
    QCheckBox *m_chkFullScreen;
    QCheckBox *m_chkReload;
    QCheckBox *m_chkAutoPlay;
};
