#include "F_CF.h"

#include "MergeContacts.h"
#include "Schema.h"

#include "platform/db/ConnectionString.h"
#include "platform/db/DbError.h"
#include "platform/db/Statement.h"
#include "platform/db/Transaction.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Guard.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Progress.h"
#include "platform/ui/Twips.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>

namespace contacts {

namespace {

const QString title = QStringLiteral("查找重复联系人");

} // namespace

DuplicateList::DuplicateList(QObject* parent)
    : QAbstractTableModel(parent) {}

void DuplicateList::setGroups(db::Connection* connection, std::vector<DuplicateGroup> groups) {
    beginResetModel();
    connection_ = connection;
    groups_ = std::move(groups);
    merged_.clear();
    names_.clear();
    endResetModel();
}

void DuplicateList::setMerged(std::size_t group, bool merged, const std::vector<qint64>& rows) {
    if (!rows.empty()) {
        groups_[group].rows = rows;
    }
    if (merged) {
        merged_.insert(group);
    } else {
        merged_.remove(group);
    }
    names_.remove(group);
    emit dataChanged(index(int(group), 0), index(int(group), 1));
}

int DuplicateList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(groups_.size());
}

int DuplicateList::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant DuplicateList::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) {
        return {};
    }
    const auto group = std::size_t(index.row());
    if (index.column() == 0) {
        return groups_[group].reason;
    }
    return (merged_.contains(group) ? QStringLiteral("（已合并）") : QString()) + namesOf(group);
}

QVariant DuplicateList::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) {
        return {};
    }
    return section == 0 ? QStringLiteral("依据") : QStringLiteral("联系人");
}

// 张珊、张姗: the names as the book has them now.
QString DuplicateList::namesOf(std::size_t group) const {
    if (const QString* cached = names_.object(group)) {
        return *cached;
    }
    QStringList names;
    try {
        db::Statement name(*connection_,
                           QStringLiteral("SELECT GR_XM FROM yanshu WHERE _rowid_ = ?"));
        for (const qint64 row : groups_[group].rows) {
            name.bind(1, QVariant::fromValue(row));
            if (name.step()) {
                names << name.text(0);
            }
            name.reset();
        }
    } catch (const db::DbError&) {
        return {}; // the book went away under the list: nothing to show
    }
    const QString text = names.join(u'、');
    names_.insert(group, new QString(text));
    return text;
}

F_CF_Controls::F_CF_Controls(ui::FormWidget* form) {
    form->setWindowTitle(title);
    form->setFont(ui::font(u"宋体", 9));
    lblFound = ui::label(form, u"lblFound", QString());
    ui::place(lblFound, 240, 180, 8400, 255);
    groups = new DuplicateList(form);
    lstGroups = ui::make<QTreeView>(form, u"lstGroups");
    lstGroups->setModel(groups);
    lstGroups->setRootIsDecorated(false);
    lstGroups->setAllColumnsShowFocus(true);
    lstGroups->setUniformRowHeights(true);
    lstGroups->setColumnWidth(0, ui::px(4200));
    ui::place(lstGroups, 240, 540, 8400, 4200);
    cmdMerge = ui::button(form, u"cmdMerge", QStringLiteral("合并(&M)..."), 240, 4920, 1440, 420);
    cmdMerge->setDefault(true);
    cmdMergeAll = ui::button(form, u"cmdMergeAll", QStringLiteral("合并无需选择的(&A)"), 1800, 4920,
                             2160, 420);
    cmdClose = ui::button(form, u"cmdClose", QStringLiteral("关闭"), 7320, 4920, 1320, 420);
}

F_CF::F_CF(const platform::Services& services, BookChanges& changes)
    : FormOf(QStringLiteral("F_CF"))
    , services_(services)
    , changes_(changes) {}

void F_CF::wireEvents(F_CF_Controls& c) {
    QObject::connect(c.lstGroups, &QTreeView::doubleClicked, [this] { lstGroups_DblClick(); });
    QObject::connect(c.cmdMerge, &QPushButton::clicked, [this] { cmdMerge_Click(); });
    QObject::connect(c.cmdMergeAll, &QPushButton::clicked, [this] { cmdMergeAll_Click(); });
    QObject::connect(c.cmdClose, &QPushButton::clicked, [this] { cmdClose_Click(); });
}

void F_CF::Form_Load() {
    client()->setWindowFlags(Qt::Window);
    setClientSize(8880, 5520);
    std::optional<std::vector<DuplicateGroup>> found = std::exchange(found_, std::nullopt);
    if (!ui::guarded(services_.messageBox, [this] {
            openDatabase(connection_, db::connectionString(services_.databaseFile));
        })) {
        unload();
    } else if (found) {
        ui().groups->setGroups(&connection_, std::move(*found));
        showCount();
    } else if (!find()) {
        unload();
    }
}

void F_CF::showFound(std::vector<DuplicateGroup> groups) {
    if (isLoaded()) {
        ui().groups->setGroups(&connection_, std::move(groups));
        showCount();
    } else {
        found_ = std::move(groups);
    }
    show();
}

void F_CF::Form_Unload() {
    ui().groups->setGroups(nullptr, {});
    connection_.close();
}

// False when cancelled or failed (and said so).
bool F_CF::find() {
    std::vector<DuplicateGroup> found;
    const bool done = ui::guarded(services_.messageBox, [&] {
        ui::ProgressScope progress(services_.progress, QStringLiteral("正在查找重复的联系人……"));
        try {
            found = findDuplicates(connection_, std::ref(progress));
        } catch (const db::DbError& e) {
            if (e.kind() != db::DbErrorKind::Interrupted) {
                throw;
            }
            throw db::DbError(QStringLiteral("已取消查找重复的联系人。"), e.detail(),
                              e.engineCode(), e.kind());
        }
    });
    if (!done) {
        return false;
    }
    ui().groups->setGroups(&connection_, std::move(found));
    showCount();
    return true;
}

void F_CF::showCount() {
    const std::size_t count = ui().groups->groups().size();
    ui().lblFound->setText(count == 0 ? QStringLiteral("没有找到可能重复的联系人。")
                                      : QStringLiteral("找到%1组可能是同一个人的联系人，"
                                                       "依据强的在前。")
                                            .arg(count));
    ui().cmdMerge->setEnabled(count > 0);
    ui().cmdMergeAll->setEnabled(count > 0);
}

void F_CF::groupMerged(const std::vector<qint64>& rows, const std::vector<qint64>& now,
                       bool merged) {
    if (!isLoaded()) {
        return;
    }
    DuplicateList* list = ui().groups;
    for (std::size_t i = 0; i < list->groups().size(); ++i) {
        if (list->groups()[i].rows == rows) {
            list->setMerged(i, merged, now);
        }
    }
}

void F_CF::lstGroups_DblClick() {
    cmdMerge_Click();
}

void F_CF::cmdMerge_Click() {
    const QModelIndex current = ui().lstGroups->currentIndex();
    if (!current.isValid()) {
        services_.messageBox.show(QStringLiteral("请先选中一组联系人。"), title);
        return;
    }
    const auto group = std::size_t(current.row());
    if (ui().groups->isMerged(group)) {
        services_.messageBox.show(QStringLiteral("这组联系人已经合并了。"), title);
        return;
    }
    if (openMerge) {
        openMerge(ui().groups->groups()[group].rows);
    }
}

// The groups where one contact holds all the others hold: merged into
// that one's values with nothing to choose, all at once, after one yes.
void F_CF::cmdMergeAll_Click() {
    DuplicateList* list = ui().groups;
    std::vector<std::pair<std::size_t, std::vector<StoredContact>>> plain;
    bool cancelled = false;
    const bool read = ui::guarded(services_.messageBox, [&] {
        ui::ProgressScope progress(services_.progress, QStringLiteral("正在查看各组联系人……"));
        const platform::Progress asked = std::ref(progress);
        platform::Ticker ticker(asked);
        Book book(connection_);
        const auto count = qint64(list->groups().size());
        for (std::size_t i = 0; i < list->groups().size(); ++i) {
            if (!ticker.keepGoing(qint64(i), count)) {
                cancelled = true;
                return;
            }
            std::vector<StoredContact> group;
            for (const qint64 row : list->groups()[i].rows) {
                if (std::optional<StoredContact> one = book.byRow(row)) {
                    group.push_back(std::move(*one));
                }
            }
            if (!list->isMerged(i) && group.size() > 1 && holderOfAll(group)) {
                plain.emplace_back(i, std::move(group));
            }
        }
    });
    if (!read || cancelled) {
        return;
    }
    if (plain.empty()) {
        services_.messageBox.show(QStringLiteral("没有无需选择就能合并的联系人：每组都要您来选。"),
                                  title);
        return;
    }
    if (services_.messageBox.show(QStringLiteral("有%1组联系人，其中一位已有其余各位的全部信息。"
                                                 "要把这%1组各合并成一位吗？")
                                      .arg(plain.size()),
                                  title, ui::Buttons::YesNo) != ui::Answer::Yes) {
        return;
    }
    // All or none: 取消 leaves the book as it was.
    const bool merged = ui::guarded(services_.messageBox, [&] {
        ui::ProgressScope progress(services_.progress, QStringLiteral("正在合并……"));
        const platform::Progress asked = std::ref(progress);
        platform::Ticker ticker(asked);
        db::Transaction all(connection_);
        Book book(connection_, &changes_);
        qint64 done = 0;
        for (const auto& [i, group] : plain) {
            if (!ticker.keepGoing(done++, qint64(plain.size()))) {
                throw db::DbError(QStringLiteral("已取消合并，通讯录没有改动。"),
                                  QStringLiteral("merge cancelled"));
            }
            Choices choices = defaultChoices(group);
            const std::size_t holder = *holderOfAll(group);
            for (std::size_t f = 0; f < choices.size(); ++f) {
                if (!group[holder].contact.fields[f].isEmpty()) {
                    choices[f] = int(holder);
                }
            }
            merge(connection_, book, group, mergedContact(group, choices));
        }
        all.commit();
    });
    if (merged) {
        for (const auto& entry : plain) {
            list->setMerged(entry.first, true);
        }
        services_.messageBox.show(
            QStringLiteral("已合并%1组联系人。用“撤销删除”可以一位一位放回。").arg(plain.size()),
            title);
    }
}

void F_CF::cmdClose_Click() {
    unload();
}

} // namespace contacts
