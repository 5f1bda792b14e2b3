// Runs an action once the current chain of handlers has finished, however often it was asked
// for meanwhile: the state read then holds every change the chain made. UI thread only.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <utility>

class CCoalescedCall {
public:
    // The action runs in pContext's thread and never after pContext is gone.
    CCoalescedCall(QObject *pContext, std::function<void()> action)
        : m_pContext(pContext), m_action(std::move(action)) {}

    void Request() {
        if (m_bPending)
            return;
        m_bPending = true;
        QTimer::singleShot(0, m_pContext, [this] {
            m_bPending = false;
            m_action();
        });
    }

private:
    QObject *m_pContext;
    std::function<void()> m_action;
    bool m_bPending = false;
};
