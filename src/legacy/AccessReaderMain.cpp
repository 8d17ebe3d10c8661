// yanshubu-access-reader FILE [TABLE...]: reads the named tables of an old
// Access file and writes them to standard output as messages for the
// program (ReaderStream.h). It runs as a process of its own so that a
// damaged file that crashes libmdb or makes it loop takes only this down.

#include "AccessFile.h"

#include <QString>
#include <QStringList>

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fputs("usage: yanshubu-access-reader FILE [TABLE...]\n", stderr);
        return 2;
    }
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY); // the messages are bytes: no CR before each LF
#endif
    QStringList tables;
    for (int i = 2; i < argc; ++i) {
        tables << QString::fromLocal8Bit(argv[i]);
    }
    legacy::readTables(QString::fromLocal8Bit(argv[1]), tables, [](const legacy::Message& m) {
        const QByteArray bytes = legacy::encode(m);
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
    });
    return std::fflush(stdout) == 0 ? 0 : 1;
}
