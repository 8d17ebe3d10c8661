#pragma once

#include "TestServices.h"

#include "app/Forms.h"
#include "contacts/Schema.h"
#include "platform/db/ConnectionString.h"

#include <QLineEdit>
#include <QtTest>

namespace test {

// The whole program over fresh doubles, with these contacts (SQL values of
// Id, GR_XM and GR_DH) in its file, or none.
inline void setUp(std::unique_ptr<TestServices>& s, std::unique_ptr<app::Forms>& forms,
                  const QString& contacts = {}) {
    s = std::make_unique<TestServices>();
    forms = std::make_unique<app::Forms>(s->services);
    if (contacts.isEmpty()) {
        return;
    }
    writeBook(s->folder.databasePath(),
              QStringLiteral("INSERT INTO yanshu (Id, GR_XM, GR_DH) VALUES ") + contacts);
}

// The windows go before their services; then every scripted box must have come.
inline void tearDown(std::unique_ptr<TestServices>& s, std::unique_ptr<app::Forms>& forms) {
    const QStringList problems = s->messageBox.problems();
    forms.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    s.reset();
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

// The splash's hand-over, as after its 2.5 s: the login dialog comes up.
inline void start(app::Forms& forms) {
    forms.F_LOGO.show();
    forms.F_LOGO.Timer1_Timer();
    QVERIFY(!forms.F_LOGO.isLoaded());
    QVERIFY(forms.F_DL.isLoaded());
}

// The demo user logs in on the Monday of the fixed clock.
inline void logIn(app::Forms& forms, ScriptedMessageBox& box) {
    start(forms);
    box.expect(QStringLiteral("今天是星期一，又是新的一周，开始工作。"), QStringLiteral("雁书簿"));
    auto& d = forms.F_DL.controls();
    d.txtUserName->setText(QStringLiteral("admin"));
    d.txtPassword->setText(QStringLiteral("123456"));
    QTest::keyClick(d.txtPassword, Qt::Key_Return);
    QVERIFY(!forms.F_DL.isLoaded());
    // The birthdays' reminder has had its say and let the book go.
    QTRY_VERIFY(!forms.MDI_OK.remindingBirthdays());
}

} // namespace test
