#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace app {

// Which book file the program works on: "--database FILE" on the command
// line wins; else a MY.mdb beside the program (a portable copy); else
// MY.mdb in the user's data folder, which may not exist yet. Nothing when
// the command line is wrong.
std::optional<QString> locateBook(const QStringList& arguments, const QString& programFolder,
                                  const QString& userDataFolder);

// The command-line options the program takes, as told when they are wrong.
QString commandLineHelp();

} // namespace app
