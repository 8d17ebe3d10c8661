#include "BookLocation.h"

#include <QDir>
#include <QFileInfo>

namespace app {

namespace {

const QString bookName = QStringLiteral("MY.mdb");
const QString option = QStringLiteral("--database");

} // namespace

std::optional<QString> locateBook(const QStringList& arguments, const QString& programFolder,
                                  const QString& userDataFolder) {
    std::optional<QString> named;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == option) {
            if (++i == arguments.size() || arguments[i].isEmpty()) {
                return std::nullopt;
            }
            named = arguments[i];
        } else if (a.startsWith(option + u'=')) {
            named = a.mid(option.size() + 1);
            if (named->isEmpty()) {
                return std::nullopt;
            }
        } else {
            return std::nullopt;
        }
    }
    if (named) {
        return QFileInfo(*named).absoluteFilePath();
    }
    const QString portable = QDir(programFolder).filePath(bookName);
    if (QFileInfo::exists(portable)) {
        return portable;
    }
    return QDir(userDataFolder).filePath(bookName);
}

QString commandLineHelp() {
    return QStringLiteral("命令行有误。用法：yanshubu [--database 通讯录文件]\n\n"
                          "不指定时，先用程序所在文件夹中的 MY.mdb，"
                          "否则用个人数据文件夹中的 MY.mdb。");
}

} // namespace app
