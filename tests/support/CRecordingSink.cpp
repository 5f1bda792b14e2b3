#include "support/CRecordingSink.h"

intptr_t CRecordingSink::SendMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) {
    const Message m{msg, wParam, lParam};
    m_messages.push_back(m);
    return m_onMessage ? m_onMessage(m) : 0;
}

CCommand::Result CRecordingSink::Execute(const CCommand &cmd) {
    m_commands.push_back(cmd);
    return m_onCommand ? m_onCommand(cmd) : CCommand::Result::Done;
}

std::vector<unsigned> CRecordingSink::Codes() const {
    std::vector<unsigned> codes;
    for (const Message &m : m_messages)
        codes.push_back(m.msg);
    return codes;
}

std::vector<CCommand::Action> CRecordingSink::Actions() const {
    std::vector<CCommand::Action> actions;
    for (const CCommand &cmd : m_commands)
        actions.push_back(cmd.action);
    return actions;
}

CCommand Cmd(CCommand::Action action, int32_t nPlayer, int32_t nValue, const QString &strText,
             CCommand::Origin origin) {
    CCommand cmd;
    cmd.action = action;
    cmd.nPlayer = nPlayer;
    cmd.nValue = nValue;
    cmd.strText = strText;
    cmd.origin = origin;
    return cmd;
}

void PrintTo(const CCommand &cmd, std::ostream *pOut) {
    *pOut << "{action " << static_cast<int>(cmd.action) << ", player " << cmd.nPlayer << ", value "
          << cmd.nValue << ", text \"" << cmd.strText.toStdString() << "\", origin "
          << static_cast<int>(cmd.origin) << "}";
}
