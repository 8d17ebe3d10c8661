#include "F_QTXX.h"

#include "Extras.h"
#include "Schema.h"

#include "platform/Clock.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/DbError.h"
#include "platform/db/Statement.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Twips.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace contacts {

namespace {

enum Column { LabelColumn, TextColumn };

} // namespace

F_QTXX_Controls::F_QTXX_Controls(ui::FormWidget* form) {
    form->setFont(ui::font(u"宋体", 9));
    lblName = ui::label(form, u"lblName", {});
    ui::place(lblName, 240, 180, 6000, 270);
    grdExtras = ui::make<QTableWidget>(form, u"grdExtras");
    grdExtras->setColumnCount(2);
    grdExtras->setHorizontalHeaderLabels({QStringLiteral("项目"), QStringLiteral("内容")});
    grdExtras->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdExtras->setSelectionMode(QAbstractItemView::SingleSelection);
    grdExtras->verticalHeader()->hide();
    grdExtras->horizontalHeader()->setStretchLastSection(true);
    grdExtras->setColumnWidth(LabelColumn, ui::px(1500));
    ui::place(grdExtras, 240, 540, 6000, 3600);
    cboKind = ui::make<QComboBox>(form, u"cboKind");
    for (const ExtraKind& kind : extraKinds) {
        cboKind->addItem(kind.label.toString());
    }
    ui::place(cboKind, 6420, 540, 1500, 330);
    cmdAdd = ui::button(form, u"cmdAdd", QStringLiteral("添加(&A)"), 6420, 960, 1500, 390);
    cmdRemove = ui::button(form, u"cmdRemove", QStringLiteral("删除(&D)"), 6420, 1470, 1500, 390);
    cmdOK = ui::button(form, u"cmdOK", QStringLiteral("确定"), 6420, 3240, 1500, 390);
    cmdCancel = ui::button(form, u"cmdCancel", QStringLiteral("取消"), 6420, 3750, 1500, 390);
    form->setDialogButtons(cmdOK, cmdCancel);
}

F_QTXX::F_QTXX(const platform::Services& services, BookChanges& changes)
    : FormOf(QStringLiteral("F_QTXX"))
    , services_(services)
    , changes_(changes) {}

void F_QTXX::wireEvents(F_QTXX_Controls& c) {
    QObject::connect(c.cmdAdd, &QPushButton::clicked, [this] { cmdAdd_Click(); });
    QObject::connect(c.cmdRemove, &QPushButton::clicked, [this] { cmdRemove_Click(); });
    QObject::connect(c.cmdOK, &QPushButton::clicked, [this] { cmdOK_Click(); });
    QObject::connect(c.cmdCancel, &QPushButton::clicked, [this] { cmdCancel_Click(); });
}

void F_QTXX::showFor(qint64 rowId) {
    rowId_ = rowId;
    if (isLoaded()) {
        load();
    }
    show();
}

void F_QTXX::Form_Load() {
    setCaption(QStringLiteral("其他信息"));
    setClientSize(8160, 4380);
    if (!ui::guarded(services_.messageBox, [this] {
            openDatabase(connection_, db::connectionString(services_.databaseFile));
        })) {
        unload();
        return;
    }
    load();
}

void F_QTXX::Form_Unload() {
    connection_.close();
    extras_.clear();
    shown_.clear();
}

// The contact's name and extras as they are stored now.
void F_QTXX::load() {
    extras_.clear();
    const bool read = ui::guarded(services_.messageBox, [this] {
        db::Statement contact(connection_,
                              QStringLiteral("SELECT UID, GR_XM FROM yanshu WHERE _rowid_ = ?"));
        contact.bind(1, QVariant::fromValue(rowId_));
        if (!contact.step()) {
            throw db::DbError(QStringLiteral("这位联系人已不在通讯录中。"),
                              QStringLiteral("row %1: no such row").arg(rowId_));
        }
        ui().lblName->setText(QStringLiteral("联系人：%1").arg(contact.value(1).toString()));
        extras_ = Book(connection_).extrasOf(contact.value(0).toString());
    });
    if (!read) {
        unload();
        return;
    }
    listExtras();
}

void F_QTXX::listExtras() {
    QTableWidget* grid = ui().grdExtras;
    const QStringList labels = extraLabels(extras_);
    shown_.clear();
    for (std::size_t i = 0; i < extras_.size(); ++i) {
        if (isShown(extras_[i])) {
            shown_.push_back(i);
        }
    }
    grid->setRowCount(int(shown_.size()));
    for (int row = 0; row < grid->rowCount(); ++row) {
        const std::size_t i = shown_[std::size_t(row)];
        auto* label = new QTableWidgetItem(labels[qsizetype(i)]);
        label->setFlags(label->flags() & ~Qt::ItemIsEditable);
        grid->setItem(row, LabelColumn, label);
        grid->setItem(row, TextColumn, new QTableWidgetItem(extraText(extras_[i])));
    }
}

// What was typed into the lines, into their extras; an untouched line
// keeps its value exactly as it came.
void F_QTXX::takeTexts() {
    QTableWidget* grid = ui().grdExtras;
    grid->setCurrentIndex({}); // a line being typed into gives up its text
    for (int row = 0; row < grid->rowCount(); ++row) {
        Extra& extra = extras_[shown_[std::size_t(row)]];
        const QString text = grid->item(row, TextColumn)->text();
        if (text != extraText(extra)) {
            setExtraText(extra, text);
        }
    }
}

void F_QTXX::cmdAdd_Click() {
    takeTexts();
    extras_.push_back(extraOfKind(extraKinds[std::size_t(ui().cboKind->currentIndex())], {}));
    listExtras();
    QTableWidget* grid = ui().grdExtras;
    grid->setCurrentCell(grid->rowCount() - 1, TextColumn);
    grid->editItem(grid->currentItem());
}

void F_QTXX::cmdRemove_Click() {
    const int row = ui().grdExtras->currentIndex().row();
    if (row < 0) {
        return;
    }
    takeTexts();
    const std::size_t index = shown_[std::size_t(row)];
    const QString group = extras_[index].group;
    extras_.erase(extras_.begin() + qsizetype(index));
    // A label with nothing left to label goes with it.
    const auto inGroup = [&](const Extra& e) {
        return !group.isEmpty() && e.group.compare(group, Qt::CaseInsensitive) == 0;
    };
    if (std::ranges::none_of(extras_, [&](const Extra& e) { return isShown(e) && inGroup(e); })) {
        std::erase_if(extras_, [&](const Extra& e) { return isCompanion(e) && inGroup(e); });
    }
    listExtras();
}

void F_QTXX::cmdOK_Click() {
    takeTexts();
    std::erase_if(extras_,
                  [](const Extra& e) { return isShown(e) && extraText(e).trimmed().isEmpty(); });
    if (ui::guarded(services_.messageBox, [this] {
            Book(connection_, &changes_, [this] {
                return services_.clock.now();
            }).setExtras(rowId_, extras_);
        })) {
        unload();
    }
}

void F_QTXX::cmdCancel_Click() {
    unload();
}

} // namespace contacts
