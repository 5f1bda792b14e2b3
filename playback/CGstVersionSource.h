// Version numbers of the installed GStreamer for the media-framework check: the "file"
// gstreamer is the core library, any other name an element, versioned by its plugin.
#pragma once

#include "playback/CFileVersionSource.h"

#include <set>

class CGstVersionSource : public CFileVersionSource {
public:
    bool GetSystemDirectory(std::string &strDir) override;
    // A missing element is also written to stderr, once per name.
    bool ReadFileVersion(const std::string &strPath, uint64_t &nVersion) override;

    // "1.22.0" or "1.22.0.1" as a.b.c.d; false for anything else.
    static bool ParseVersion(const char *pszText, uint64_t &nVersion);
    // Writes the element and the Debian package that provides it to stderr.
    static void ReportMissingElement(const char *pszElement);
    // "gstreamer1.0-plugins-base" for playbin, ...; "" for an element we do not know.
    static const char *DebianPackageOf(const std::string &strElement);

private:
    std::set<std::string> m_missing;
};
