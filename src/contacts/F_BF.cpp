#include "F_BF.h"

#include "platform/Clock.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Guard.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Progress.h"
#include "platform/ui/Twips.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QThreadPool>
#include <QTreeWidget>

#include <functional>

namespace contacts {

namespace {

const QString title = QStringLiteral("备份与恢复");

enum Column { TakenColumn, ContactsColumn, SizeColumn };

QString takenText(const Backup& backup) {
    return backup.taken.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString contactsText(qint64 count) {
    return count < 0 ? QStringLiteral("无法读取") : QStringLiteral("%L1 位").arg(count);
}

QTreeWidgetItem* entry(QTreeWidget* list, const Backup& backup) {
    auto* item = new QTreeWidgetItem(
        list, {takenText(backup), QStringLiteral("……"),
               QLocale(QLocale::Chinese, QLocale::China).formattedDataSize(backup.bytes)});
    for (const int column : {ContactsColumn, SizeColumn}) {
        item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    }
    return item;
}

// A window of the main window, so that it stays in front of it, centred over it.
void placeOver(QWidget& window, QWidget& main) {
    window.setParent(&main, window.windowFlags() | Qt::Dialog);
    QRect frame = window.frameGeometry();
    frame.moveCenter(main.frameGeometry().center());
    window.move(frame.topLeft());
}

} // namespace

F_BF_Controls::F_BF_Controls(ui::FormWidget* form) {
    form->setWindowTitle(title);
    form->setFont(ui::font(u"宋体", 9));

    lblBook = ui::label(form, u"lblBook", {});
    lblBook->setWordWrap(true);
    lblBook->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblBook->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ui::place(lblBook, 240, 180, 6900, 540);
    Label1 = ui::label(form, u"Label1", QStringLiteral("备份(&L)，最新的在前："));
    ui::place(Label1, 240, 840, 5000, 270);
    lstBackups = ui::make<QTreeWidget>(form, u"lstBackups");
    lstBackups->setHeaderLabels(
        {QStringLiteral("备份时间"), QStringLiteral("联系人"), QStringLiteral("大小")});
    lstBackups->setRootIsDecorated(false);
    lstBackups->setUniformRowHeights(true);
    lstBackups->setAllColumnsShowFocus(true);
    lstBackups->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    lstBackups->header()->setStretchLastSection(false);
    ui::place(lstBackups, 240, 1140, 5400, 3000);
    Label1->setBuddy(lstBackups);
    Label2 = ui::label(form, u"Label2",
                       QStringLiteral("退出程序时如果这次改动过通讯录，导入联系人或升级通讯录"
                                      "改动它之前，都会自动备份，与最新的备份相同时不再备份。"
                                      "保留最近的 10 个，以及一年内每月最早的一个。"));
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ui::place(Label2, 240, 4260, 6900, 540);

    cmdBackup =
        ui::button(form, u"cmdBackup", QStringLiteral("立即备份(&B)"), 5880, 1140, 1260, 390);
    cmdRestore =
        ui::button(form, u"cmdRestore", QStringLiteral("恢复(&R)..."), 5880, 1650, 1260, 390);
    cmdClose = ui::button(form, u"cmdClose", QStringLiteral("关闭(&C)"), 5880, 3750, 1260, 390);
    form->setDialogButtons(cmdRestore, cmdClose);
}

F_BF::F_BF(const platform::Services& services)
    : FormOf(QStringLiteral("F_BF"))
    , services_(services) {}

F_BF::~F_BF() {
    stopCounting();
}

void F_BF::wireEvents(F_BF_Controls& c) {
    QObject::connect(c.cmdBackup, &QPushButton::clicked, [this] { cmdBackup_Click(); });
    QObject::connect(c.cmdRestore, &QPushButton::clicked, [this] { cmdRestore_Click(); });
    QObject::connect(c.cmdClose, &QPushButton::clicked, [this] { cmdClose_Click(); });
    QObject::connect(c.lstBackups, &QTreeWidget::itemDoubleClicked, [this] { cmdRestore_Click(); });
}

void F_BF::Form_Load() {
    auto& c = ui();
    c.lblBook->setText(QStringLiteral("正在使用的通讯录文件：%1")
                           .arg(QDir::toNativeSeparators(services_.databaseFile)));
    setClientSize(7380, 4920);
    if (QWidget* main = owner ? owner() : nullptr) {
        placeOver(*window(), *main);
    }
    window()->setFixedSize(window()->size());
    listBackups();
    c.lstBackups->setFocus();
}

void F_BF::Form_Unload() {
    stopCounting();
}

void F_BF::followBook() {
    if (isLoaded()) {
        listBackups();
    }
}

void F_BF::listBackups() {
    stopCounting();
    auto& c = ui();
    c.lstBackups->clear();
    backups_ = contacts::listBackups(services_.databaseFile);
    for (const Backup& backup : backups_) {
        entry(c.lstBackups, backup);
    }
    if (!backups_.empty()) {
        c.lstBackups->setCurrentItem(c.lstBackups->topLevelItem(0));
    }
    c.cmdRestore->setEnabled(!backups_.empty());
    countContacts();
}

// Counting reads a backup's smallest index, which takes a while for a
// large book: on a thread of the pool, each line filled in as its count
// comes, the window free meanwhile.
void F_BF::countContacts() {
    auto stopped = std::make_shared<std::atomic_bool>(false);
    countingStopped_ = stopped;
    QStringList paths;
    for (const Backup& backup : backups_) {
        paths << backup.path;
    }
    QThreadPool::globalInstance()->start([this, stopped, paths] {
        for (int row = 0; row < paths.size() && !*stopped; ++row) {
            const qint64 count = contactsIn(paths[row]);
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [this, stopped, row, count] {
                    if (*stopped) {
                        return; // set in this thread too: the list is gone or another
                    }
                    ui().lstBackups->topLevelItem(row)->setText(ContactsColumn,
                                                                contactsText(count));
                },
                Qt::QueuedConnection);
        }
    });
}

void F_BF::stopCounting() {
    if (countingStopped_) {
        *countingStopped_ = true;
    }
}

int F_BF::chosenRow() {
    QTreeWidget* list = ui().lstBackups;
    return list->currentItem() ? list->indexOfTopLevelItem(list->currentItem()) : -1;
}

void F_BF::cmdBackup_Click() {
    KeptBackup kept;
    if (!ui::guarded(services_.messageBox, [&] {
            ui::ProgressScope progress(services_.progress, QStringLiteral("正在备份通讯录……"));
            kept = takeBackup(services_.databaseFile, services_.clock.now(), std::ref(progress));
        })) {
        return;
    }
    listBackups();
    const QString shown = QDir::toNativeSeparators(kept.path);
    services_.messageBox.show(
        kept.taken ? QStringLiteral("已备份到“%1”。").arg(shown)
                   : QStringLiteral("通讯录与最新的备份“%1”相同，不用再备份。").arg(shown),
        title);
}

void F_BF::cmdRestore_Click() {
    const int row = chosenRow();
    if (row < 0 || std::size_t(row) >= backups_.size()) {
        services_.messageBox.show(QStringLiteral("请先在列表中选择要恢复的备份。"), title);
        return;
    }
    const Backup chosen = backups_[std::size_t(row)];
    const ui::Answer answer = services_.messageBox.show(
        QStringLiteral("确实要用 %1 的备份替换现在的通讯录吗？\n\n"
                       "现在的通讯录会先另存为一个备份，需要时还可以恢复。")
            .arg(takenText(chosen)),
        title, ui::Buttons::YesNo);
    if (answer != ui::Answer::Yes) {
        return;
    }
    if (beforeRestore && !beforeRestore()) {
        services_.messageBox.show(
            QStringLiteral("请先保存或取消正在添加或修改的联系人，再恢复备份。"), title);
        return;
    }
    QString kept;
    const bool restored = ui::guarded(services_.messageBox, [&] {
        ui::ProgressScope progress(services_.progress, QStringLiteral("正在恢复备份……"));
        kept = restoreBackup(services_.databaseFile, chosen.path, services_.clock.now(),
                             std::ref(progress));
    });
    if (afterRestore) {
        afterRestore();
    }
    if (!restored) {
        return;
    }
    listBackups();
    services_.messageBox.show(QStringLiteral("已恢复 %1 的备份。恢复前的通讯录保存为“%2”。")
                                  .arg(takenText(chosen), QFileInfo(kept).fileName()),
                              title);
}

void F_BF::cmdClose_Click() {
    unload();
}

} // namespace contacts
