#include "Files.h"

#include <QFile>
#include <QtTest>

namespace test {

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes, qint64 at) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek(at));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace test
