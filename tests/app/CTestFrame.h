// A main window for tests: in-memory settings whose network stays on loopback ports of the
// test's own, scripted dialogs, a temporary start directory.
#pragma once

#include "app/CMainFrame.h"
#include "core/CGeneralSettings.h"
#include "core/CRecentFileList.h"
#include "support/CLogCapture.h"
#include "support/CMemoryProfile.h"
#include "support/CScriptedModalUI.h"

#include <QTemporaryDir>
#include <functional>
#include <memory>

class CTestFrame {
public:
    // Status datagrams go to 127.0.0.1:nPortBase, commands arrive on nPortBase + 1.
    explicit CTestFrame(int nPortBase);

    // Builds the window; beforeInitialUpdate may put fake players in the video view.
    // Returns false when the window could not be built.
    bool Create(const std::function<void(CMainFrame &)> &beforeInitialUpdate = {},
                bool bShow = true);
    CMainFrame *operator->() const { return m_pFrame.get(); }

    CLogCapture m_log;
    QTemporaryDir m_dir;
    CMemoryProfile m_profile;
    CScriptedModalUI m_ui;
    CRecentFileList m_recent{m_profile};
    std::unique_ptr<CGeneralSettings> m_pSettings;
    std::unique_ptr<CMainFrame> m_pFrame;
};
