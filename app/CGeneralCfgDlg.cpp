#include "app/CGeneralCfgDlg.h"

#include "core/CGeneralSettings.h"
#include "core/CModalUI.h"
#include "core/FileFilters.h"
#include "widgets/CResourceBitmap.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

const char *const CGeneralCfgDlg::PLAYLIST_FILTER = FILTER_PLAYLIST_OPEN;

namespace {
template <class T> T *Named(T *pWidget, const char *pszId) {
    pWidget->setObjectName(pszId);
    return pWidget;
}
} // namespace

CGeneralCfgDlg::CGeneralCfgDlg(CGeneralSettings &settings, CModalUI &modalUI, QWidget *pParent)
    : QWidget(pParent), m_settings(settings), m_modalUI(modalUI) {
    setWindowTitle("General");

    m_btnBrowse = Named(new QPushButton("...", this), "1013");
    m_btnBrowse->setToolTip("Choose the playlist to load at start-up");
    m_btnBrowse->setFixedWidth(32);
    m_editPlaylist = Named(new QLineEdit(this), "1012");
    m_cbRemoteCtrl = Named(new QComboBox(this), "1018");
    // A sorted list: "< none >" comes first, so the index is the setting's value.
    QStringList sources{"Ethernet Control", "< none >"};
    sources.sort();
    m_cbRemoteCtrl->addItems(sources);
    m_lblVolumeRange = Named(new QLabel("Volume Range ( -100dB - 0dB )", this), "1023");
    m_sliderVolumeRange = Named(new QSlider(Qt::Horizontal, this), "1022");
    m_sliderVolumeRange->setTickPosition(QSlider::TicksBelow);
    m_sliderVolumeRange->setPageStep(1);
    m_chkSplash = Named(new QCheckBox("Show splash screen", this), "1009");
    m_chkFullScreen = Named(new QCheckBox("Fullscreen on startup", this), "1011");
    m_chkReload = Named(new QCheckBox("Reload last playlist", this), "1010");
    m_chkAutoPlay = Named(new QCheckBox("Autoplay 1st Track", this), "1028");

    auto *pStartup = new QGroupBox("Application Startup", this);
    auto *pStartupLayout = new QGridLayout(pStartup);
    pStartupLayout->addWidget(m_chkSplash, 0, 0, 1, 3);
    pStartupLayout->addWidget(m_chkFullScreen, 1, 0, 1, 3);
    pStartupLayout->addWidget(m_chkReload, 2, 0, 1, 3);
    pStartupLayout->addWidget(new QLabel("Autoload Playlist", pStartup), 3, 0, 1, 3);
    pStartupLayout->addWidget(m_editPlaylist, 4, 0, 1, 2);
    pStartupLayout->addWidget(m_btnBrowse, 4, 2);
    pStartupLayout->addWidget(m_chkAutoPlay, 5, 1, 1, 2);
    pStartupLayout->setColumnMinimumWidth(0, 16);
    pStartupLayout->setColumnStretch(1, 1);

    auto *pMisc = new QGroupBox("Misc", this);
    auto *pMiscLayout = new QHBoxLayout(pMisc);
    pMiscLayout->addWidget(new QLabel("Remote Control", pMisc));
    pMiscLayout->addWidget(m_cbRemoteCtrl, 1);

    auto *pAudio = new QGroupBox("Audio", this);
    auto *pAudioLayout = new QHBoxLayout(pAudio);
    pAudioLayout->addWidget(m_lblVolumeRange);
    pAudioLayout->addWidget(m_sliderVolumeRange, 1);

    auto *pPicture = new QLabel(this);
    pPicture->setPixmap(CResourceBitmap::Load(195));
    pPicture->setAlignment(Qt::AlignTop);

    auto *pGroups = new QVBoxLayout;
    pGroups->addWidget(pStartup);
    pGroups->addWidget(pMisc);
    pGroups->addWidget(pAudio);
    pGroups->addStretch(1);
    auto *pLayout = new QHBoxLayout(this);
    pLayout->addWidget(pPicture);
    pLayout->addLayout(pGroups, 1);

    connect(m_btnBrowse, &QPushButton::clicked, this, &CGeneralCfgDlg::OnBrowse);
    connect(m_chkReload, &QCheckBox::clicked, this, &CGeneralCfgDlg::OnReloadClicked);
    // The label follows the slider only when it is let go, by the mouse or after a click on
    // its track, like the release notification of a trackbar.
    m_sliderVolumeRange->installEventFilter(this);
    SwallowWheel(this);
}

void CGeneralCfgDlg::SwallowWheel(QWidget *pWidget) {
    pWidget->installEventFilter(this);
    const auto children = pWidget->findChildren<QWidget *>();
    for (QWidget *pChild : children)
        pChild->installEventFilter(this);
}

bool CGeneralCfgDlg::eventFilter(QObject *pWatched, QEvent *pEvent) {
    // The wheel over the page changes nothing: not the slider, not the program's volume.
    if (pEvent->type() == QEvent::Wheel)
        return true;
    if (pWatched == m_sliderVolumeRange && pEvent->type() == QEvent::MouseButtonRelease) {
        // After the slider has handled the release, so the label shows the final position.
        QMetaObject::invokeMethod(this, &CGeneralCfgDlg::OnSliderReleased, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(pWatched, pEvent);
}

QString CGeneralCfgDlg::RangeLabel(int nPosition) {
    return QString::asprintf("Volume Range ( %ddB - 0dB )", nPosition * 1000 / 100);
}

void CGeneralCfgDlg::OnInitDialog() {
    m_cbRemoteCtrl->setCurrentIndex(1);
    m_sliderVolumeRange->setRange(-10, -1);

    const int nPosition = m_settings.GetVolumeMin() / -1000;
    m_sliderVolumeRange->setValue(nPosition);
    m_lblVolumeRange->setText(RangeLabel(nPosition));
    m_chkSplash->setChecked(m_settings.GetShowSplash());
    m_chkFullScreen->setChecked(m_settings.GetFullScrOnStartup());
    m_chkReload->setChecked(m_settings.GetReloadPlaylist());
    m_chkAutoPlay->setChecked(m_settings.GetAutoPlayTrack());
    // A value the list does not hold leaves it without a selection.
    m_cbRemoteCtrl->setCurrentIndex(m_settings.GetRemoteCtrl() >= 0 &&
                                            m_settings.GetRemoteCtrl() < m_cbRemoteCtrl->count()
                                        ? m_settings.GetRemoteCtrl()
                                        : -1);
    m_editPlaylist->setText(m_settings.GetAutoPlaylist());
    OnReloadClicked();
}

void CGeneralCfgDlg::OnOK() {
    m_settings.SetVolumeMin(m_sliderVolumeRange->value() * -1000);
    m_settings.SetShowSplash(m_chkSplash->isChecked());
    m_settings.SetFullScrOnStartup(m_chkFullScreen->isChecked());
    m_settings.SetReloadPlaylist(m_chkReload->isChecked());
    m_settings.SetRemoteCtrl(m_cbRemoteCtrl->currentIndex());
    m_settings.SetAutoPlayTrack(m_chkAutoPlay->isChecked());
    m_settings.SetAutoPlaylist(m_editPlaylist->text());
}

void CGeneralCfgDlg::OnReloadClicked() {
    const bool bAutoload = !m_chkReload->isChecked();
    m_btnBrowse->setEnabled(bAutoload);
    m_editPlaylist->setEnabled(bAutoload);
    m_chkAutoPlay->setEnabled(bAutoload);
}

void CGeneralCfgDlg::OnSliderReleased() {
    m_lblVolumeRange->setText(RangeLabel(m_sliderVolumeRange->value()));
}

void CGeneralCfgDlg::OnBrowse() {
    const QStringList files =
        m_modalUI.GetOpenFileNames(this, "Autoload Playlist", QString(), PLAYLIST_FILTER, false);
    if (!files.isEmpty())
        m_editPlaylist->setText(files.first());
}
