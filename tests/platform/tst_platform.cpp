#include "TestServices.h"

#include "platform/WorkerThread.h"
#include "platform/db/DbError.h"
#include "platform/ui/Application.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Form.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Progress.h"
#include "platform/ui/Twips.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using db::DbError;

// A small form with a design of its own, to watch the lifecycle.
struct ProbeControls {
    explicit ProbeControls(ui::FormWidget* form) {
        Label1 = new QLabel(QStringLiteral("设计"), form);
        Label1->setObjectName(QStringLiteral("Label1"));
        Timer1 = new QTimer(form);
        Timer1->start(10);
    }
    QLabel* Label1;
    QTimer* Timer1;
};

class Probe final : public ui::FormOf<ProbeControls> {
public:
    Probe()
        : FormOf(QStringLiteral("Probe")) {}
    QLabel* label() { return ui().Label1; }
    QTimer* timer() { return ui().Timer1; }
    int loads = 0;
    int unloads = 0;
    bool unloadInLoad = false;
    bool throwInLoad = false;
    QString lastText;

protected:
    void Form_Load() override {
        ++loads;
        if (throwInLoad) {
            throw DbError(QStringLiteral("坏"), QStringLiteral("test"));
        }
        if (unloadInLoad) {
            unload();
        }
    }
    void Form_Unload() override {
        ++unloads;
        lastText = label()->text();
    }
};

// Counts the probe form's windows that come on screen.
class ShowWatch : public QObject {
public:
    ShowWatch() { qApp->installEventFilter(this); }
    ~ShowWatch() override { qApp->removeEventFilter(this); }
    int shown = 0;

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Show && object->objectName() == QStringLiteral("Probe")) {
            ++shown;
        }
        return false;
    }
};

class PlatformTest : public QObject {
    Q_OBJECT

private slots:
    // Enter typed ahead does not give up a long piece of work; Esc, Alt+C
    // and a click on 取消 do.
    void onlyEscAltCOrAClickCancelsTheProgressWindow() {
        const auto after = [](const std::function<void(QWidget*)>& press) {
            ui::QtProgress progress;
            progress.start(QStringLiteral("正在升级"));
            QTest::qWait(1050); // the window comes after a quiet second
            progress.advance(1, 2);
            QWidget* window = QApplication::activeModalWidget();
            if (!window) {
                return QStringLiteral("no window");
            }
            press(window);
            const bool goesOn = progress.advance(2, 2);
            progress.finish();
            return goesOn ? QStringLiteral("goes on") : QStringLiteral("cancelled");
        };
        QCOMPARE(after([](QWidget* w) { QTest::keyClick(w, Qt::Key_Return); }), "goes on");
        QCOMPARE(after([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }), "cancelled");
        QCOMPARE(after([](QWidget* w) { QTest::keyClick(w, Qt::Key_C, Qt::AltModifier); }),
                 "cancelled");
        QCOMPARE(after([](QWidget* w) {
                     QTest::mouseClick(w->findChild<QPushButton*>(), Qt::LeftButton);
                 }),
                 "cancelled");
    }

    void aNarrowMessageBoxShowsItsWholeTitle() {
        // A title much wider than its text: the narrowest box.
        for (const QString& title : {QStringLiteral("提示"), QStringLiteral("修改密码出错")}) {
            const auto box =
                ui::buildMessageBox({QStringLiteral("好"), title, ui::Buttons::Ok, ui::Icon::None});
            box->show(); // the box sizes itself when shown
            // The title, and room for the window manager's icon and buttons.
            const int needed = QFontMetrics(QApplication::font()).horizontalAdvance(title) + 120;
            QVERIFY2(
                box->width() >= needed,
                qPrintable(QStringLiteral("%1: %2 < %3").arg(title).arg(box->width()).arg(needed)));
            QCOMPARE(box->windowTitle(), title);
        }
    }

    void qtsOwnDialogsReadChinese() {
        ui::setUpApplication();
        QDialogButtonBox buttons(QDialogButtonBox::Cancel);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
        QCOMPARE(QCoreApplication::translate("QPrintDialog", "Print"), QStringLiteral("打印"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Save As"), QStringLiteral("另存为"));
    }

    void designFontsMapToInstalledCjkFonts() {
        ui::installFontSubstitutes();
        for (const auto family : {u"宋体", u"黑体"}) {
            const QFont f = ui::font(QStringView(family), 10.5, true);
            QVERIFY(QFontMetrics(f).inFontUcs4(U'雁'));
            QVERIFY(QFontInfo(f).bold());
        }
        QVERIFY(QFontInfo(ui::font(u"宋体", 9)).family() !=
                QFontInfo(ui::font(u"黑体", 9)).family());
        // The designs' boxes are measured for 宋体: a line about one em high,
        // Latin half as wide as Chinese.
        const QFontMetricsF song(ui::font(u"宋体", 9));
        const qreal em = song.horizontalAdvance(u'雁');
        QVERIFY2(song.height() <= 1.1 * em, qPrintable(QFontInfo(ui::font(u"宋体", 9)).family()));
        QCOMPARE(song.horizontalAdvance(QStringLiteral("MSN")), 1.5 * em);
    }

    void aFormLoadsOnUseUnloadsOnCloseAndKeepsItsMembers() {
        Probe form;
        QVERIFY(!form.isLoaded());
        form.label()->setText(QStringLiteral("改过"));
        QVERIFY(form.isLoaded());
        QCOMPARE(form.loads, 1);
        QPointer<QWidget> widget = form.window();
        form.unload();
        QVERIFY(!form.isLoaded());
        QCOMPARE(form.unloads, 1);
        QCOMPARE(form.lastText, QStringLiteral("改过")); // the unload handler still reads controls
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(widget.isNull());
        // The next touch builds the design afresh; a second unload does nothing.
        QCOMPARE(form.label()->text(), QStringLiteral("设计"));
        QCOMPARE(form.loads, 2);
        form.unload();
        form.unload();
        QCOMPARE(form.unloads, 2);

        // Closing the window unloads and stops the timers.
        form.show();
        QPointer<QTimer> timer = form.timer();
        QVERIFY(timer->isActive());
        form.window()->close();
        QVERIFY(!form.isLoaded());
        QCOMPARE(form.unloads, 3);
        QVERIFY(timer.isNull() || !timer->isActive());

        // A failed load leaves it unloaded, to be loaded again.
        form.throwInLoad = true;
        QVERIFY_THROWS_EXCEPTION(DbError, form.load());
        QVERIFY(!form.isLoaded());
        form.throwInLoad = false;
        form.load();
        QVERIFY(form.isLoaded());
    }

    void aFormThatUnloadsInItsLoadIsNeverShown() {
        Probe form;
        form.unloadInLoad = true;
        ShowWatch watch;
        form.show();
        QVERIFY(!form.isLoaded());
        QCOMPARE(form.loads, 1);
        QCOMPARE(form.unloads, 1);
        QCOMPARE(watch.shown, 0);
        // A caller that goes on touching it reaches controls nobody sees.
        const char* const warning = "Probe: used after it closed itself while loading";
        QTest::ignoreMessage(QtWarningMsg, warning);
        QLabel* stray = form.label();
        QTest::ignoreMessage(QtWarningMsg, warning);
        QCOMPARE(form.label(), stray); // the same ones: an earlier reference stays good
        stray->setText(QStringLiteral("无人看见"));
        QVERIFY(!form.isLoaded());
        QCOMPARE(watch.shown, 0);
        form.unloadInLoad = false;
        form.show();
        QCOMPARE(form.label()->text(), QStringLiteral("设计"));
        QCOMPARE(watch.shown, 1); // the watch does see a form that is shown
    }

    void childFormsLiveInTheMdiAreaAndUnloadWithIt() {
        auto area = std::make_unique<QMdiArea>();
        area->resize(800, 600);
        area->show();
        Probe form;
        form.setMdiArea([&] { return area.get(); });
        form.show();
        QCOMPARE(area->subWindowList().size(), 1);
        QCOMPARE(area->subWindowList().first()->widget(), form.client());
        form.setCaption(QStringLiteral("浏览联系人"));
        QCOMPARE(area->subWindowList().first()->windowTitle(), QStringLiteral("浏览联系人"));
        area->subWindowList().first()->close();
        QVERIFY(!form.isLoaded());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(area->subWindowList().isEmpty());
        form.show();
        QCOMPARE(area->subWindowList().size(), 1);
        QCOMPARE(form.caption(), QString());
        // A window destroyed with its area unloads the form, which loads afresh on the desktop.
        form.label()->setText(QStringLiteral("改过"));
        area.reset();
        QVERIFY(!form.isLoaded());
        QCOMPARE(form.label()->text(), QStringLiteral("设计"));
        QVERIFY(form.window()->isWindow());
    }

    // Threads that matched patterns, then ended: on Windows the heap must
    // stay sound, or the test hangs or crashes by its end.
    void patternsOnWorkerThreadsThatEnd() {
        for (int i = 0; i < 200; ++i) {
            bool matched = false;
            const std::unique_ptr<QThread> thread = platform::workerThread([&] {
                static const QRegularExpression digits(QStringLiteral("^\\d+$"));
                matched = digits.match(QString::number(i)).hasMatch();
            });
            thread->start();
            QVERIFY(thread->wait(10000));
            QVERIFY(matched);
        }
    }
};

int runPlatformTests(int argc, char* argv[]) {
    PlatformTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_platform.moc"
