#include "platform/ui/Fonts.h"

#include <QApplication>

int runSplashTests(int argc, char* argv[]);
int runLoginTests(int argc, char* argv[]);
int runToolbarTests(int argc, char* argv[]);
int runLayoutTests(int argc, char* argv[]);
int runListTests(int argc, char* argv[]);
int runBookTests(int argc, char* argv[]);
int runSyncTests(int argc, char* argv[]);

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    ui::installFontSubstitutes();
    const int failures = runSplashTests(argc, argv);
    return failures + runLoginTests(argc, argv) + runToolbarTests(argc, argv) +
           runLayoutTests(argc, argv) + runListTests(argc, argv) + runBookTests(argc, argv) +
           runSyncTests(argc, argv);
}
