#include <QApplication>

int runPlatformTests(int argc, char* argv[]);
int runDesktopTests(int argc, char* argv[]);

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    return runPlatformTests(argc, argv) + runDesktopTests(argc, argv);
}
