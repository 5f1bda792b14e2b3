// Distinct loopback ports for each network test, so tests never meet each other's traffic.
#pragma once

class NetTestPorts {
public:
    // A command port; the status port is the one above it. Each test program has its own
    // range (set by TESSARO_NET_TEST_PORT_BASE at compile time).
    static int Next() {
        static int nPort = TESSARO_NET_TEST_PORT_BASE;
        nPort += 2;
        return nPort;
    }
};
