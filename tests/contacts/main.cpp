#include "platform/ui/Fonts.h"

#include <QApplication>

int runStoreTests(int argc, char* argv[]);
int runCardTests(int argc, char* argv[]);

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    ui::installFontSubstitutes();
    const int failures = runStoreTests(argc, argv);
    return failures + runCardTests(argc, argv);
}
