#include "Program.h"

#include "platform/ui/Twips.h"

// What the user sees of the windows: whole captions, sizes, scrolling.
class LayoutTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestServices> s;
    std::unique_ptr<app::Forms> forms;

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
};

int runLayoutTests(int argc, char* argv[]) {
    LayoutTest tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_layout.moc"
