#include "F_HB.h"

#include "ContactColumns.h"
#include "Schema.h"

#include "platform/db/ConnectionString.h"
#include "platform/db/DbError.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Guard.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Twips.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace contacts {

namespace {

const QString title = QStringLiteral("合并联系人");

} // namespace

F_HB_Controls::F_HB_Controls(ui::FormWidget* form) {
    form->setWindowTitle(title);
    form->setFont(ui::font(u"宋体", 9));
    lblNote = ui::label(form, u"lblNote",
                        QStringLiteral("两边不同的，点选要留下的一项；没选的存进“其他信息”，"
                                       "不会丢掉。"));
    ui::place(lblNote, 240, 180, 9600, 255);
    grdFields = ui::make<QTableWidget>(form, u"grdFields");
    grdFields->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdFields->setSelectionMode(QAbstractItemView::NoSelection);
    grdFields->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui::place(grdFields, 240, 540, 9600, 5400);
    cmdMerge = ui::button(form, u"cmdMerge", QStringLiteral("合并(&M)"), 240, 6120, 1320, 420);
    cmdMerge->setDefault(true);
    cmdUndo = ui::button(form, u"cmdUndo", QStringLiteral("撤销(&U)"), 1680, 6120, 1320, 420);
    cmdClose = ui::button(form, u"cmdClose", QStringLiteral("关闭"), 8520, 6120, 1320, 420);
}

F_HB::F_HB(const platform::Services& services, BookChanges& changes)
    : FormOf(QStringLiteral("F_HB"))
    , services_(services)
    , changes_(changes) {}

void F_HB::wireEvents(F_HB_Controls& c) {
    QObject::connect(c.grdFields, &QTableWidget::cellClicked,
                     [this](int row, int column) { grdFields_Click(row, column); });
    QObject::connect(c.cmdMerge, &QPushButton::clicked, [this] { cmdMerge_Click(); });
    QObject::connect(c.cmdUndo, &QPushButton::clicked, [this] { cmdUndo_Click(); });
    QObject::connect(c.cmdClose, &QPushButton::clicked, [this] { cmdClose_Click(); });
}

void F_HB::showFor(const std::vector<qint64>& rows) {
    rows_ = rows;
    done_.reset();
    if (isLoaded() && !load()) {
        unload();
        return;
    }
    show();
}

void F_HB::Form_Load() {
    client()->setWindowFlags(Qt::Window);
    setClientSize(10080, 6720);
    if (!ui::guarded(
            services_.messageBox,
            [this] { openDatabase(connection_, db::connectionString(services_.databaseFile)); }) ||
        !load()) {
        unload();
    }
}

void F_HB::Form_Unload() {
    connection_.close();
    group_.clear();
    done_.reset();
}

// The group as the book has it now; false, said, when fewer than two are left.
bool F_HB::load() {
    group_.clear();
    const bool read = ui::guarded(services_.messageBox, [this] {
        Book book(connection_);
        for (const qint64 row : rows_) {
            if (std::optional<StoredContact> one = book.byRow(row)) {
                group_.push_back(std::move(*one));
            }
        }
    });
    if (!read) {
        return false;
    }
    if (group_.size() < 2) {
        services_.messageBox.show(QStringLiteral("这组联系人已不全在通讯录中，无需合并。"), title);
        return false;
    }
    choices_ = defaultChoices(group_);
    showGroup();
    return true;
}

void F_HB::showGroup() {
    auto& c = ui();
    QTableWidget* grid = c.grdFields;
    const int columns = int(group_.size());
    grid->clear();
    grid->setRowCount(fieldCount);
    grid->setColumnCount(columns + 1);
    QStringList headers;
    for (const StoredContact& one : group_) {
        const QDateTime changed = QDateTime::fromString(one.contact.rev, Qt::ISODateWithMs);
        headers << QStringLiteral("联系人%1\n%2")
                       .arg(headers.size() + 1)
                       .arg(changed.isValid()
                                ? changed.toLocalTime().toString(QStringLiteral("yyyy-MM-dd 修改"))
                                : QString());
    }
    grid->setHorizontalHeaderLabels(headers << QStringLiteral("合并后"));
    QStringList captions;
    for (const ContactColumn& column : textColumns) {
        captions << column.caption.trimmed().toString();
    }
    grid->setVerticalHeaderLabels(captions);
    for (int f = 0; f < fieldCount; ++f) {
        const bool choose = differs(group_, Field(f));
        for (int i = 0; i < columns; ++i) {
            auto* item =
                new QTableWidgetItem(group_[std::size_t(i)].contact.fields[std::size_t(f)]);
            if (choose && !item->text().isEmpty()) {
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            } else {
                item->setFlags(Qt::ItemIsEnabled);
            }
            grid->setItem(f, i, item);
        }
    }
    c.cmdMerge->setEnabled(!done_);
    c.cmdUndo->setEnabled(bool(done_));
    showMerged();
}

// The ticks and the merged card's column as the choices stand.
void F_HB::showMerged() {
    QTableWidget* grid = ui().grdFields;
    const int columns = int(group_.size());
    const Contact merged = mergedContact(group_, choices_);
    for (int f = 0; f < fieldCount; ++f) {
        for (int i = 0; i < columns; ++i) {
            QTableWidgetItem* item = grid->item(f, i);
            if (item->flags() & Qt::ItemIsUserCheckable) {
                item->setCheckState(choices_[std::size_t(f)] == i ? Qt::Checked : Qt::Unchecked);
            }
        }
        grid->setItem(f, columns, new QTableWidgetItem(merged.fields[std::size_t(f)]));
        grid->item(f, columns)->setFlags(Qt::ItemIsEnabled);
    }
}

void F_HB::grdFields_Click(int row, int column) {
    QTableWidgetItem* item = ui().grdFields->item(row, column);
    if (done_ || !item || !(item->flags() & Qt::ItemIsUserCheckable)) {
        return;
    }
    choices_[std::size_t(row)] = column;
    showMerged();
}

void F_HB::cmdMerge_Click() {
    const bool wrote = ui::guarded(services_.messageBox, [this] {
        Book book(connection_, &changes_);
        done_ = merge(connection_, book, group_, mergedContact(group_, choices_));
    });
    if (!wrote) {
        return;
    }
    ui().cmdMerge->setEnabled(false);
    ui().cmdUndo->setEnabled(true);
    if (merged) {
        merged(rows_, rows_, true);
    }
}

void F_HB::cmdUndo_Click() {
    if (!done_) {
        return;
    }
    const std::vector<qint64> before = rows_;
    const bool wrote = ui::guarded(services_.messageBox, [this] {
        Book book(connection_, &changes_);
        rows_ = unmerge(connection_, book, *done_);
    });
    if (!wrote) {
        return;
    }
    done_.reset();
    if (merged) {
        merged(before, rows_, false);
    }
    if (!load()) {
        unload();
    }
}

void F_HB::cmdClose_Click() {
    unload();
}

} // namespace contacts
