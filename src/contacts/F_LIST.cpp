#include "F_LIST.h"

#include "Schema.h"

#include "platform/db/ConnectionString.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Twips.h"

#include <QAction>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace contacts {

namespace {

// Enough for a screen or two, so that the first page alone fills the view.
constexpr int pageSize = 100;

// Down in the search box goes on into the list, as in other search boxes.
class DownIntoList final : public QObject {
public:
    DownIntoList(QLineEdit* box, QTableView* list)
        : QObject(box)
        , list_(list) {
        box->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress ||
            static_cast<QKeyEvent*>(event)->key() != Qt::Key_Down) {
            return false;
        }
        list_->setFocus();
        return true;
    }

private:
    QTableView* list_;
};

const QStringList headers{QStringLiteral("姓名"), QStringLiteral("移动电话"),
                          QStringLiteral("住宅电话"), QStringLiteral("单位"),
                          QStringLiteral("电子邮件")};

} // namespace

ContactListModel::ContactListModel(const db::Connection& connection,
                                   ui::MessageBoxService& messageBox, ReadingPace pace)
    : connection_(connection)
    , messageBox_(messageBox)
    , pace_(pace) {}

void ContactListModel::find(const QString& typed) {
    restart(typed, {}, 0);
}

void ContactListModel::findFrom(QChar letter) {
    restart({}, {Tier::Name, listKey(letter), ListPosition().row}, 0);
}

void ContactListModel::findAgain() {
    restart(typed_, start_, rowCount());
}

void ContactListModel::restart(const QString& typed, const ListPosition& start, qsizetype rows) {
    busy_ = true; // the view asks for more as it is reset: the search says how many
    beginResetModel();
    typed_ = typed;
    found_.clear();
    start_ = start;
    reached_ = start;
    atEnd_ = false;
    wanted_ = std::size_t(std::max<qsizetype>(pageSize, rows));
    ++search_;
    turnPending_ = false;
    endResetModel();
    busy_ = false;
    readOn();
}

// Reads pieces until the rows wanted are there, the book is at its end or
// the turn is up; then the events go first and the reading goes on after.
void ContactListModel::readOn() {
    // The view, told of the rows found, may ask for more meanwhile.
    const QScopedValueRollback<bool> busy(busy_, true);
    QElapsedTimer turn;
    turn.start();
    while (!atEnd_ && found_.size() < wanted_) {
        SearchSlice slice;
        const bool read = ui::guarded(messageBox_, [&] {
            slice = ContactStore::search(connection_, typed_, reached_,
                                         int(wanted_ - found_.size()), pace_.rowsPerPiece);
        });
        if (!read) {
            atEnd_ = true; // said so once; scrolling on would say it again and again
            return;
        }
        reached_ = slice.reached;
        atEnd_ = slice.atEnd;
        if (!slice.found.empty()) {
            const int first = int(found_.size());
            beginInsertRows({}, first, first + int(slice.found.size()) - 1);
            found_.insert(found_.end(), slice.found.begin(), slice.found.end());
            endInsertRows();
        }
        if (turn.elapsed() >= pace_.millisecondsPerTurn && !atEnd_ && found_.size() < wanted_) {
            turnPending_ = true;
            QTimer::singleShot(0, this, [this, search = search_] { readTurn(search); });
            return;
        }
    }
}

void ContactListModel::readTurn(unsigned search) {
    if (search != search_) {
        return; // the text has changed since
    }
    turnPending_ = false;
    readOn();
}

int ContactListModel::rowOf(qint64 rowId) const {
    const auto at = std::find_if(found_.begin(), found_.end(),
                                 [rowId](const ListedContact& c) { return c.row == rowId; });
    return at == found_.end() ? -1 : int(at - found_.begin());
}

int ContactListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(found_.size());
}

int ContactListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(headers.size());
}

QVariant ContactListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) {
        return {};
    }
    return found_[std::size_t(index.row())].shown[std::size_t(index.column())];
}

QVariant ContactListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) {
        return {};
    }
    return headers.value(section);
}

bool ContactListModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !atEnd_ && !turnPending_ && !busy_;
}

void ContactListModel::fetchMore(const QModelIndex& parent) {
    if (canFetchMore(parent)) {
        wanted_ = found_.size() + pageSize;
        readOn();
    }
}

F_LIST_Controls::F_LIST_Controls(ui::FormWidget* form) {
    form->resize(ui::px(9600), ui::px(6000));
    txtFind = ui::make<QLineEdit>(form, u"txtFind");
    txtFind->setPlaceholderText(QStringLiteral("输入姓名、拼音或首字母、电话、电子邮件或单位"));
    txtFind->setClearButtonEnabled(true);
    grdList = ui::make<QTableView>(form, u"grdList");
    grdList->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdList->setSelectionMode(QAbstractItemView::SingleSelection);
    grdList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdList->setAlternatingRowColors(true);
    grdList->setWordWrap(false);
    grdList->verticalHeader()->hide();
    // Rows of one height need no measuring, however many there are.
    grdList->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grdList->horizontalHeader()->setStretchLastSection(true);

    new DownIntoList(txtFind, grdList);

    // The menu of the contact chosen: the right button chooses it first.
    grdList->setContextMenuPolicy(Qt::CustomContextMenu);
    mnuList = new QMenu(grdList);
    mnuList->setObjectName(QStringLiteral("mnuList"));
    mnuList->addAction(QStringLiteral("其他信息..."))->setObjectName(QStringLiteral("mnuExtras"));
    mnuList->addAction(QStringLiteral("名片二维码..."))->setObjectName(QStringLiteral("mnuQr"));

    auto* letters = new QVBoxLayout;
    letters->setSpacing(0);
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        auto* button = ui::make<QToolButton>(form, u"cmdLetter");
        button->setText(QString(QChar(letter)));
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus); // typing stays in the box or the list
        letters->addWidget(button, 1);
        cmdLetter.push_back(button);
    }
    auto* rows = new QHBoxLayout;
    rows->addWidget(grdList, 1);
    rows->addLayout(letters);
    auto* layout = new QVBoxLayout(form);
    layout->addWidget(txtFind);
    layout->addLayout(rows, 1);
}

F_LIST::F_LIST(const platform::Services& services, ReadingPace pace)
    : FormOf(QStringLiteral("F_LIST"))
    , services_(services)
    , pace_(pace) {}

void F_LIST::wireEvents(F_LIST_Controls& c) {
    QObject::connect(c.txtFind, &QLineEdit::textChanged, [this] { txtFind_Change(); });
    QObject::connect(c.txtFind, &QLineEdit::returnPressed, [this] { grdList_DblClick(); });
    QObject::connect(c.grdList, &QAbstractItemView::activated, [this] { grdList_DblClick(); });
    for (QToolButton* button : c.cmdLetter) {
        QObject::connect(button, &QToolButton::clicked,
                         [this, letter = button->text().front()] { cmdLetter_Click(letter); });
    }
    QObject::connect(c.grdList, &QWidget::customContextMenuRequested,
                     [this](QPoint at) { grdList_ContextMenu(at); });
    const auto item = [&c](const char* name) {
        return c.mnuList->findChild<QAction*>(QLatin1String(name));
    };
    QObject::connect(item("mnuExtras"), &QAction::triggered, [this] { mnuExtras_Click(); });
    QObject::connect(item("mnuQr"), &QAction::triggered, [this] { mnuQr_Click(); });
    // Esc closes the list from the box or the grid, as it does a dialog.
    QObject::connect(new QShortcut(QKeySequence(Qt::Key_Escape), c.grdList->parentWidget()),
                     &QShortcut::activated, [this] { unload(); });
}

void F_LIST::Form_Load() {
    setCaption(QStringLiteral("联系人列表"));
    auto& c = ui();
    const bool opened = ui::guarded(services_.messageBox, [this] {
        openDatabase(connection_, db::connectionString(services_.databaseFile));
    });
    if (!opened) {
        unload();
        return;
    }
    model_ = std::make_unique<ContactListModel>(connection_, services_.messageBox, pace_);
    c.grdList->setModel(model_.get());
    // Rows a search finds after the first piece: the first of them is chosen.
    QObject::connect(model_.get(), &QAbstractItemModel::rowsInserted, c.grdList, [this] {
        if (!ui().grdList->currentIndex().isValid()) {
            select(0);
        }
    });
    const int column = ui::px(1800);
    for (int i = 0; i < model_->columnCount() - 1; ++i) {
        c.grdList->setColumnWidth(i, column);
    }
    model_->find(c.txtFind->text());
    select(0);
}

void F_LIST::Form_Unload() {
    if (auto* grid =
            client() ? client()->findChild<QTableView*>(QStringLiteral("grdList")) : nullptr) {
        grid->setModel(nullptr); // before the model goes: the view is still there
    }
    model_.reset();
    connection_.close();
}

void F_LIST::showSearch() {
    show();
    if (!model_) {
        return; // the book did not open; the list closed itself
    }
    QLineEdit* box = ui().txtFind;
    box->setFocus();
    box->selectAll();
}

void F_LIST::showFound(const QString& typed) {
    show();
    if (model_) {
        ui().txtFind->setText(typed); // finds it, unless the text is there already
    }
    showSearch();
}

void F_LIST::refresh() {
    if (!isLoaded() || !model_) {
        return;
    }
    const QModelIndex current = ui().grdList->currentIndex();
    const qint64 selected = current.isValid() ? model_->rowId(current.row()) : 0;
    model_->findAgain();
    select(selected ? std::max(0, model_->rowOf(selected)) : 0);
}

void F_LIST::select(int row) {
    QTableView* grid = ui().grdList;
    if (row < model_->rowCount()) {
        grid->setCurrentIndex(model_->index(row, 0));
    }
}

void F_LIST::txtFind_Change() {
    if (!model_) {
        return;
    }
    model_->find(ui().txtFind->text());
    select(0);
    ui().grdList->scrollToTop();
}

void F_LIST::cmdLetter_Click(QChar letter) {
    if (!model_) {
        return;
    }
    {
        const QSignalBlocker quiet(ui().txtFind); // no search for the emptied box
        ui().txtFind->clear();
    }
    model_->findFrom(letter);
    select(0);
    ui().grdList->scrollToTop();
}

void F_LIST::withCurrent(const std::function<void(qint64 rowId)>& use) {
    const QModelIndex current = ui().grdList->currentIndex();
    if (model_ && current.isValid() && use) {
        use(model_->rowId(current.row()));
    }
}

void F_LIST::grdList_ContextMenu(QPoint at) {
    auto& c = ui();
    if (model_ && c.grdList->currentIndex().isValid()) {
        c.mnuList->popup(c.grdList->viewport()->mapToGlobal(at));
    }
}

void F_LIST::mnuExtras_Click() {
    withCurrent(showExtras);
}

void F_LIST::mnuQr_Click() {
    withCurrent(showCode);
}

void F_LIST::grdList_DblClick() {
    withCurrent(showContact);
}

} // namespace contacts
