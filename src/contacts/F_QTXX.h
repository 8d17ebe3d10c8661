#pragma once

#include "Book.h"

#include "platform/Services.h"
#include "platform/db/Connection.h"
#include "platform/ui/Form.h"

#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace contacts {

struct F_QTXX_Controls {
    explicit F_QTXX_Controls(ui::FormWidget* form);

    QLabel* lblName;         // whose they are
    QTableWidget* grdExtras; // 项目, 内容: the contents are edited in place
    QComboBox* cboKind;      // the kinds of line that can be added
    QPushButton* cmdAdd;
    QPushButton* cmdRemove;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
};

// 其他信息: what a contact has that the card has no box for (a second
// mobile, a WeChat id, a nickname, a lunar birthday), a line each with
// its Chinese name. Lines are edited in place, added by kind and removed;
// 确定 stores them all at once through the Book, 取消 leaves them.
class F_QTXX final : public ui::FormOf<F_QTXX_Controls> {
public:
    F_QTXX(const platform::Services& services, BookChanges& changes);

    F_QTXX_Controls& controls() { return ui(); }

    // Opens the window on the contact in this row of table yanshu.
    void showFor(qint64 rowId);

    void cmdAdd_Click();
    void cmdRemove_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    void Form_Load() override;
    void Form_Unload() override;
    void wireEvents(F_QTXX_Controls& controls) override;

private:
    void load();
    void listExtras();
    void takeTexts();

    const platform::Services& services_;
    BookChanges& changes_;
    db::Connection connection_;
    qint64 rowId_ = 0;
    std::vector<Extra> extras_;      // every extra, those not shown too
    std::vector<std::size_t> shown_; // the extra of each line
};

} // namespace contacts
