// Where the media-framework check reads its version numbers: a system directory and the
// versions of the files in it. Tests put a table of made-up files in its place.
#pragma once

#include <cstdint>
#include <string>

class CFileVersionSource {
public:
    virtual ~CFileVersionSource() = default;
    virtual bool GetSystemDirectory(std::string &strDir) = 0;
    // The four 16-bit parts a.b.c.d as one number, a in the top bits; false when the file
    // is missing or has no readable version.
    virtual bool ReadFileVersion(const std::string &strPath, uint64_t &nVersion) = 0;
};
