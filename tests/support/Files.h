#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace test {

// The file's bytes, to prove a failed action left it as it was; empty
// when it cannot be read.
QByteArray fileBytes(const QString& path);

// Writes bytes over the file from offset `at` on, as damage or a foreign
// file would; a failure fails the running test.
void writeBytes(const QString& path, const QByteArray& bytes, qint64 at = 0);

// What a Linux command-line tool (pdftotext, pdfinfo) writes, given the
// options, the file and what follows it; under Wine, the host's own tool
// given the file's Unix name.
QByteArray toolOutput(const QString& tool, QStringList options, const QString& file,
                      const QStringList& after = {});

// The file's name on the Linux host: under Wine its Unix name, else itself.
QString hostName(const QString& file);
// Starts the Linux host's shell with the arguments ("-c", a script, …),
// not waiting for it: under Wine too. The script's standard files are
// /dev/null.
bool startOnHost(const QStringList& shellArguments);

} // namespace test
