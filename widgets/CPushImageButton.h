// A picture button that gives one command when a press inside it is released inside it, with
// hover and pressed pictures. The transport and track buttons of the control bar are of this
// kind.
#pragma once

#include "core/CCommand.h"
#include "widgets/CImageButton.h"

class CCommandSink;

class CPushImageButton : public CImageButton {
public:
    CPushImageButton(CCommandSink &sink, const CPictures &pictures, CCommand::Payload payload);

protected:
    void OnClick() override;

private:
    CCommandSink &m_sink;
    CCommand::Payload m_payload;
};
