// Times the contact card's user actions over 100,000 generated contacts,
// every write durable, next to a bare SQLite read of the same rows.
//
//   make bench            (or: QT_QPA_PLATFORM=offscreen build/bin/card_bench [contacts])

#include "BenchData.h"

#include "contacts/F_EDIT.h"
#include "contacts/Schema.h"
#include "platform/db/ConnectionString.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

#include <sqlite3.h>

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    QTextStream out(stdout);

    QTemporaryDir dir;
    bench::makeDatabase(dir.path(), count);
    const bench::BenchServices doubles(dir.path());
    const platform::Services& services = doubles.services;
    contacts::F_EDIT card(services);

    QElapsedTimer timer;
    timer.start();
    bench::bareRead(dir.filePath(QStringLiteral("MY.mdb")));
    out << "bare SQLite read:         " << timer.elapsed() << " ms\n";

    timer.restart();
    card.show();
    out << "card load (first window):  " << timer.elapsed() << " ms\n";

    const int steps = 2000;
    timer.restart();
    for (int i = 0; i < steps; ++i) {
        card.G1();
    }
    out << "G1 (next), per step:      " << double(timer.nsecsElapsed()) / steps / 1e6 << " ms\n";
    timer.restart();
    for (int i = 0; i < steps; ++i) {
        card.G2();
    }
    out << "G2 (previous), per step:  " << double(timer.nsecsElapsed()) / steps / 1e6 << " ms\n";

    card.enterModifyMode(false);
    timer.restart();
    card.XG();
    out << "XG (modify, durable):     " << timer.elapsed() << " ms\n";

    // 继续浏览联系人记录: a second load, with fonts and pictures already at hand.
    timer.restart();
    card.controls().Command4->click();
    out << "card reload:              " << timer.elapsed() << " ms\n";

    // The worst case of adding: the number scan runs from the first record to the end.
    card.enterAddMode(contacts::F_EDIT::AddFrom::Menu);
    timer.restart();
    card.Command1_Click(); // scan, ADDTJ, then Yes: ready for the next one
    out << "添加 (scan + ADDTJ):      " << timer.elapsed() << " ms\n";

    timer.restart();
    card.DEL1();
    out << "DEL1 (durable):           " << timer.elapsed() << " ms\n";

    card.controls().Text_Cs->setText(QStringLiteral("重名"));
    timer.restart();
    card.Cx();
    out << "Cx, 3 matches:            " << timer.elapsed() << " ms\n";

    out << "peak memory:              " << bench::statusKb("VmHWM:") / 1024 << " MiB\n";
    card.unload();
    return 0;
}
