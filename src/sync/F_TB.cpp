#include "F_TB.h"

#include "SyncStore.h"
#include "SyncWork.h"

#include "contacts/Book.h"
#include "contacts/WithBook.h"
#include "platform/Clock.h"
#include "platform/Secrets.h"
#include "platform/db/Connection.h"
#include "platform/net/Http.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/InputBox.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Progress.h"
#include "platform/ui/Twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace carddav {

namespace {

const QString settingsTitle = QStringLiteral("同步设置");
const QString syncTitle = QStringLiteral("立即同步");
// The report shows this many notes; the rest are counted.
constexpr int notesShown = 10;

// Runs the work aside while the progress window shows `text`; its 取消
// cancels the work. Returns once the work has ended.
void waitFor(ui::ProgressService& progress, const QString& text, platform::Aside& aside) {
    ui::ProgressScope scope(progress, text);
    QEventLoop loop;
    QObject::connect(&aside, &platform::Aside::finished, &loop, &QEventLoop::quit);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (!scope(0, 0)) {
            aside.cancel();
        }
    });
    tick.start(50);
    aside.start();
    loop.exec();
}

QLabel* caption(ui::FormWidget* form, QStringView name, const QString& text, int top) {
    QLabel* label = ui::label(form, name, text);
    ui::place(label, 240, top + 30, 1440, 255);
    return label;
}

QLineEdit* textBox(ui::FormWidget* form, QStringView name, int top) {
    auto* box = ui::make<QLineEdit>(form, name);
    ui::place(box, 1680, top, 4080, 300);
    return box;
}

} // namespace

F_TB_Controls::F_TB_Controls(ui::FormWidget* form) {
    form->setWindowTitle(settingsTitle);
    form->setFont(ui::font(u"宋体", 9));
    Label1 = caption(form, u"Label1", QStringLiteral("服务器地址(&S)："), 240);
    txtServer = textBox(form, u"txtServer", 240);
    txtServer->setPlaceholderText(QStringLiteral("https://dav.example.com"));
    Label1->setBuddy(txtServer);
    Label2 = caption(form, u"Label2", QStringLiteral("用户名(&U)："), 660);
    txtUser = textBox(form, u"txtUser", 660);
    Label2->setBuddy(txtUser);
    Label3 = caption(form, u"Label3", QStringLiteral("密码(&P)："), 1080);
    txtPassword = textBox(form, u"txtPassword", 1080);
    txtPassword->setEchoMode(QLineEdit::Password);
    Label3->setBuddy(txtPassword);
    Label4 = caption(form, u"Label4", QStringLiteral("通讯录(&B)："), 1500);
    cboBook = ui::make<QComboBox>(form, u"cboBook");
    ui::place(cboBook, 1680, 1500, 2760, 300);
    Label4->setBuddy(cboBook);
    cmdFind = ui::button(form, u"cmdFind", QStringLiteral("查找(&F)"), 4560, 1470, 1200, 360);
    chkAuto = ui::make<QCheckBox>(form, u"chkAuto");
    chkAuto->setText(QStringLiteral("登录和退出时自动同步(&A)"));
    ui::place(chkAuto, 1680, 1950, 4080, 300);
    cmdOK = ui::button(form, u"cmdOK", QStringLiteral("确定"), 3000, 2460, 1320, 420);
    cmdOK->setDefault(true);
    cmdCancel = ui::button(form, u"cmdCancel", QStringLiteral("取消"), 4440, 2460, 1320, 420);
}

F_TB::F_TB(const platform::Services& services)
    : FormOf(QStringLiteral("F_TB"))
    , services_(services) {}

void F_TB::wireEvents(F_TB_Controls& c) {
    QObject::connect(c.cmdFind, &QPushButton::clicked, [this] { cmdFind_Click(); });
    QObject::connect(c.cmdOK, &QPushButton::clicked, [this] { cmdOK_Click(); });
    QObject::connect(c.cmdCancel, &QPushButton::clicked, [this] { cmdCancel_Click(); });
}

void F_TB::Form_Load() {
    auto& c = ui();
    client()->setWindowFlags(Qt::Window);
    setClientSize(6000, 3120);
    std::optional<Account> account;
    contacts::withBook(
        services_, [&](db::Connection& connection) { account = SyncStore::accountOf(connection); });
    if (!account) {
        return;
    }
    c.txtServer->setText(account->server.toString());
    c.txtUser->setText(account->user);
    c.txtPassword->setText(services_.secrets.read(passwordKey(*account)).value_or(QString()));
    c.cboBook->addItem(account->book.toString(), account->book);
    c.chkAuto->setChecked(account->automatic);
}

bool F_TB::findBooks(bool makeIfNone) {
    auto& c = ui();
    const QUrl server = QUrl::fromUserInput(c.txtServer->text().trimmed());
    const Credentials credentials{c.txtUser->text().trimmed(), c.txtPassword->text()};
    if (!server.isValid() || server.host().isEmpty() || credentials.user.isEmpty()) {
        services_.messageBox.show(QStringLiteral("请填写服务器地址和用户名。"), settingsTitle);
        return false;
    }
    QList<AddressBook> books;
    QString failure;
    platform::Aside aside([&](const std::atomic_bool& cancelled) {
        try {
            const std::unique_ptr<net::Http> http = net::systemHttp(&cancelled);
            CardDavClient dav(*http, credentials);
            books = dav.addressBooks(server);
            if (books.isEmpty() && makeIfNone) {
                books.append({dav.makeAddressBook(server, QStringLiteral("雁书簿")),
                              QStringLiteral("雁书簿")});
            }
        } catch (const DavError& e) {
            failure = e.userMessage();
        }
    });
    waitFor(services_.progress, QStringLiteral("正在连接服务器……"), aside);
    if (!failure.isEmpty()) {
        services_.messageBox.show(failure, settingsTitle);
        return false;
    }
    c.cboBook->clear();
    for (const AddressBook& book : books) {
        c.cboBook->addItem(book.name, book.url);
    }
    if (books.isEmpty()) {
        services_.messageBox.show(
            QStringLiteral("服务器上这个用户还没有通讯录；按“确定”会新建一个“雁书簿”。"),
            settingsTitle);
    }
    return true;
}

void F_TB::cmdFind_Click() {
    findBooks(false);
}

void F_TB::cmdOK_Click() {
    auto& c = ui();
    if (c.cboBook->count() == 0 && !findBooks(true)) {
        return;
    }
    const Account account{QUrl::fromUserInput(c.txtServer->text().trimmed()),
                          c.cboBook->currentData().toUrl(),
                          c.txtUser->text().trimmed(),
                          {},
                          {},
                          c.chkAuto->isChecked()};
    const bool stored = contacts::withBook(
        services_, [&](db::Connection& connection) { SyncStore(connection).setAccount(account); });
    if (!stored) {
        return;
    }
    if (!services_.secrets.write(passwordKey(account), c.txtPassword->text())) {
        services_.messageBox.show(
            QStringLiteral("系统的密码库不可用，密码没有保存；每次同步时会询问密码。"),
            settingsTitle);
    }
    unload();
}

void F_TB::cmdCancel_Click() {
    unload();
}

bool syncNow(const platform::Services& services, contacts::BookChanges& changes, SyncStart start) {
    const bool asked = start == SyncStart::Asked;
    std::optional<Account> account;
    if (!contacts::withBook(services, [&](db::Connection& connection) {
            account = SyncStore::accountOf(connection);
        })) {
        return false;
    }
    if (!account && asked) {
        services.messageBox.show(
            QStringLiteral("还没有设置同步账户。请先在“文件”菜单的“同步设置...”中设置。"),
            syncTitle);
    }
    if (!account || (!asked && !account->automatic)) {
        return false;
    }
    std::optional<QString> password = services.secrets.read(passwordKey(*account));
    if (!password) {
        password = services.inputBox.ask(
            QStringLiteral("请输入 %1 在 %2 的密码：").arg(account->user, account->server.host()),
            syncTitle);
        if (!password) {
            return false;
        }
    }
    // Asked on the sync's thread; answered here, in the window's.
    const SyncEngine::Confirm confirm = [&services](qint64 deleting, qint64 of) {
        ui::Answer answer = ui::Answer::No;
        QMetaObject::invokeMethod(
            qApp,
            [&] {
                answer = services.messageBox.show(
                    QStringLiteral("这次同步要删除 %1 个联系人（共 %2 个）。确实要继续吗？")
                        .arg(deleting)
                        .arg(of),
                    syncTitle, ui::Buttons::YesNo);
            },
            Qt::BlockingQueuedConnection);
        return answer == ui::Answer::Yes;
    };
    SyncReport report;
    QString failure;
    platform::Aside aside(
        syncWork(services.databaseFile, {account->user, *password}, confirm, report, failure));
    waitFor(services.progress, QStringLiteral("正在与服务器同步……"), aside);
    emit changes.changed();
    QStringList lines{failure.isEmpty() ? QStringLiteral("同步完成：%1。").arg(report.summary())
                                        : failure};
    lines << report.notes.mid(0, notesShown);
    if (report.notes.size() > notesShown) {
        lines << QStringLiteral("……另有 %1 条").arg(report.notes.size() - notesShown);
    }
    contacts::withBook(services, [&](db::Connection& connection) {
        SyncStore(connection)
            .addToLog({services.clock.now(),
                       (asked ? QString() : QStringLiteral("（自动）")) + lines.join(u'\n')});
    });
    // A sync of its own accord speaks only of what needs the user.
    if (asked || !failure.isEmpty() || !report.notes.isEmpty()) {
        services.messageBox.show(lines.join(u'\n'), syncTitle);
    }
    return failure.isEmpty();
}

} // namespace carddav
