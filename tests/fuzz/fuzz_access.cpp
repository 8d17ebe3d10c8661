// libFuzzer: bytes as an old Access file, every table read through the
// code the reading process runs (legacy::readTables) and each message
// through the program's decoder. A damaged file may end in DbError, never
// in a crash, a hang or memory without end.

#include "legacy/AccessFile.h"

#include "platform/db/DbError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QString path = QDir::temp().filePath(
        QStringLiteral("fuzz_access-%1.mdb").arg(QCoreApplication::applicationPid()));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size)) {
        return 0;
    }
    file.close();
    legacy::MessageReader messages(qsizetype(1) << 28);
    try {
        legacy::readTables(path, {}, [&](const legacy::Message& m) {
            messages.append(legacy::encode(m));
            while (messages.take()) {
            }
        });
    } catch (const db::DbError&) {
        // what the program shows as a damaged file
    }
    return 0;
}
