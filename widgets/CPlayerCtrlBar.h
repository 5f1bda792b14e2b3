// The transport bar under the video. Placeholder: paints its background until the control
// bar work gives it its buttons, sliders and status display.
#pragma once

#include <QWidget>

class CMessageSink;
class CProfile;
class CGeneralSettings;

class CPlayerCtrlBar : public QWidget {
    Q_OBJECT
public:
    CPlayerCtrlBar(CMessageSink &sink, CProfile &profile, const CGeneralSettings &settings,
                   QWidget *pParent = nullptr);

    // Called once the main window's panes exist (the framework's initial update).
    void OnInitialUpdate();
    void OnTimerTick();

private:
    CMessageSink &m_sink;
    CProfile &m_profile;
    const CGeneralSettings &m_settings;
};
