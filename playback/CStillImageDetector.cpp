#include "playback/CStillImageDetector.h"

#include <QFile>
#include <gst/base/gsttypefindhelper.h>

bool CStillImageDetector::IsStillImage(const QByteArray &head) {
    if (head.isEmpty())
        return false;
    GstCaps *pCaps = gst_type_find_helper_for_data(
        nullptr, reinterpret_cast<const guint8 *>(head.constData()), gsize(head.size()), nullptr);
    if (!pCaps)
        return false;
    bool bImage =
        !gst_caps_is_empty(pCaps) &&
        g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(pCaps, 0)), "image/");
    gst_caps_unref(pCaps);
    return bImage;
}

bool CStillImageDetector::IsStillImageFile(const QString &strPath) {
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) && IsStillImage(file.read(4096));
}
