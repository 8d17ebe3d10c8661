#include "Program.h"

#include "contacts/Book.h"
#include "interchange/Mapping.h"
#include "interchange/VCard.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTableView>

using contacts::Field;

class QrCodeTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestServices> s;
    std::unique_ptr<app::Forms> forms;
    QTemporaryDir dir;

    void add(const contacts::Contact& contact) {
        db::Connection connection;
        contacts::openDatabase(connection, db::connectionString(s->services.databaseFile));
        contacts::Book(connection).add(contact);
    }
    // Every column filled, in Chinese where a person would write Chinese,
    // and two lines of 其他信息.
    contacts::Contact fullContact() {
        contacts::Contact c;
        const char* texts[] = {"张三",
                               "男",
                               "1980-05-04",
                               "126-1234567",
                               "12345678",
                               "10001",
                               "zhangsan@hotmail.com",
                               "zhangsan@example.com",
                               "010-6000 1234",
                               "010-6000 5678",
                               "13800138000",
                               "010-6000 9999",
                               "100080",
                               "北京市海淀区中关村大街1号",
                               "100190",
                               "雁书簿软件有限公司",
                               "北京市海淀区知春路2号",
                               "销售经理",
                               "010-6000 8888",
                               "http://www.example.com/",
                               "爱喝龙井；周末不接电话。\n生日送书。"};
        for (int i = 0; i < contacts::fieldCount; ++i) {
            c.fields[std::size_t(i)] = QString::fromUtf8(texts[i]);
        }
        c.extras = {{{}, QStringLiteral("X-WECHAT"), {}, QStringLiteral("zhangsan_wx")},
                    {{}, QStringLiteral("NICKNAME"), {}, QStringLiteral("小张")}};
        return c;
    }
    contacts::Contact named(const QString& name,
                            std::initializer_list<std::pair<Field, int>> long_) {
        contacts::Contact c;
        c[Field::Name] = name;
        for (const auto& [field, length] : long_) {
            c[field] = QString(length, QChar(0x5730 + int(field))); // a Han character a column
        }
        return c;
    }
    qrcode::F_EWM& window() { return forms->F_EWM; }
    const QByteArray& shownCard() { return window().card()->vcard; }
    QString leftOut() { return window().controls().lblLeftOut->text(); }
    // The card as it reads in the window's code, a saved picture or a page.
    static QByteArray decoded(const QString& picture) {
        QProcess zbar;
        zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("--quiet"), QStringLiteral("--raw"),
                                               QStringLiteral("-Sbinary"), picture});
        zbar.waitForFinished();
        return zbar.readAllStandardOutput();
    }
    // The card's lines, folded lines joined.
    static QList<QByteArray> lines(QByteArray card) {
        card.replace("\r\n ", "");
        QList<QByteArray> all = card.split('\n');
        for (QByteArray& line : all) {
            line = line.trimmed();
        }
        all.removeAll(QByteArray());
        return all;
    }
    // The card shown from the list's menu, as the right button opens it on the row.
    void showFromList(const QString& name) {
        forms->F_LIST.showSearch();
        QTableView* grid = forms->F_LIST.controls().grdList;
        const QAbstractItemModel* model = grid->model();
        int row = 0;
        while (row < model->rowCount() && model->index(row, 0).data().toString() != name) {
            ++row;
        }
        QVERIFY2(row < model->rowCount(), qPrintable(name));
        const QPoint at = grid->visualRect(model->index(row, 0)).center();
        QTest::mousePress(grid->viewport(), Qt::RightButton, {}, at);
        QContextMenuEvent menuKey(QContextMenuEvent::Mouse, at, grid->viewport()->mapToGlobal(at));
        QApplication::sendEvent(grid->viewport(), &menuKey);
        QTest::mouseRelease(grid->viewport(), Qt::RightButton, {}, at);
        QMenu* menu = forms->F_LIST.controls().mnuList;
        QTRY_VERIFY(menu->isVisible());
        QAction* qr = menu->findChild<QAction*>(QStringLiteral("mnuQr"));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(qr).center());
        QVERIFY(!menu->isVisible());
    }

private slots:
    void init() { test::setUp(s, forms); }
    void cleanup() { test::tearDown(s, forms); }

    // No contact on the card: the menu says so instead of a window.
    void withNoContactTheMenuSaysSo() {
        s->messageBox.expect(QStringLiteral("没有可用记录"), QStringLiteral("提示信息"));
        s->messageBox.expect(QStringLiteral("没有记录是否添加新联系人信息?"),
                             QStringLiteral("提示"), ui::Answer::No);
        test::logIn(*forms, s->messageBox);
        s->messageBox.expect(QStringLiteral("没有当前联系人：请先在卡片或联系人列表中选一位。"),
                             QStringLiteral("名片二维码"));
        forms->MDI_OK.controls().item("VIEW_QR")->trigger();
        QVERIFY(!window().isLoaded());
    }

    // The card's code holds the whole contact as a vCard 3.0 that reads
    // back as it is stored, each value with Chinese naming its UTF-8.
    void theCodeHoldsTheWholeCardNamingItsUtf8() {
        const contacts::Contact contact = fullContact();
        add(contact);
        test::logIn(*forms, s->messageBox);
        forms->MDI_OK.controls().item("VIEW_QR")->trigger();
        QVERIFY(window().window()->isVisible());
        QCOMPARE(window().caption(), QStringLiteral("名片二维码"));
        QCOMPARE(leftOut(), QString());

        int chinese = 0;
        for (const QByteArray& line : lines(shownCard())) {
            const QByteArray value = line.mid(line.indexOf(':') + 1);
            if (QString::fromUtf8(value).toLatin1() != value) {
                ++chinese;
                QVERIFY2(line.left(line.indexOf(':')).contains(";CHARSET=UTF-8"), line.constData());
            }
        }
        QCOMPARE(chinese, 8); // FN, N, the addresses, ORG, TITLE, NOTE, NICKNAME
        interchange::VCardReader reader(shownCard());
        const auto items = reader.next();
        QVERIFY(items);
        QCOMPARE(items->second.front().name, QStringLiteral("VERSION"));
        const interchange::Entry read = interchange::toEntry(items->second);
        QCOMPARE(read.fields, contact.fields);
        QCOMPARE(read.extras, contact.extras);
        QVERIFY(read.uid.isEmpty()); // the phone makes its own contact

        // The saved picture is the code shown, in modules of whole pixels
        // (8 a module), the finder pattern's corner four modules in.
        s->fileDialog.answers.push_back({dir.filePath(QStringLiteral("张三的名片"))});
        window().controls().cmdSave->click();
        QCOMPARE(s->fileDialog.startedAt, QStringLiteral("张三.png"));
        const QImage saved = QImage(dir.filePath(QStringLiteral("张三的名片.png")))
                                 .convertToFormat(QImage::Format_Grayscale8);
        const QImage shown = window().controls().picCode->pixmap().toImage().convertToFormat(
            QImage::Format_Grayscale8);
        QCOMPARE(saved.scaled(shown.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation), shown);
        QCOMPARE(saved.pixelColor(31, 31), QColor(Qt::white));
        QCOMPARE(saved.pixelColor(32, 32), QColor(Qt::black));
        window().controls().cmdClose->click();
        QVERIFY(!window().isLoaded());
    }

    // What a phone's camera reads is that card: on screen, in the saved
    // picture and on the printed page.
    void theCodeReadsBackAsTheCard() {
#ifdef Q_OS_WIN
        QSKIP("zbarimg and pdftoppm, which read the codes back, are Linux tools");
#endif
        add(fullContact());
        test::logIn(*forms, s->messageBox);
        forms->MDI_OK.controls().item("VIEW_QR")->trigger();
        const QByteArray card = shownCard();
        QVERIFY(card.contains("FN;CHARSET=UTF-8:张三\r\n"));

        const QString screen = dir.filePath(QStringLiteral("screen.png"));
        QVERIFY(window().controls().picCode->pixmap().save(screen));
        QCOMPARE(decoded(screen), card);
        s->fileDialog.answers.push_back({dir.filePath(QStringLiteral("saved.png"))});
        window().controls().cmdSave->click();
        QCOMPARE(decoded(dir.filePath(QStringLiteral("saved.png"))), card);
        const QString pdf = dir.filePath(QStringLiteral("printed.pdf"));
        window().choosePrinter = [&](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        };
        window().controls().cmdPrint->click();
        QCOMPARE(QProcess::execute(QStringLiteral("pdftoppm"),
                                   {QStringLiteral("-r"), QStringLiteral("300"),
                                    QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf,
                                    dir.filePath(QStringLiteral("page"))}),
                 0);
        QCOMPARE(decoded(dir.filePath(QStringLiteral("page.png"))), card);
    }

    // A card too long for one code goes without its notes, then also
    // without its addresses, and the window says which; one too long even
    // then is told of, and the window keeps the card it showed.
    void aLongCardLeavesOutNotesThenAddresses() {
        using enum Field;
        add(named(QStringLiteral("李四"), {{Notes, 1000}, {HomeAddress, 200}}));
        add(named(QStringLiteral("王五"), {{Notes, 1000}, {HomeAddress, 400}, {WorkAddress, 400}}));
        add(named(QStringLiteral("赵六"), {{Employer, 900}, {Notes, 10}}));
        test::logIn(*forms, s->messageBox);

        showFromList(QStringLiteral("李四"));
        QCOMPARE(leftOut(), QStringLiteral("备注太长，未放入二维码"));
        QVERIFY(!shownCard().contains("NOTE") && shownCard().contains("\r\nADR"));
        showFromList(QStringLiteral("王五"));
        QCOMPARE(leftOut(), QStringLiteral("备注和地址太长，未放入二维码"));
        QVERIFY(!shownCard().contains("NOTE") && !shownCard().contains("ADR"));

        s->messageBox.expect(
            QStringLiteral("这位联系人的信息太多，去掉备注和地址也放不进一个二维码。"),
            QStringLiteral("名片二维码"));
        showFromList(QStringLiteral("赵六"));
        QVERIFY(shownCard().contains("王五"));
    }
};

QTEST_MAIN(QrCodeTest)
#include "tst_qrcode.moc"
