// libFuzzer entry for the OSC decoding path: whatever arrives on the OSC port is handed to
// liblo's dispatcher exactly as the server hands it (time tags not queued, one method per
// command address, so hostile address patterns meet liblo's pattern matching), and a handler
// that reads every argument by its type must never read outside what liblo gave it. Single
// messages also go through liblo's own message decoder and back.
#include <lo/lo.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

size_t g_nSink = 0; // keeps the argument reads from being optimised away

int ReadAll(const char *pszPath, const char *pszTypes, lo_arg **argv, int argc, lo_message,
            void *) {
    g_nSink += std::strlen(pszPath);
    for (int i = 0; i < argc && pszTypes[i]; ++i) {
        switch (pszTypes[i]) {
        case 'i':
        case 'f': {
            // liblo's arguments are only 4-byte aligned: read them as bytes, as the server does.
            int32_t n = 0;
            std::memcpy(&n, argv[i], sizeof n);
            g_nSink += static_cast<size_t>(n);
            break;
        }
        case 'h':
        case 'd': {
            int64_t n = 0;
            std::memcpy(&n, argv[i], sizeof n);
            g_nSink += static_cast<size_t>(n);
            break;
        }
        case 's':
        case 'S':
            g_nSink += std::strlen(reinterpret_cast<const char *>(argv[i]));
            break;
        case 'b':
            g_nSink += static_cast<size_t>(lo_blob_datasize(reinterpret_cast<lo_blob>(argv[i])));
            break;
        default:
            break;
        }
    }
    return 0;
}

lo_server Server() {
    static lo_server s_pServer = [] {
        char szDir[] = "/tmp/fuzz-osc-XXXXXX";
        if (!mkdtemp(szDir))
            std::abort();
        const std::string strPath = std::string(szDir) + "/lo";
        lo_server pServer = lo_server_new_with_proto(strPath.c_str(), LO_UNIX, nullptr);
        if (!pServer)
            std::abort();
        lo_server_enable_queue(pServer, 0, 1);
        for (const char *pszAddress :
             {"/tessaro/a/play", "/tessaro/b/play", "/tessaro/a/pause", "/tessaro/b/pause",
              "/tessaro/a/stop", "/tessaro/b/stop", "/tessaro/a/select", "/tessaro/b/select",
              "/tessaro/a/open", "/tessaro/b/open", "/tessaro/a/seek", "/tessaro/b/seek",
              "/tessaro/volume", "/tessaro/next", "/tessaro/previous", "/tessaro/fullscreen",
              "/tessaro/subscribe"})
            lo_server_add_method(pServer, pszAddress, nullptr, ReadAll, nullptr);
        return pServer;
    }();
    return s_pServer;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t nSize) {
    if (nSize > 4096)
        return 0; // the server drops larger packets unread
    // A copy of the packet with the slack the server keeps behind it (liblo reads a blob's
    // size even where no bytes are left), so any read further out is caught.
    std::vector<uint8_t> packet(pData, pData + nSize);
    packet.resize(nSize + 8);
    lo_server_dispatch_data(Server(), packet.data(), nSize);

    std::vector<uint8_t> again(pData, pData + nSize);
    int nResult = 0;
    lo_message message = lo_message_deserialise(again.data(), again.size(), &nResult);
    if (message) {
        size_t nOut = 0;
        void *pOut = lo_message_serialise(message, "/fuzz", nullptr, &nOut);
        free(pOut);
        lo_message_free(message);
    }
    return 0;
}
