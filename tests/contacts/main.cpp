#include "platform/ui/Fonts.h"

#include <QApplication>

int runCardTests(int argc, char* argv[]);
int runDuplicateTests(int argc, char* argv[]);

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    ui::installFontSubstitutes();
    return runCardTests(argc, argv) + runDuplicateTests(argc, argv);
}
