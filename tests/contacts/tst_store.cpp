#include "TestServices.h"

#include "contacts/ContactColumns.h"
#include "contacts/Schema.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/Recordset.h"

#include <QSet>
#include <QtTest>

using contacts::contactColumns;
using contacts::textColumns;

class StoreTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::ProgramFolder> folder;
    db::Connection connection;

    QStringList namesFound(const QString& sql, const QString& name) {
        db::Recordset rs;
        rs.open(connection, sql, {name});
        QStringList names;
        for (; !rs.eof(); rs.moveNext()) {
            names << rs.text(contacts::nameColumn);
        }
        return names;
    }

private slots:
    void init() {
        folder = std::make_unique<test::ProgramFolder>();
        connection.open(db::connectionString(folder->path()));
    }
    void cleanup() {
        connection.close();
        folder.reset();
    }

    void theTableHasTheColumnsInCardOrderWithEmptyDefaults() {
        db::Recordset info;
        info.open(connection,
                  QStringLiteral("select name, dflt_value from pragma_table_info('yanshu')"));
        for (const auto& c : contactColumns) {
            QVERIFY(!info.eof());
            QCOMPARE(info.text(u"name"), c.column.toString());
            info.moveNext();
        }
        QVERIFY(info.eof());

        connection.execute(QStringLiteral("INSERT INTO yanshu DEFAULT VALUES"));
        db::Recordset row;
        row.open(connection, QStringLiteral("select * from yanshu"));
        for (const auto& c : textColumns) {
            const QVariant v = row.value(c.column);
            QVERIFY2(v.isValid() && v.toString().isEmpty(), qPrintable(c.column.toString()));
        }
    }

    void namesCompareWholeWithBlanksAndLatinCaseFolded() {
        db::Recordset rs;
        rs.open(connection, QStringLiteral("select * from yanshu"));
        for (const char* name : {"Li Ming", " 林晓燕 ", "林晓燕", "O'Brien"}) {
            rs.addNew();
            rs.setValue(contacts::nameColumn, QString::fromUtf8(name));
            rs.update();
        }
        const QString byName = QStringLiteral("select * from yanshu where GR_XM = ?");
        QCOMPARE(namesFound(byName, "li ming"), QStringList{"Li Ming"});
        QCOMPARE(namesFound(byName, "Li  Ming"), QStringList{});
        QCOMPARE(namesFound(byName, "林晓燕"), QStringList{"林晓燕"});
        QCOMPARE(namesFound(byName, " 林晓燕 "), QStringList{" 林晓燕 "});
        QCOMPARE(namesFound(byName, "林晓"), QStringList{});
        QCOMPARE(namesFound(byName, "o'brien"), QStringList{"O'Brien"});
    }

    void findingByNameUsesTheIndex() {
        db::Recordset plan;
        plan.open(connection,
                  QStringLiteral("explain query plan select * from yanshu where GR_XM = ?"),
                  {QStringLiteral("x")});
        QVERIFY2(plan.text(u"detail").contains(QStringLiteral("INDEX yanshu_GR_XM")),
                 qPrintable(plan.text(u"detail")));
    }

    void userNamesFoldCaseButPasswordsAreKeptExactly() {
        contacts::addUser(connection, QStringLiteral("Zhang San"), QStringLiteral(" PassWord "));
        QCOMPARE(namesFound(QStringLiteral("select YHMA as GR_XM from MaB where MaB.YHM = ?"),
                            QStringLiteral("zhang san")),
                 QStringList{" PassWord "});
        QCOMPARE(namesFound(QStringLiteral("select YHM as GR_XM from mab where YHM = ?"),
                            QStringLiteral("ADMIN")),
                 QStringList{"admin"});
    }
};

int runStoreTests(int argc, char* argv[]) {
    StoreTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_store.moc"
