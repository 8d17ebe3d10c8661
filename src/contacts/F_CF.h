#pragma once

#include "Book.h"
#include "Duplicates.h"

#include "platform/Services.h"
#include "platform/db/Connection.h"
#include "platform/ui/Form.h"

#include <QAbstractTableModel>
#include <QCache>
#include <QSet>

#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QTreeView;

namespace contacts {

// The groups as the list shows them: 依据, 联系人. The names are read from
// the book as rows come into view, so a long list costs little.
class DuplicateList final : public QAbstractTableModel {
public:
    explicit DuplicateList(QObject* parent);

    void setGroups(db::Connection* connection, std::vector<DuplicateGroup> groups);
    const std::vector<DuplicateGroup>& groups() const { return groups_; }
    // A merged group stays in the list, marked, until the window closes.
    void setMerged(std::size_t group, bool merged, const std::vector<qint64>& rows = {});
    bool isMerged(std::size_t group) const { return merged_.contains(group); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString namesOf(std::size_t group) const;

    db::Connection* connection_ = nullptr;
    std::vector<DuplicateGroup> groups_;
    QSet<std::size_t> merged_;
    mutable QCache<std::size_t, QString> names_{1000};
};

struct F_CF_Controls {
    explicit F_CF_Controls(ui::FormWidget* form);

    QLabel* lblFound;
    QTreeView* lstGroups;
    DuplicateList* groups;
    QPushButton* cmdMerge;    // 合并...: the chosen group, side by side
    QPushButton* cmdMergeAll; // the groups one of whom holds everything
    QPushButton* cmdClose;
};

// 查找重复联系人: the book's groups of contacts that are probably one
// person, strongest evidence first, each with what it rests on. The search
// runs under the progress window, which can cancel it.
class F_CF final : public ui::FormOf<F_CF_Controls> {
public:
    F_CF(const platform::Services& services, BookChanges& changes);

    F_CF_Controls& controls() { return ui(); }

    // Opens on these groups, found already, instead of searching.
    void showFound(std::vector<DuplicateGroup> groups);
    // Opens the merge window on a group's rows (the registry's to give).
    std::function<void(const std::vector<qint64>& rows)> openMerge;
    // The merge window says a group was merged, or put back in these rows.
    void groupMerged(const std::vector<qint64>& rows, const std::vector<qint64>& now, bool merged);

    void lstGroups_DblClick();
    void cmdMerge_Click();
    void cmdMergeAll_Click();
    void cmdClose_Click();

protected:
    void Form_Load() override;
    void Form_Unload() override;
    void wireEvents(F_CF_Controls& controls) override;

private:
    bool find();
    void showCount();

    const platform::Services& services_;
    BookChanges& changes_;
    db::Connection connection_;
    std::optional<std::vector<DuplicateGroup>> found_; // for the next load
};

} // namespace contacts
