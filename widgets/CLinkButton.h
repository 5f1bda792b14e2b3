// The maker's mark at the right end of the control bar; a click opens the maker's web site.
#pragma once

#include "widgets/CImageButton.h"

#include <QUrl>
#include <functional>

class CLinkButton : public CImageButton {
public:
    static constexpr int BMP_LINK = 166;
    static constexpr int RIGHT_MARGIN = 12;
    static const char *const MAKER_URL;

    CLinkButton();

    // Keeps the button RIGHT_MARGIN pixels from the parent's right edge.
    void OnParentSize(int nType, int cx, int cy);

    // What opens the address: the desktop's browser unless another opener is given.
    void SetUrlOpener(std::function<void(const QUrl &)> opener) { m_fnOpenUrl = std::move(opener); }

protected:
    void OnClick() override;

private:
    std::function<void(const QUrl &)> m_fnOpenUrl;
};
