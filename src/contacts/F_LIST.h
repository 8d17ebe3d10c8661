#pragma once

#include "ContactStore.h"

#include "platform/Services.h"
#include "platform/db/Connection.h"
#include "platform/ui/Form.h"

#include <QAbstractTableModel>

#include <functional>
#include <memory>
#include <vector>

class QLineEdit;
class QMenu;
class QTableView;
class QToolButton;

namespace contacts {

// How the list reads: contacts looked at in one piece of a search, and
// the time it may take before the events get their turn.
struct ReadingPace {
    int rowsPerPiece = 2000;
    int millisecondsPerTurn = 25;
};

// The contacts that match the search text, read as the view needs them: a
// page at a time as it scrolls down, a few pieces at a time between the
// events while a rare text is sought through a large book.
class ContactListModel final : public QAbstractTableModel {
public:
    ContactListModel(const db::Connection& connection, ui::MessageBoxService& messageBox,
                     ReadingPace pace);

    // Starts again from the first match of the text.
    void find(const QString& typed);
    // Everyone, from the first name under the letter (a to z) on.
    void findFrom(QChar letter);
    // The same search again, from where it began, reading at least the rows
    // read before: for a list that follows changes.
    void findAgain();
    qint64 rowId(int row) const { return found_[std::size_t(row)].row; }
    // The list row of a contact among those read so far, or -1.
    int rowOf(qint64 rowId) const;
    // Still reading on toward the rows wanted.
    bool reading() const { return turnPending_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    void restart(const QString& typed, const ListPosition& start, qsizetype rows);
    void readOn();
    void readTurn(unsigned search);

    const db::Connection& connection_;
    ui::MessageBoxService& messageBox_;
    ReadingPace pace_;
    QString typed_;
    std::vector<ListedContact> found_;
    ListPosition start_;
    ListPosition reached_;
    bool atEnd_ = true;
    std::size_t wanted_ = 0;
    unsigned search_ = 0; // a new text makes the reading of the old one stop
    bool turnPending_ = false;
    bool busy_ = false; // finding or reading: the view's requests for more wait
};

struct F_LIST_Controls {
    explicit F_LIST_Controls(ui::FormWidget* form);

    QLineEdit* txtFind;
    QTableView* grdList;
    std::vector<QToolButton*> cmdLetter; // A to Z beside the list
    QMenu* mnuList;                      // the list's menu, on the contact chosen
};

// The contact list: the whole book in the order of the names' pinyin,
// narrowed and ranked with every key typed into the search box; a letter
// beside it goes to the names under that letter. Enter or a double click
// shows the contact on the card; Esc closes the list.
class F_LIST final : public ui::FormOf<F_LIST_Controls> {
public:
    explicit F_LIST(const platform::Services& services, ReadingPace pace = {});

    F_LIST_Controls& controls() { return ui(); }
    const ContactListModel* model() const { return model_.get(); }

    // Opens the list, or brings it forward, ready for typing: with what was
    // typed last, or finding what the text finds.
    void showSearch();
    void showFound(const QString& typed);
    // After the book has changed: the same search again, the same contact
    // selected if it is still found.
    void refresh();

    // What showing a contact does: the card moves to that row of yanshu.
    std::function<void(qint64 rowId)> showContact;
    // What 其他信息 in the list's menu does: opens them for that row.
    std::function<void(qint64 rowId)> showExtras;
    // What 名片二维码 in the list's menu does: shows that row's card as a code.
    std::function<void(qint64 rowId)> showCode;

    void txtFind_Change();
    void grdList_DblClick(); // Enter in the list or in the search box too
    // The right button (or the menu key) on the list: the row under it is
    // chosen already, and the menu comes up there.
    void grdList_ContextMenu(QPoint at);
    void mnuExtras_Click(); // 其他信息... in the list's menu
    void mnuQr_Click();     // 名片二维码... in the list's menu
    void cmdLetter_Click(QChar letter);

protected:
    void Form_Load() override;
    void Form_Unload() override;
    void wireEvents(F_LIST_Controls& controls) override;

private:
    void select(int row);
    void withCurrent(const std::function<void(qint64 rowId)>& use);

    const platform::Services& services_;
    ReadingPace pace_;
    db::Connection connection_;
    std::unique_ptr<ContactListModel> model_;
};

} // namespace contacts
