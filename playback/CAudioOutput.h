// Where the show's sound comes out: one pipeline of its own mixes what both players' pipelines
// play into the output [Audio] chooses (a listed device, a sink description, or the default
// device; a fake sink on the clock when there is none), and with a cue output it sends the
// inactive player's sound there instead. A player pipeline ends in a sink bin from here that
// runs on its pipeline's clock as any audio sink does, but hands each sample over a little
// ahead of time, stamped with the moment it is due, so the mix plays it in step with the
// pictures; one mix is also what lets two players reach one file or one exclusive device.
//
// Threads: construction, MakeSink, SetActive and destruction on the UI thread; the sink bins
// hand their samples over on the players' streaming threads, through state they share.
#pragma once

#include "core/CSettingKey.h"

#include <gst/gst.h>

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

class CProfile;

class CAudioOutput {
public:
    static constexpr int PLAYER_COUNT = 2;

    // [Audio] as read: a sink description wins over a device; empty means the default.
    struct Settings {
        QString strDevice;
        QString strSink;
        QString strCueDevice;
        QString strCueSink;
        // Over-long values are logged and left out.
        static Settings Read(CProfile &profile);
        // The section's keys, as Preferences and --print-settings show them.
        static const std::vector<CSettingKey> &Keys();
        // Whether any output is chosen at all; without one the players keep their own sinks.
        bool IsChosen() const {
            return !strDevice.isEmpty() || !strSink.isEmpty() || !strCueDevice.isEmpty() ||
                   !strCueSink.isEmpty();
        }
    };

    explicit CAudioOutput(Settings settings);
    // The mix ends with what it has taken in (a file sink finishes its file), briefly waited
    // for, then goes.
    ~CAudioOutput();
    CAudioOutput(const CAudioOutput &) = delete;
    CAudioOutput &operator=(const CAudioOutput &) = delete;

    // A new floating sink bin for a pipeline of player nPlayer (0 or 1): a volume element in
    // front of what hands the samples to the mix. The first one starts the mix and names
    // its output in the logbook. Without a mix (it could not be built) the bin MakeSink()
    // makes.
    GstElement *MakeSink(int nPlayer);
    // nPlayer is the active one from now on. With a cue output, its sound moves to the main
    // output and the other's to the cue output on one and the same sample, so the sound of a
    // player that plays on through the change has neither a gap nor a doubled moment.
    void SetActive(int nPlayer);

    // The outputs in use, as the logbook names them ("" before the mix started; the cue's
    // also "" without one).
    const QString &GetMainName() const { return m_strMainName; }
    const QString &GetCueName() const { return m_strCueName; }

    // A player outside the show (the probe, tests): a volume element in front of the default
    // output (a fake sink on the clock without a sound device); nullptr when there is none.
    static GstElement *MakeSink();

private:
    struct Route;

    // Builds and starts the mix once; false when not even the default output plays.
    bool Start();
    bool TryStart(bool bChosen);
    // The sink for one output: the chosen device or description, or (bChosen false, or
    // nothing chosen) the default; strName says which, for the logbook.
    GstElement *MakeOutputSink(const QString &strDevice, const QString &strSink, bool bCue,
                               bool bChosen, QString &strName);
    // The mixer in front of pSink (taken), in the mix; nullptr when an element is missing.
    GstElement *AddOutput(GstElement *pSink);
    // Player nPlayer's source, feeding the main mixer and the cue mixer (nullptr: none).
    bool AddSource(int nPlayer, GstElement *pMainMixer, GstElement *pCueMixer);
    bool AddBranch(GstElement *pTee, int nPlayer, GstElement *pMixer, bool bMain);
    // The mix plays; false, logged naming strOutputs, when it cannot (bChosen: the default
    // output is tried next).
    bool Play(const QByteArray &strOutputs, bool bChosen);
    // The gains now and from nAt (running time of the mix) on, as the active player says.
    void SetGains(GstClockTime nAt);
    void Stop();
    static bool HasRealDevice();
    static GstElement *MakeDeviceSink();

    Settings m_settings;
    GstElement *m_pPipeline = nullptr;
    bool m_bStartTried = false;
    bool m_bHasCue = false;
    int m_nActive = 0;
    GstClockTime m_nLead = 0; // how far ahead of their time the sink bins hand samples over
    std::shared_ptr<Route> m_pRoutes[PLAYER_COUNT];
    GstObject *m_pMainGain[PLAYER_COUNT] = {};
    GstObject *m_pCueGain[PLAYER_COUNT] = {};
    QString m_strMainName;
    QString m_strCueName;
};
