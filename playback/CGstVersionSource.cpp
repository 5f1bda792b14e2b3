#include "playback/CGstVersionSource.h"

#include <cstdio>
#include <gst/gst.h>
#include <utility>

bool CGstVersionSource::GetSystemDirectory(std::string &strDir) {
    if (!gst_is_initialized() && !gst_init_check(nullptr, nullptr, nullptr))
        return false;
    strDir = "gstreamer-1.0";
    return true;
}

bool CGstVersionSource::ParseVersion(const char *pszText, uint64_t &nVersion) {
    if (!pszText)
        return false;
    unsigned a = 0, b = 0, c = 0, d = 0;
    int n = sscanf(pszText, "%u.%u.%u.%u", &a, &b, &c, &d);
    if (n < 3 || a > 0xffff || b > 0xffff || c > 0xffff || d > 0xffff)
        return false;
    nVersion = (uint64_t(a) << 48) | (uint64_t(b) << 32) | (uint64_t(c) << 16) | d;
    return true;
}

bool CGstVersionSource::ReadFileVersion(const std::string &strPath, uint64_t &nVersion) {
    const std::string strName = strPath.substr(strPath.find_last_of('/') + 1);
    if (strName == "gstreamer") {
        guint a, b, c, d;
        gst_version(&a, &b, &c, &d);
        nVersion = (uint64_t(a) << 48) | (uint64_t(b) << 32) | (uint64_t(c) << 16) | d;
        return true;
    }
    GstElementFactory *pFactory = gst_element_factory_find(strName.c_str());
    if (!pFactory) {
        if (m_missing.insert(strName).second)
            ReportMissingElement(strName.c_str());
        return false;
    }
    bool bOK = false;
    GstPlugin *pPlugin = gst_plugin_feature_get_plugin(GST_PLUGIN_FEATURE(pFactory));
    if (pPlugin) {
        bOK = ParseVersion(gst_plugin_get_version(pPlugin), nVersion);
        gst_object_unref(pPlugin);
    }
    gst_object_unref(pFactory);
    return bOK;
}

const char *CGstVersionSource::DebianPackageOf(const std::string &strElement) {
    static const std::pair<const char *, const char *> packages[] = {
        {"playbin", "gstreamer1.0-plugins-base"},
        {"appsink", "gstreamer1.0-plugins-base"},
        {"videoconvert", "gstreamer1.0-plugins-base"},
        {"videoscale", "gstreamer1.0-plugins-base"},
        {"videoconvertscale", "gstreamer1.0-plugins-base"},
        {"ximagesink", "gstreamer1.0-x"},
        {"audiopanorama", "gstreamer1.0-plugins-good"},
        {"imagefreeze", "gstreamer1.0-plugins-good"},
        {"autoaudiosink", "gstreamer1.0-plugins-good"},
        {"xvimagesink", "gstreamer1.0-x"},
    };
    for (const auto &[pszElement, pszPackage] : packages)
        if (strElement == pszElement)
            return pszPackage;
    return "";
}

void CGstVersionSource::ReportMissingElement(const char *pszElement) {
    const char *pszPackage = DebianPackageOf(pszElement);
    if (*pszPackage)
        fprintf(stderr, "Missing GStreamer element: %s (Debian package %s)\n", pszElement,
                pszPackage);
    else
        fprintf(stderr, "Missing GStreamer element: %s\n", pszElement);
}
