// Times the program over a generated book, 1,000,000 contacts unless
// another count is given, in one run next to a bare SQLite read of the same
// rows: login to the first contact, each card action and each keystroke in
// the contact list (the slowest of 100), and the peak memory.
//
//   make bench            (or: build/bin/book_bench [contacts])

#include "BenchData.h"

#include "app/Forms.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

QTextStream out(stdout);

double milliseconds(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

// Runs the action 100 times; prints the median and the slowest.
void measure(const char* what, const std::function<void(int)>& action) {
    std::vector<double> times;
    for (int i = 0; i < 100; ++i) {
        QElapsedTimer timer;
        timer.start();
        action(i);
        QCoreApplication::processEvents();
        times.push_back(milliseconds(timer));
        // Closed windows go as in the event loop, which processEvents is not.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    std::sort(times.begin(), times.end());
    out << "  " << what << ": median " << times[50] << " ms, slowest " << times.back() << " ms; "
        << bench::peakKb() / 1024 << " MiB\n";
    out.flush();
}

// What people type into the list, a key at a time (108 keystrokes): names,
// common ones that sort late among them, pinyin in full and by initials,
// part of a number, of an e-mail address and its domain, of an employer.
const QStringList typings{
    QStringLiteral("zhangwei"),   QStringLiteral("张伟"),        QStringLiteral("wangfang"),
    QStringLiteral("li"),         QStringLiteral("13912"),       QStringLiteral("138"),
    QStringLiteral("user12345@"), QStringLiteral("示例123"),     QStringLiteral("zs"),
    QStringLiteral("chenm"),      QStringLiteral("zengshan"),    QStringLiteral("ly"),
    QStringLiteral("刘"),         QStringLiteral("010-8000"),    QStringLiteral("huangyu"),
    QStringLiteral("重名"),       QStringLiteral("没有这个人"),  QStringLiteral("sunlihua"),
    QStringLiteral("gm"),         QStringLiteral("example.com"), QStringLiteral("yang"),
};

void measureList(app::Forms& forms) {
    contacts::F_LIST& list = forms.F_LIST;
    measure("Ctrl+F 联系人列表 (opened)", [&](int) {
        list.unload();
        forms.MDI_OK.VIEW_3_Click();
    });
    QLineEdit* box = list.controls().txtFind;
    const contacts::ContactListModel* model = list.model();
    std::vector<std::pair<double, QString>> keys;
    std::vector<std::pair<double, QString>> found;
    for (const QString& typing : typings) {
        box->clear();
        while (model->reading()) {
            QCoreApplication::processEvents();
        }
        for (qsizetype n = 1; n <= typing.size(); ++n) {
            QElapsedTimer timer;
            timer.start();
            box->setText(typing.left(n)); // as each key does; then the events run
            keys.emplace_back(milliseconds(timer), typing.left(n));
            QCoreApplication::processEvents();
            while (model->reading()) { // the later pieces, between the events
                QCoreApplication::processEvents();
            }
            found.emplace_back(milliseconds(timer), typing.left(n));
        }
    }
    const auto report = [](const char* what, std::vector<std::pair<double, QString>>& times) {
        std::sort(times.begin(), times.end());
        const auto& last = times.back();
        const auto& next = times[times.size() - 2];
        out << "  " << times.size() << " keystrokes, " << what << ": median "
            << times[times.size() / 2].first << " ms, slowest " << last.first << " ms (\""
            << last.second << "\"), then " << next.first << " ms (\"" << next.second << "\")\n";
    };
    report("key to the window free again", keys);
    report("key to every match on screen", found);
    box->clear();
    QTableView* grid = list.controls().grdList;
    measure("page down the list", [&](int) {
        grid->setFocus();
        QKeyEvent key(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QCoreApplication::sendEvent(grid, &key);
    });
    measure("Enter: the contact on the card", [&](int) { list.grdList_DblClick(); });
}

void measureCard(app::Forms& forms, int count) {
    contacts::F_EDIT& card = forms.F_EDIT; // its controls change as it is opened again
    measure("G1 next", [&](int) { card.G1(); });
    measure("G2 previous", [&](int) { card.G2(); });
    measure("Cx a name", [&](int i) {
        card.controls().Text_Cs->setText(bench::contactName(i * 9973 % (count - 3), count));
        card.Cx();
    });
    measure("Command4 继续浏览 (the card again)", [&](int) { card.Command4_Click(); });
    measure("Cx no such name, the list offered", [&](int i) {
        card.controls().Text_Cs->setText(QStringLiteral("张%1").arg(i));
        card.Cx();
    });
    card.Command4_Click();
    card.enterModifyMode(false);
    measure("XG modify (durable), the list open", [&](int) { card.XG(); });
    forms.F_LIST.unload();
    measure("XG modify (durable), the list closed", [&](int) { card.XG(); });
    card.Command2_Click();
    card.enterAddMode(contacts::F_EDIT::AddFrom::Menu);
    measure("添加 (durable, then 是: the next)", [&](int) { card.Command1_Click(); });
    card.Command2_Click();
    measure("DEL1 delete (durable)", [&](int) { card.DEL1(); });
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;

    // BOOK_BENCH_FOLDER keeps the generated book there for the next run.
    QTemporaryDir temporary;
    const QString folder = qEnvironmentVariableIsSet("BOOK_BENCH_FOLDER")
                               ? qEnvironmentVariable("BOOK_BENCH_FOLDER")
                               : temporary.path();
    const QDir dir(folder);
    QElapsedTimer timer;
    timer.start();
    if (!dir.exists(QStringLiteral("MY.mdb"))) {
        bench::makeDatabase(folder, count);
        out << count << " contacts, generated in " << timer.elapsed() / 1000.0 << " s\n";
    }
    timer.restart();
    bench::bareRead(dir.filePath(QStringLiteral("MY.mdb")));
    out << "  bare SQLite read of every row: " << timer.elapsed() << " ms\n";
    out.flush();

    // The peak from here on is the program's, not the generator's.
    bench::resetPeak();
    const bench::BenchServices doubles(folder);
    app::Forms forms(doubles.services);
    forms.F_DL.show();
    forms.F_DL.controls().txtPassword->setText(QStringLiteral("123456"));
    timer.restart();
    forms.F_DL.controls().cmdOK->click();
    QCoreApplication::processEvents();
    out << "  login (确定) to the first contact: " << milliseconds(timer) << " ms; "
        << bench::peakKb() / 1024 << " MiB\n";
    // The user reads the first contact; the card lists the book meanwhile.
    QElapsedTimer reading;
    reading.start();
    while (reading.elapsed() < 300) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }

    measureCard(forms, count);
    measureList(forms);
    out << "  peak memory: " << bench::peakKb() / 1024 << " MiB\n";
    forms.MDI_OK.unload();
    return 0;
}
