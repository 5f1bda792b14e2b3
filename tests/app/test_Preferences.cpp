// The preferences sheet driven with real clicks: what OK stores and applies, what Cancel
// leaves alone, the greyed controls, the slider's label, the wheel, the network restart.
#include "CTestFrame.h"
#include "app/CGeneralCfgDlg.h"
#include "app/CMainFrame.h"
#include "app/CPreferencesSheet.h"
#include "app/CSettingsCatalog.h"
#include "app/CSettingsPage.h"
#include "app/CSyncController.h"
#include "core/CGeneralSettings.h"
#include "core/CRecentFileList.h"
#include "core/CTransitionSettings.h"
#include "playback/CAudioOutput.h"
#include "playback/CVideoOutput.h"
#include "remote/CNetServer.h"
#include "remote/COscServer.h"
#include "remote/CTimecodeSettings.h"
#include "remote/CWebServer.h"
#include "remote/protocol/CNetDatagram.h"
#include "support/CLogCapture.h"
#include "support/CManualTickClock.h"
#include "support/CMemoryProfile.h"
#include "support/CRecordingSink.h"
#include "support/CScriptedModalUI.h"
#include "widgets/CPlayerCtrlBar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <QWheelEvent>
#include <climits>
#include <functional>
#include <gtest/gtest.h>

namespace {

class PreferencesTest : public ::testing::Test {
protected:
    void MakeFrame() {
        ASSERT_TRUE(m_frame.Create());
        m_profile.m_writes.clear();
    }

    // A check box takes clicks on its box and text only, not on the empty rest of its row.
    static void Tick(QCheckBox *pBox) {
        QTest::mouseClick(pBox, Qt::LeftButton, {}, QPoint(6, pBox->height() / 2));
    }

    template <class T> T *Find(CPreferencesSheet *pSheet, const char *pszId) {
        return pSheet->findChild<T *>(pszId);
    }

    // Opens the sheet with the menu command, lets the test work on it, then presses OK or
    // Cancel on it.
    void RunSheet(const std::function<void(CPreferencesSheet *)> &work, bool bOK) {
        bool bRan = false;
        QTimer::singleShot(0, [&] {
            auto *pSheet = qobject_cast<CPreferencesSheet *>(QApplication::activeModalWidget());
            ASSERT_NE(pSheet, nullptr);
            EXPECT_EQ(pSheet->windowTitle(), "Program Preferences");
            work(pSheet);
            auto *pBox = pSheet->findChild<QDialogButtonBox *>();
            QTest::mouseClick(pBox->button(bOK ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel),
                              Qt::LeftButton);
            bRan = true;
        });
        m_pFrame->OnCommand(CMainFrame::ID_PREFERENCES_GENERAL);
        EXPECT_TRUE(bRan);
    }

    void DragSliderTo(QSlider *pSlider, bool bLeft, const std::function<void()> &beforeRelease) {
        const QRect groove = pSlider->rect();
        const int nStep = groove.width() / 9;
        const QPoint handle(groove.left() + (pSlider->value() + 10) * nStep, groove.center().y());
        const QPoint end(bLeft ? -50 : groove.right() + 50, groove.center().y());
        QTest::mousePress(pSlider, Qt::LeftButton, {}, handle);
        QTest::mouseMove(pSlider, end);
        QMouseEvent move(QEvent::MouseMove, end, pSlider->mapToGlobal(end), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(pSlider, &move);
        beforeRelease();
        QTest::mouseRelease(pSlider, Qt::LeftButton, {}, end);
        QCoreApplication::processEvents();
    }

    CTestFrame m_frame{42170};
    CMemoryProfile &m_profile = m_frame.m_profile;
    CScriptedModalUI &m_ui = m_frame.m_ui;
    std::unique_ptr<CGeneralSettings> &m_pSettings = m_frame.m_pSettings;
    std::unique_ptr<CMainFrame> &m_pFrame = m_frame.m_pFrame;
};

TEST_F(PreferencesTest, CancelChangesNothingEvenAfterBrowsing) {
    m_profile.WriteProfileInt("General", "m_bReloadPlaylist", 0);
    MakeFrame();
    m_ui.m_openAnswers.enqueue({"/shows/opening.m3u"});
    RunSheet(
        [&](CPreferencesSheet *pSheet) {
            QTest::mouseClick(Find<QPushButton>(pSheet, "1013"), Qt::LeftButton);
            EXPECT_EQ(Find<QLineEdit>(pSheet, "1012")->text(), "/shows/opening.m3u");
            EXPECT_TRUE(Find<QCheckBox>(pSheet, "1009")->isChecked());
            Tick(Find<QCheckBox>(pSheet, "1009"));
            EXPECT_FALSE(Find<QCheckBox>(pSheet, "1009")->isChecked());
        },
        false);
    EXPECT_TRUE(m_pSettings->GetAutoPlaylist().isEmpty());
    EXPECT_TRUE(m_pSettings->GetShowSplash());
    EXPECT_TRUE(m_profile.m_writes.filter("General/").isEmpty());
    ASSERT_EQ(m_ui.m_filters.size(), 1);
    EXPECT_EQ(m_ui.m_filters[0], CGeneralCfgDlg::PLAYLIST_FILTER);
}

TEST_F(PreferencesTest, AutoloadControlsAreGreyedWhileTheLastPlaylistIsReloaded) {
    MakeFrame();
    RunSheet(
        [&](CPreferencesSheet *pSheet) {
            for (const char *psz : {"1012", "1013", "1028"})
                EXPECT_FALSE(pSheet->findChild<QWidget *>(psz)->isEnabled()) << psz;
            Tick(Find<QCheckBox>(pSheet, "1010"));
            for (const char *psz : {"1012", "1013", "1028"})
                EXPECT_TRUE(pSheet->findChild<QWidget *>(psz)->isEnabled()) << psz;
            Tick(Find<QCheckBox>(pSheet, "1028"));
        },
        true);
    EXPECT_FALSE(m_pSettings->GetReloadPlaylist());
    EXPECT_TRUE(m_pSettings->GetAutoPlayTrack());
    EXPECT_EQ(m_profile.Value("General", "m_bReloadPlaylist").toInt(), 0);
}

TEST_F(PreferencesTest, SliderAtItsLeftEndGivesTheWidestRangeAndTheVolumeSliderJumpsUp) {
    MakeFrame();
    CPlayerCtrlBar *pBar = m_pFrame->GetCtrlBar();
    pBar->ShowVolumePosition(1000);
    RunSheet(
        [&](CPreferencesSheet *pSheet) {
            QLabel *pLabel = Find<QLabel>(pSheet, "1023");
            EXPECT_EQ(pLabel->text(), "Volume Range ( -30dB - 0dB )");
            DragSliderTo(Find<QSlider>(pSheet, "1022"), true, [&] {
                EXPECT_EQ(pLabel->text(), "Volume Range ( -30dB - 0dB )")
                    << "the label waits for the release";
            });
            EXPECT_EQ(Find<QSlider>(pSheet, "1022")->value(), -10);
            EXPECT_EQ(pLabel->text(), "Volume Range ( -100dB - 0dB )");
        },
        true);
    EXPECT_EQ(m_pSettings->GetVolumeMin(), 10000);
    EXPECT_EQ(m_profile.Value("General", "m_VolumeMin").toInt(), 10000);
    EXPECT_EQ(pBar->GetVolumeRange(), 10000);
    EXPECT_EQ(pBar->GetVolumeSlider().GetPos(), 10000);
}

TEST_F(PreferencesTest, OkWithoutTouchingKeepsTheRangeAndTheVolumeSlider) {
    MakeFrame();
    CPlayerCtrlBar *pBar = m_pFrame->GetCtrlBar();
    pBar->ShowVolumePosition(1000);
    RunSheet([](CPreferencesSheet *) {}, true);
    EXPECT_EQ(pBar->GetVolumeRange(), 3000);
    EXPECT_EQ(pBar->GetVolumeSlider().GetPos(), 1000);
}

TEST_F(PreferencesTest, ARangeBetweenStepsIsShownAndStoredTruncated) {
    m_profile.WriteProfileInt("General", "m_VolumeMin", 2500);
    MakeFrame();
    RunSheet(
        [&](CPreferencesSheet *pSheet) {
            EXPECT_EQ(Find<QSlider>(pSheet, "1022")->value(), -2);
            EXPECT_EQ(Find<QLabel>(pSheet, "1023")->text(), "Volume Range ( -20dB - 0dB )");
        },
        true);
    EXPECT_EQ(m_profile.Value("General", "m_VolumeMin").toInt(), 2000);
}

TEST_F(PreferencesTest, WheelOverThePageChangesNeitherSliderNorVolume) {
    MakeFrame();
    RunSheet(
        [&](CPreferencesSheet *pSheet) {
            QSlider *pSlider = Find<QSlider>(pSheet, "1022");
            pSlider->setFocus();
            for (QObject *pTarget : {static_cast<QObject *>(pSlider),
                                     static_cast<QObject *>(pSheet->windowHandle())}) {
                QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -240),
                                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
                QCoreApplication::sendEvent(pTarget, &wheel);
            }
            EXPECT_EQ(pSlider->value(), -3);
        },
        false);
    EXPECT_EQ(m_pFrame->GetVolumePercent(), 100);
}

TEST_F(PreferencesTest, SwitchingRemoteControlOnRestartsTheServerAndOffGatesIt) {
    MakeFrame();
    // A remote volume command shows whether commands run.
    auto sendVolume = [](int nPercent) {
        unsigned char packet[CNetDatagram::COMMAND_SIZE];
        CNetDatagram::EncodeCommand(packet, {0, CNetDatagram::CMD_VOLUME, nPercent}, "");
        QUdpSocket().writeDatagram(reinterpret_cast<const char *>(packet), sizeof packet,
                                   QHostAddress::LocalHost, 42171);
        QTest::qWait(50);
    };
    sendVolume(90);
    ASSERT_EQ(m_pFrame->GetVolumePercent(), 90);

    // "Ethernet Control" to "Ethernet Control": the sockets stay.
    RunSheet([](CPreferencesSheet *) {}, true);
    sendVolume(80);
    EXPECT_EQ(m_pFrame->GetVolumePercent(), 80);

    // To "< none >": commands are dropped from then on.
    RunSheet(
        [&](CPreferencesSheet *pSheet) { Find<QComboBox>(pSheet, "1018")->setCurrentIndex(0); },
        true);
    EXPECT_EQ(m_pSettings->GetRemoteCtrl(), 0);
    sendVolume(70);
    EXPECT_EQ(m_pFrame->GetVolumePercent(), 80);
    // Status datagrams keep coming all the same.
    QUdpSocket listener;
    ASSERT_TRUE(listener.bind(QHostAddress::LocalHost, 42170));
    EXPECT_TRUE(QTest::qWaitFor([&] { return listener.hasPendingDatagrams(); }, 2500));

    // Back to "Ethernet Control": closed and opened afresh, and commands work at once.
    RunSheet(
        [&](CPreferencesSheet *pSheet) { Find<QComboBox>(pSheet, "1018")->setCurrentIndex(1); },
        true);
    sendVolume(60);
    EXPECT_EQ(m_pFrame->GetVolumePercent(), 60);
}

TEST_F(PreferencesTest, AnUnknownRemoteSourceShowsNoSelectionAndOkTurnsRemoteOff) {
    m_profile.WriteProfileInt("General", "m_iRemoteCtrl", 5);
    MakeFrame();
    RunSheet(
        [&](CPreferencesSheet *pSheet) {
            QComboBox *pList = Find<QComboBox>(pSheet, "1018");
            EXPECT_EQ(pList->currentIndex(), -1);
            EXPECT_EQ(pList->itemText(0), "< none >");
            EXPECT_EQ(pList->itemText(1), "Ethernet Control");
        },
        true);
    EXPECT_EQ(m_profile.Value("General", "m_iRemoteCtrl").toInt(), -1);
}

// Every page field refuses what the program's reader refuses, in the reader's own logbook words,
// and a good value passes both; the reader is the real one of each section.
TEST(SettingsPages, RefuseWhatTheReaderRefusesInItsWords) {
    // Runs the section's reader on a store holding the value; what it wrote to the logbook.
    const auto readerLog = [](const CSettingKey &key, const QString &strValue) {
        CMemoryProfile profile;
        // The servers listen on loopback only, on ports of their own.
        profile.WriteProfileString("Network", "BindAddress", "127.0.0.1");
        profile.WriteProfileString("Network", "StatusAddress", "127.0.0.1");
        profile.WriteProfileInt("Network", "CommandPort", 42190);
        profile.WriteProfileInt("OSC", "Port", 42191);
        profile.WriteProfileInt("Web", "Port", 42192);
        profile.WriteProfileString("Sync", "Role", "follower");
        profile.WriteProfileString("Sync", "Leader", "127.0.0.1");
        profile.WriteProfileString(key.pszSection, key.pszKey, strValue);
        CLogCapture capture;
        CRecordingSink sink;
        CManualTickClock clock;
        CShowEvents events;
        const QString strSection = key.pszSection;
        if (strSection == "Sync") {
            CSyncController::Settings::Read(profile);
        } else if (strSection == "Video") {
            CVideoOutput::ReadKind(profile);
        } else if (strSection == "Audio") {
            CAudioOutput::Settings::Read(profile);
        } else if (strSection == "Transition") {
            CTransitionSettings(profile).Read();
        } else if (strSection == "Timecode") {
            CTimecodeSettings::Read(profile);
        } else {
            CNetServer net(sink, profile, clock);
            net.InitServer();
            if (strSection == "OSC")
                COscServer(net, events, sink, profile, clock).Init();
            if (strSection == "Web")
                CWebServer(sink, events, profile, clock).Init();
        }
        return capture.Text();
    };
    CMemoryProfile empty;
    int nChecked = 0;
    for (const CSettingsCatalog::Section &section : CSettingsCatalog::Sections()) {
        if (!section.bHasPage)
            continue;
        CSettingsPage page(section, empty);
        for (const CSettingKey *pKey : section.keys) {
            QString strBad;
            if (pKey->kind == CSettingKey::INT && pKey->nMax < INT_MAX)
                strBad = QString::number(pKey->nMax + 1);
            else if (pKey->kind == CSettingKey::CHOICE)
                strBad = "sometimes";
            else if (pKey->kind == CSettingKey::TEXT && pKey->pfnCheck)
                strBad = QLatin1String(pKey->pszSection) == "Audio" ? QString(1001, 'x')
                                                                    : QString("300.1.2.3");
            else
                continue;
            SCOPED_TRACE(std::string(pKey->pszSection) + " " + pKey->pszKey);
            QWidget *pField = page.Field(pKey->pszKey);
            ASSERT_NE(pField, nullptr);
            auto *pProblem = page.findChild<QLabel *>(QString(pKey->pszKey) + ":problem");
            ASSERT_NE(pProblem, nullptr);
            EXPECT_TRUE(pProblem->isHidden()) << "the default is good";
            if (auto *pEdit = qobject_cast<QLineEdit *>(pField)) {
                pEdit->setText(strBad);
            } else {
                auto *pList = qobject_cast<QComboBox *>(pField);
                pList->addItem(strBad);
                pList->setCurrentText(strBad);
            }
            EXPECT_FALSE(pProblem->isHidden());
            const QStringList words = page.Problems();
            ASSERT_FALSE(words.isEmpty());
            const std::string strLog = readerLog(*pKey, strBad);
            for (const QString &strWords : words)
                EXPECT_NE(strLog.find(strWords.toStdString()), std::string::npos)
                    << "page: " << strWords.toStdString() << "\nreader: " << strLog;
            // The default back: the page is good, and so is the reader.
            const QString strDefault = pKey->pszDefault;
            if (auto *pEdit = qobject_cast<QLineEdit *>(pField))
                pEdit->setText(strDefault);
            else
                qobject_cast<QComboBox *>(pField)->setCurrentText(strDefault);
            EXPECT_TRUE(page.Problems().isEmpty());
            EXPECT_TRUE(pProblem->isHidden());
            ++nChecked;
        }
    }
    EXPECT_GE(nChecked, 23);
}

// A value typed on a page goes to the store on OK; a page with a bad value keeps the sheet open
// and stores nothing; a secret is only ever written, never shown.
TEST_F(PreferencesTest, SectionPagesStoreOnOkAndNothingWhileAValueIsBad) {
    m_profile.WriteProfileString("Sync", "Key", "stored secret");
    MakeFrame();
    RunSheet(
        [&](CPreferencesSheet *pSheet) {
            CSettingsPage *pSync = pSheet->GetPage("Sync");
            ASSERT_NE(pSync, nullptr);
            qobject_cast<QComboBox *>(pSync->Field("Role"))->setCurrentText("follower");
            qobject_cast<QLineEdit *>(pSync->Field("Leader"))->setText("10.0.0.300");
            qobject_cast<QLineEdit *>(pSync->Field("Offset"))->setText("-40");
            EXPECT_TRUE(qobject_cast<QLineEdit *>(pSync->Field("Key"))->text().isEmpty());
            auto *pBox = pSheet->findChild<QDialogButtonBox *>();
            QTest::mouseClick(pBox->button(QDialogButtonBox::Ok), Qt::LeftButton);
            EXPECT_TRUE(pSheet->isVisible()) << "a bad leader keeps the sheet open";
            EXPECT_TRUE(m_profile.m_writes.isEmpty());
            qobject_cast<QLineEdit *>(pSync->Field("Leader"))->setText("10.0.0.30");
        },
        true);
    EXPECT_EQ(m_profile.Value("Sync", "Role").toString(), "follower");
    EXPECT_EQ(m_profile.Value("Sync", "Leader").toString(), "10.0.0.30");
    EXPECT_EQ(m_profile.Value("Sync", "Offset").toInt(), -40);
    EXPECT_EQ(m_profile.Value("Sync", "Key").toString(), "stored secret");
    EXPECT_TRUE(m_profile.m_writes.filter("Network/").isEmpty()) << "untouched keys stay unwritten";
}

} // namespace
