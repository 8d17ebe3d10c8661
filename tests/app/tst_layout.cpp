#include "Program.h"

#include "platform/ui/Twips.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QToolBar>

// What the user sees of the windows: whole captions, sizes, scrolling.
class LayoutTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestServices> s;
    std::unique_ptr<app::Forms> forms;

    app::MDI_OK_Controls& main() { return forms->MDI_OK.controls(); }
    QMdiSubWindow* cardFrame() { return static_cast<QMdiSubWindow*>(forms->F_EDIT.window()); }

private slots:
    void init() { test::setUp(s, forms, QStringLiteral("(1, '甲', '010-1')")); }
    void cleanup() { test::tearDown(s, forms); }

    void everyCaptionShowsWholeBesideItsBox() {
        test::start(*forms);
        QCOMPARE(test::labelsCut(forms->F_DL.client()), QStringList());
        test::logIn(*forms, s->messageBox);
        QCOMPARE(test::labelsCut(forms->F_EDIT.client()), QStringList());
        const auto wholeIn = [](ui::Form& form) {
            form.load();
            const QStringList cut = test::labelsCut(form.client());
            form.unload();
            return cut;
        };
        for (ui::Form* form : std::initializer_list<ui::Form*>{&forms->F_XGYH, &forms->F_GY}) {
            QCOMPARE(wholeIn(*form), QStringList());
        }
        // The long date is the locale's: the longest English one, and Chinese.
        s->clock.time.setDate(QDate(2026, 9, 30));
        for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedKingdom),
                                      QLocale(QLocale::Chinese, QLocale::China)}) {
            QLocale::setDefault(locale);
            QCOMPARE(wholeIn(forms->frmcalendar), QStringList());
        }
        QLocale::setDefault(QLocale::c());
    }

    void theRestoredCardHasItsDesignSize() {
        test::logIn(*forms, s->messageBox);
        QVERIFY(cardFrame()->isMaximized());
        cardFrame()->showNormal();
        QCOMPARE(forms->F_EDIT.client()->size(), QSize(ui::px(10305), ui::px(6540)));
    }

    void aSmallMainWindowScrollsToTheCard() {
        test::logIn(*forms, s->messageBox);
        forms->MDI_OK.window()->showNormal();
        forms->MDI_OK.window()->resize(645, 400);
        QCoreApplication::processEvents();
        QMdiArea* area = main().MDIClient;
        QScrollBar* down = area->verticalScrollBar();
        QVERIFY(down->isVisible() && area->horizontalScrollBar()->isVisible());
        down->setValue(down->maximum());
        QPushButton* modify = forms->F_EDIT.controls().Command3;
        const QRect onView = area->viewport()->rect();
        QVERIFY(onView.contains(modify->mapTo(area->viewport(), modify->rect().bottomLeft())));
    }

    // While a start-up failure is shown, the splash has gone and nothing of
    // the main window looks usable.
    void aStartUpFailureShowsAlone() {
        QFile book(s->folder.databasePath());
        QVERIFY(book.open(QIODevice::WriteOnly | QIODevice::Truncate));
        book.write(QByteArray(4096, 'x')); // no database
        book.close();
        s->messageBox.expectError(QDir::toNativeSeparators(s->folder.databasePath()));
        bool splashShown = true;
        bool toolbarEnabled = true;
        s->messageBox.onShow = [&](const ui::Message&) {
            splashShown = forms->F_LOGO.isLoaded() && forms->F_LOGO.window()->isVisible();
            toolbarEnabled = main().Toolbar1->isEnabled();
        };
        forms->F_LOGO.show();
        forms->F_LOGO.Timer1_Timer();
        QVERIFY(!splashShown);
        QVERIFY(!toolbarEnabled);
    }
};

int runLayoutTests(int argc, char* argv[]) {
    LayoutTest tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_layout.moc"
