// Writes the desktop entry from its template, with the media types of every file the program
// opens in its MimeType line, from the same table the program recognises files by. Run by the
// build: tessaro-desktop-entry TEMPLATE OUTPUT.
#include "core/CMediaTypes.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "Usage: tessaro-desktop-entry TEMPLATE OUTPUT\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string strTemplate((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    const std::string strPlaceholder = "@MIME_TYPES@";
    const size_t nAt = strTemplate.find(strPlaceholder);
    if (!in || nAt == std::string::npos) {
        std::fprintf(stderr, "tessaro-desktop-entry: %s has no %s\n", argv[1],
                     strPlaceholder.c_str());
        return 1;
    }
    std::string strTypes;
    for (const QString &strType : CMediaTypes::MimeTypes())
        strTypes += strType.toStdString() + ";";
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << strTemplate.substr(0, nAt) << strTypes
        << strTemplate.substr(nAt + strPlaceholder.size());
    if (!out.flush()) {
        std::fprintf(stderr, "tessaro-desktop-entry: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
