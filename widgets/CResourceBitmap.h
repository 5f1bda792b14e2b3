// Loads the program's pictures, compiled in under ":/images/<number>", by their resource number
// and renders them at the size a widget asks for (vector pictures stay sharp at any size).
#pragma once

#include <QColor>
#include <QPixmap>
#include <QSize>
#include <QString>

class CResourceBitmap {
public:
    // The colour around the shapes of the sliders' and the playlist panel's pictures, left out
    // where they are drawn.
    static constexpr QColor MAGENTA_KEY{255, 0, 255};

    // The picture with this number at the given size, or at its own size when none is given.
    // A missing or unreadable picture gives a null pixmap and a log line.
    static QPixmap Load(int nResourceId, QSize size = QSize());

    // Where the picture lives, or an empty string when there is none.
    static QString Path(int nResourceId);

private:
    static QPixmap Render(int nResourceId, QSize size);
};
