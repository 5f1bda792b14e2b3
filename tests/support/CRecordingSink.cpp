#include "support/CRecordingSink.h"

CCommand::Result CRecordingSink::Execute(const CCommand &cmd) {
    m_commands.push_back(cmd);
    return m_onCommand ? m_onCommand(cmd) : CCommand::Result::Done;
}

std::vector<CCommand::Payload> CRecordingSink::Payloads() const {
    std::vector<CCommand::Payload> payloads;
    for (const CCommand &cmd : m_commands)
        payloads.push_back(cmd.payload);
    return payloads;
}

CCommand Cmd(CCommand::Payload payload, CCommand::Origin origin) {
    return CCommand(std::move(payload), origin);
}

void PrintTo(const CCommand &cmd, std::ostream *pOut) {
    *pOut << "{payload " << cmd.payload.index();
    if (const CCommand::Player *pTarget = cmd.Target())
        *pOut << ", player " << (pTarget->bActive ? "active " : "") << pTarget->nId;
    if (const CCommand::Open *pOpen = cmd.As<CCommand::Open>()) {
        if (const CCommand::Row *pRow = std::get_if<CCommand::Row>(&pOpen->source))
            *pOut << ", row " << pRow->nNumber;
        else
            *pOut << ", path \"" << std::get<QString>(pOpen->source).toStdString() << "\"";
    }
    if (const CCommand::Seek *pSeek = cmd.As<CCommand::Seek>())
        *pOut << ", ms " << pSeek->nPositionMs;
    if (const CCommand::Volume *pVolume = cmd.As<CCommand::Volume>())
        *pOut << ", scale " << static_cast<int>(pVolume->scale) << ", value " << pVolume->nValue;
    if (const CCommand::OpenDocument *pDoc = cmd.As<CCommand::OpenDocument>())
        *pOut << ", path \"" << pDoc->strPath.toStdString() << "\"";
    *pOut << ", origin " << static_cast<int>(cmd.origin) << "}";
}
