#pragma once

#include "Book.h"
#include "MergeContacts.h"

#include "platform/Services.h"
#include "platform/db/Connection.h"
#include "platform/ui/Form.h"

#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace contacts {

struct F_HB_Controls {
    explicit F_HB_Controls(ui::FormWidget* form);

    QLabel* lblNote;
    // A row for each box of the card, a column for each contact and the
    // merged card last; where contacts differ, the value ticked is taken.
    QTableWidget* grdFields;
    QPushButton* cmdMerge;
    QPushButton* cmdUndo;
    QPushButton* cmdClose;
};

// 合并联系人: the contacts of a group side by side, box by box. Where they
// agree, or one alone has a value, the merged card takes it; where they
// differ, the user ticks one (the most recently changed at first), and the
// others are kept in 其他信息. 合并 writes it; 撤销 puts the group back.
class F_HB final : public ui::FormOf<F_HB_Controls> {
public:
    F_HB(const platform::Services& services, BookChanges& changes);

    F_HB_Controls& controls() { return ui(); }

    // Opens the window on the contacts of these rows of table yanshu.
    void showFor(const std::vector<qint64>& rows);
    // Told when the group of these rows was merged (true) or put back
    // (false), and the rows it has now.
    std::function<void(const std::vector<qint64>& rows, const std::vector<qint64>& now,
                       bool merged)>
        merged;

    void grdFields_Click(int row, int column);
    void cmdMerge_Click();
    void cmdUndo_Click();
    void cmdClose_Click();

protected:
    void Form_Load() override;
    void Form_Unload() override;
    void wireEvents(F_HB_Controls& controls) override;

private:
    bool load();
    void showGroup();
    void showMerged();

    const platform::Services& services_;
    BookChanges& changes_;
    db::Connection connection_;
    std::vector<qint64> rows_;
    std::vector<StoredContact> group_;
    Choices choices_{};
    std::optional<Merged> done_;
};

} // namespace contacts
