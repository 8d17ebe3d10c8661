#include "TestServices.h"

#include "account/UserStore.h"
#include "contacts/Schema.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

namespace test {

void ScriptedMessageBox::expect(const QString& text, const QString& title, ui::Answer answer) {
    script_.push_back({text, title, answer});
}

void ScriptedMessageBox::expectError(const QString& fragment) {
    script_.push_back({fragment, QStringLiteral("雁书簿"), ui::Answer::Ok, true});
}

QStringList ScriptedMessageBox::problems() const {
    QStringList all = problems_;
    for (const Expected& e : script_) {
        all << QStringLiteral("message never shown: %1 [%2]").arg(e.text, e.title);
    }
    return all;
}

ui::Answer ScriptedMessageBox::present(const ui::Message& message) {
    shown << message;
    if (onShow) {
        onShow(message);
    }
    if (script_.empty()) {
        problems_ << QStringLiteral("unexpected message: %1 [%2]").arg(message.text, message.title);
        return message.buttons == ui::Buttons::Ok ? ui::Answer::Ok : ui::Answer::No;
    }
    const Expected e = script_.front();
    script_.pop_front();
    const bool textMatches =
        e.fragment ? message.text.contains(e.text) && message.icon == ui::Icon::Critical
                   : e.text == message.text;
    if (!textMatches || e.title != message.title) {
        problems_ << QStringLiteral("expected %1 [%2], got %3 [%4]")
                         .arg(e.text, e.title, message.text, message.title);
    }
    return e.answer;
}

std::optional<QString> ScriptedInputBox::ask(const QString& prompt, const QString&,
                                             const QString&) {
    prompts << prompt;
    if (answers.empty()) {
        return std::nullopt;
    }
    const bool cancelled = !answers.front().has_value();
    const QString text = answers.front().value_or(QString());
    answers.pop_front();
    if (cancelled) {
        return std::nullopt;
    }
    return text;
}

ProgramFolder::ProgramFolder()
    : dir_(QDir::tempPath() + QStringLiteral("/雁书簿 测试 XXXXXX")) {
    db::Connection connection;
    connection.create(databasePath());
    contacts::createSchema(connection);
    account::UserStore::add(connection, QStringLiteral("admin"), QStringLiteral("123456"));
}

FileLock::FileLock(const QString& databaseFile) {
    connection_.open(db::connectionString(databaseFile));
    connection_.execute(QStringLiteral("BEGIN EXCLUSIVE; UPDATE mab SET YHMA = YHMA;"));
}

void FileLock::release() {
    connection_.execute(QStringLiteral("ROLLBACK"));
}

void writeBook(const QString& databaseFile, const QString& sql) {
    db::Connection connection;
    contacts::openDatabase(connection, db::connectionString(databaseFile));
    connection.reserveWrites({});
    connection.execute(sql);
}

int openHandles(const QString& path, qint64 pid) {
    const QString fds =
        pid ? QStringLiteral("/proc/%1/fd").arg(pid) : QStringLiteral("/proc/self/fd");
    const QString target = QFileInfo(path).canonicalFilePath();
    int count = 0;
    for (const QFileInfo& fd : QDir(fds).entryInfoList(QDir::Files | QDir::System)) {
        count += !target.isEmpty() && fd.symLinkTarget() == target;
    }
    return count;
}

void expectOpenHandles(const QString& path, int count) {
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    Q_UNUSED(count);
#else
    QCOMPARE(openHandles(path), count);
#endif
}

void commitText(QWidget* box, const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(box, &event);
}

QStringList tabOrder(QWidget* first, int count) {
    QStringList names;
    QWidget* w = first;
    do {
        if (w->focusPolicy() & Qt::TabFocus && w->parentWidget() == first->parentWidget()) {
            names << w->objectName();
        }
        w = w->nextInFocusChain();
    } while (names.size() < count && w != first);
    return names;
}

QStringList labelsCut(QWidget* form) {
    QStringList cut;
    const QList<QWidget*> children = form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QLabel* label : form->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        if (label->text().isEmpty() || label->isHidden()) {
            continue;
        }
        QString text = label->text();
        text.remove(u'&');
        const QSize needed =
            label->wordWrap()
                ? label->fontMetrics()
                      .boundingRect(QRect(0, 0, label->width(), 1 << 20), Qt::TextWordWrap, text)
                      .size()
                : label->fontMetrics().size(0, text);
        if (needed.width() > label->width() || needed.height() > label->height()) {
            cut << QStringLiteral("%1 \"%2\" needs %3×%4 px, has %5×%6")
                       .arg(label->objectName(), text)
                       .arg(needed.width())
                       .arg(needed.height())
                       .arg(label->width())
                       .arg(label->height());
        }
        for (QWidget* control : children) {
            const bool box = qobject_cast<QLineEdit*>(control) ||
                             qobject_cast<QComboBox*>(control) ||
                             qobject_cast<QAbstractScrollArea*>(control) ||
                             qobject_cast<QAbstractButton*>(control);
            if (box && !control->isHidden() && label->geometry().intersects(control->geometry())) {
                cut << QStringLiteral("%1 reaches into %2")
                           .arg(label->objectName(), control->objectName());
            }
        }
    }
    return cut;
}

} // namespace test
