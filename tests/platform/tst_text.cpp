// Text services on their own: Qt Core only.

#include "platform/text/Pinyin.h"

#include <QtTest>

class TextTest : public QObject {
    Q_OBJECT

private slots:
    void everyReadingPreferredFirst() {
        QCOMPARE(text::readings(U'曾'), (QStringList{"ceng", "zeng"}));
        QCOMPARE(text::readings(U'行').first(), QStringLiteral("xing"));
        QVERIFY(text::readings(U'行').contains(QStringLiteral("hang")));
    }

    // 单's chan and shan are only in the modern dictionaries' fields.
    void readingsOfSimplifiedCharacters() {
        QCOMPARE(text::readings(U'单'), (QStringList{"dan", "chan", "shan"}));
        QCOMPARE(text::readings(U'张'), QStringList{"zhang"});
    }

    void umlautIsV() {
        QCOMPARE(text::readings(U'吕'), QStringList{"lv"});
        QCOMPARE(text::readings(U'女').first(), QStringLiteral("nv"));
    }

    void beyondTheBasicPlane() { QCOMPARE(text::readings(U'\U00020000'), QStringList{"he"}); }

    // Before the first run, in a hole inside one, and past the last.
    void noReading() {
        QVERIFY(text::readings(U'A').isEmpty());
        QVERIFY(text::readings(U'\0').isEmpty());
        QVERIFY(!text::readings(U'\u3401').isEmpty());
        QVERIFY(text::readings(U'\u3402').isEmpty());
        QVERIFY(text::readings(U'\U0010FFFF').isEmpty());
    }
};

QTEST_GUILESS_MAIN(TextTest)
#include "tst_text.moc"
