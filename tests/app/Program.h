#pragma once

#include "TestServices.h"

#include "app/Forms.h"

#include <QLineEdit>
#include <QtTest>

namespace test {

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
}

} // namespace test
