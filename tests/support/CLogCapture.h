// Installs a fresh log for the lifetime of a test and reads back what was written to it.
#pragma once

#include "core/CLogBook.h"

#include <memory>
#include <string>
#include <vector>

class CLogCapture {
public:
    CLogCapture();
    ~CLogCapture();

    struct Line {
        std::string text;
        int level;
    };
    // Every non-empty line, oldest first (the unfinished current line last).
    std::vector<Line> Lines() const;
    // All lines joined with "\n", for EXPECT_THAT(..., HasSubstr(...)).
    std::string Text() const;
    bool Contains(const std::string &strFragment) const;

    CLogBook &Log() { return *m_pLog; }

private:
    std::unique_ptr<CLogBook> m_pLog;
    CLogBook *m_pPrevious;
};
