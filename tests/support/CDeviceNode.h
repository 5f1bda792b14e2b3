// Device nodes of a test's own, made in its temporary folder: a test that needs something
// endless under a file name never points at the machine's own /dev nodes, so a fault in the
// code under test cannot replace or damage them.
#pragma once

#include <QString>

class CDeviceNode {
public:
    // Makes a character device at strPath that reads as endless zeros. False, with nothing
    // left behind, where the system refuses (not root, no CAP_MKNOD, a nodev mount); the
    // test then skips that case and says so.
    static bool MakeZero(const QString &strPath);
    static constexpr const char *SKIP_MESSAGE =
        "cannot make a device node of the test's own here (needs root and a folder "
        "that allows devices)";
};
