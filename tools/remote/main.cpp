// tessaro-remote: drive a player over the network from a shell or a script.
#include "CRemoteClient.h"
#include "CRemoteOptions.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    CRemoteOptions options;
    if (!options.Parse(app.arguments().mid(1))) {
        std::fprintf(stderr, "tessaro-remote: %s\nTry 'tessaro-remote --help'.\n",
                     qPrintable(options.m_strError));
        return CRemoteClient::EXIT_USAGE;
    }
    return CRemoteClient(options).Run(stdout, stderr);
}
