#include "Application.h"

#include "Fonts.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

namespace ui {

QString applicationTitle() {
    return QStringLiteral("雁书簿");
}

void setUpApplication() {
    QApplication::setApplicationName(QStringLiteral("yanshubu"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/art/icon.svg")));
    installFontSubstitutes();
    // Every text of the program is Chinese whatever the locale, so Qt's own
    // file and print dialogs and standard buttons are too. Without the
    // translations the program still runs, with those texts in English.
    auto* translator = new QTranslator(qApp);
    if (translator->load(QStringLiteral("qtbase_zh_CN"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}

} // namespace ui
