#include "widgets/CResourceBitmap.h"

#include "core/CLogBook.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

QString CResourceBitmap::Path(int nResourceId) {
    const QString strBase = QStringLiteral(":/images/%1").arg(nResourceId);
    for (const char *pszExt : {".svg", ".png"}) {
        const QString strPath = strBase + QLatin1String(pszExt);
        if (QFile::exists(strPath))
            return strPath;
    }
    return QString();
}

QPixmap CResourceBitmap::Load(int nResourceId, QSize size) {
    // Buttons swap pictures on every hover; rendering the vector picture once per size is
    // enough, and the shared pixmap keeps the blit's keyed copy valid too.
    const QString strCacheKey = QStringLiteral("tessaro-resource-%1-%2x%3")
                                    .arg(nResourceId)
                                    .arg(size.width())
                                    .arg(size.height());
    QPixmap cached;
    if (QPixmapCache::find(strCacheKey, &cached))
        return cached;
    QPixmap pixmap = Render(nResourceId, size);
    if (!pixmap.isNull())
        QPixmapCache::insert(strCacheKey, pixmap);
    return pixmap;
}

QPixmap CResourceBitmap::Render(int nResourceId, QSize size) {
    const QString strPath = Path(nResourceId);
    if (strPath.isEmpty()) {
        LogError("CResourceBitmap::Load(): bitmap %d not found\n", nResourceId);
        return QPixmap();
    }
    if (strPath.endsWith(QLatin1String(".svg"))) {
        QSvgRenderer renderer(strPath);
        if (!renderer.isValid()) {
            LogError("CResourceBitmap::Load(): bitmap %d is not a readable picture\n", nResourceId);
            return QPixmap();
        }
        if (!size.isValid() || size.isEmpty())
            size = renderer.defaultSize();
        if (size.isEmpty()) {
            LogError("CResourceBitmap::Load(): bitmap %d has no size\n", nResourceId);
            return QPixmap();
        }
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        return QPixmap::fromImage(image);
    }
    QPixmap pixmap(strPath);
    if (pixmap.isNull()) {
        LogError("CResourceBitmap::Load(): bitmap %d is not a readable picture\n", nResourceId);
        return QPixmap();
    }
    if (size.isValid() && !size.isEmpty() && size != pixmap.size())
        pixmap = pixmap.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return pixmap;
}
