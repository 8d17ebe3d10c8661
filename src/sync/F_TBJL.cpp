#include "F_TBJL.h"

#include "F_TB.h"
#include "SyncStore.h"

#include "contacts/WithBook.h"
#include "platform/db/Connection.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Twips.h"

#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>

namespace carddav {

F_TBJL_Controls::F_TBJL_Controls(ui::FormWidget* form) {
    form->setWindowTitle(QStringLiteral("同步记录"));
    form->setFont(ui::font(u"宋体", 9));
    lstLog = ui::make<QTreeWidget>(form, u"lstLog");
    lstLog->setHeaderLabels({QStringLiteral("时间"), QStringLiteral("结果")});
    lstLog->setRootIsDecorated(false);
    lstLog->setAllColumnsShowFocus(true);
    lstLog->setWordWrap(true);
    lstLog->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    ui::place(lstLog, 240, 240, 7200, 3600);
    cmdClose = ui::button(form, u"cmdClose", QStringLiteral("关闭"), 6120, 4080, 1320, 420);
    cmdClose->setDefault(true);
}

F_TBJL::F_TBJL(const platform::Services& services)
    : FormOf(QStringLiteral("F_TBJL"))
    , services_(services) {}

void F_TBJL::wireEvents(F_TBJL_Controls& c) {
    QObject::connect(c.cmdClose, &QPushButton::clicked, [this] { cmdClose_Click(); });
}

void F_TBJL::Form_Load() {
    client()->setWindowFlags(Qt::Window);
    setClientSize(7680, 4740);
    QList<SyncLogEntry> log;
    contacts::withBook(services_,
                       [&](db::Connection& connection) { log = SyncStore(connection).log(); });
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    for (const SyncLogEntry& entry : log) {
        new QTreeWidgetItem(ui().lstLog, {chinese.toString(entry.at.toLocalTime(),
                                                           QStringLiteral("yyyy-MM-dd HH:mm")),
                                          entry.said});
    }
}

void F_TBJL::cmdClose_Click() {
    unload();
}

} // namespace carddav
