#include "F_EDIT.h"

#include "Schema.h"

#include "platform/CdDevice.h"
#include "platform/Clock.h"
#include "platform/db/ConnectionString.h"
#include "platform/ui/Click.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Guard.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Pictures.h"
#include "platform/ui/Twips.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <array>

namespace contacts {

using ui::button;
using ui::label;
using ui::make;

namespace {

const QString queryHint = QStringLiteral(" 请输入要查询联系人的姓名");
const QString infoTitle = QStringLiteral("提示信息");
const QColor blue(0, 0, 255);
constexpr int similarRows = 200000;

// The notes box, whose lines end in CR LF as typed on Windows. A value it
// shows and that nobody edits is handed back exactly as it was stored.
class NotesBox final : public QPlainTextEdit {
public:
    explicit NotesBox(QWidget* parent)
        : QPlainTextEdit(parent) {
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        setTabChangesFocus(true);
    }
    void setValue(const QString& value) {
        shown_ = value;
        QString display = value;
        display.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        setPlainText(display);
        displayed_ = toPlainText();
    }
    QString value() const {
        const QString typed = toPlainText();
        if (typed == displayed_) {
            return shown_;
        }
        QString stored = typed;
        stored.replace(u'\n', QStringLiteral("\r\n"));
        return stored;
    }

private:
    QString shown_;
    QString displayed_;
};

QString textOf(const QWidget* control) {
    if (const auto* box = qobject_cast<const QLineEdit*>(control)) {
        return box->text();
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(control)) {
        return combo->currentText();
    }
    return static_cast<const NotesBox*>(control)->value();
}

void setTextOf(QWidget* control, const QString& text) {
    if (auto* box = qobject_cast<QLineEdit*>(control)) {
        box->setText(text);
        box->setCursorPosition(0);
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        combo->setEditText(text);
    } else {
        static_cast<NotesBox*>(control)->setValue(text);
    }
}

enum class ControlKind { HiddenLabel, TextBox, ComboBox, NotesBox };

// A place on the card, in twips.
struct Box {
    int left;
    int top;
    int width;
    int height;
};

// The card's control for each column of the contact table, in the same
// order, and the caption label beside it (none for Id).
struct CardControl {
    QStringView control;
    ControlKind kind;
    Box box;
    QStringView label;
    int labelLeft;
    int labelTop;
};

constexpr std::array<CardControl, contactColumns.size()> cardControls{{
    {u"Label26", ControlKind::HiddenLabel, {240, 960, 180, 180}, u"", 0, 0},
    {u"TGR_XM", ControlKind::TextBox, {1920, 720, 2295, 270}, u"Label1", 1320, 720},
    {u"CGR_XB", ControlKind::ComboBox, {4920, 720, 2415, 300}, u"Label2", 4320, 720},
    {u"TGR_CS", ControlKind::TextBox, {2160, 1080, 2055, 270}, u"Label3", 1320, 1080},
    {u"TGR_BB", ControlKind::TextBox, {5040, 1080, 1815, 270}, u"Label4", 4320, 1080},
    {u"TGR_ICQ", ControlKind::TextBox, {1680, 1440, 2535, 270}, u"Label5", 1320, 1440},
    {u"TGR_QQ", ControlKind::TextBox, {7800, 1080, 2175, 270}, u"Label6", 6960, 1080},
    {u"TGR_MSN", ControlKind::TextBox, {7800, 1440, 2175, 270}, u"Label7", 6960, 1440},
    {u"TGR_ML", ControlKind::TextBox, {5160, 1440, 1695, 270}, u"Label8", 4320, 1440},
    {u"TGR_DH", ControlKind::TextBox, {5160, 1800, 1695, 270}, u"Label9", 4320, 1800},
    {u"TGR_DHW", ControlKind::TextBox, {2280, 3960, 2295, 270}, u"Label10", 1320, 3960},
    {u"TGR_YDH", ControlKind::TextBox, {2160, 1800, 2055, 270}, u"Label11", 1320, 1800},
    {u"TGR_CZ", ControlKind::TextBox, {7800, 1800, 2175, 270}, u"Label12", 6960, 1800},
    {u"TGR_YB", ControlKind::TextBox, {2280, 2160, 1935, 270}, u"Label13", 1320, 2160},
    {u"TGR_JZ", ControlKind::TextBox, {2280, 2520, 7695, 270}, u"Label14", 1320, 2520},
    {u"TGR_GB", ControlKind::TextBox, {6960, 2880, 3015, 270}, u"Label15", 6000, 2880},
    {u"TGR_DW", ControlKind::TextBox, {2280, 2880, 3615, 270}, u"Label16", 1320, 2880},
    {u"TGR_DZ", ControlKind::TextBox, {2280, 3600, 7695, 270}, u"Label17", 1320, 3600},
    {u"TGR_ZW", ControlKind::TextBox, {6960, 3240, 3015, 270}, u"Label18", 6000, 3240},
    {u"TGR_BG", ControlKind::TextBox, {2280, 3240, 3615, 270}, u"Label20", 1320, 3240},
    {u"TGR_WB", ControlKind::TextBox, {5280, 3960, 4695, 270}, u"Label19", 4800, 3960},
    {u"TGR_BZ", ControlKind::NotesBox, {2280, 4320, 7695, 1575}, u"Label21", 1320, 4200},
}};

// A label that sizes itself to its caption, in blue.
QLabel* blueLabel(ui::FormWidget* form, QStringView name, const QString& caption, int left, int top,
                  int width, int height) {
    QLabel* l = label(form, name, caption);
    ui::setTextColour(l, blue);
    ui::place(l, left, top, width, height);
    return l;
}

// The control of text column i and its caption label.
QWidget* dataControl(ui::FormWidget* form, std::size_t i) {
    const CardControl& column = cardControls[i + 1];
    QWidget* control = nullptr;
    switch (column.kind) {
    case ControlKind::ComboBox: {
        auto* combo = make<QComboBox>(form, column.control);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setEditText(QStringLiteral("性别选项"));
        control = combo;
        break;
    }
    case ControlKind::NotesBox:
        control = make<NotesBox>(form, column.control);
        break;
    default:
        control = make<QLineEdit>(form, column.control);
        break;
    }
    const Box& b = column.box;
    ui::place(control, b.left, b.top, b.width, b.height);
    control->setEnabled(false);

    QLabel* caption = label(form, column.label, textColumns[i].caption.toString());
    caption->setFont(ui::font(u"宋体", 10.5));
    ui::place(caption, column.labelLeft, column.labelTop, ui::twips(caption->sizeHint().width()),
              210);
    return control;
}

} // namespace

F_EDIT_Controls::F_EDIT_Controls(ui::FormWidget* form) {
    form->setFont(ui::font(u"宋体", 9));
    form->setPicture(ui::backgroundPicture(form->devicePixelRatioF()));
    form->resize(ui::px(10305), ui::px(6540));

    for (std::size_t i = 0; i < textColumns.size(); ++i) {
        data[i] = dataControl(form, i);
    }
    CGR_XB = static_cast<QComboBox*>(data[std::size_t(Field::Sex)]);
    TGR_BZ = static_cast<QPlainTextEdit*>(data[std::size_t(Field::Notes)]);

    const Box& id = cardControls[0].box;
    Label26 = label(form, cardControls[0].control, QStringLiteral("ID"));
    ui::place(Label26, id.left, id.top, id.width, id.height);
    Label26->hide();

    Command1 = button(form, u"Command1", QStringLiteral("添加"), 1320, 4440, 855, 495);
    Command2 = button(form, u"Command2", QStringLiteral("取消"), 1320, 4920, 855, 495);
    Command3 = button(form, u"Command3", QStringLiteral("修改"), 1320, 5400, 855, 495);
    for (QPushButton* b : {Command1, Command2, Command3}) {
        b->setEnabled(false);
    }
    Command4 =
        button(form, u"Command4", QStringLiteral("继续浏览联系人记录"), 4080, 120, 3495, 375);
    QFont bold = Command4->font();
    bold.setBold(true);
    Command4->setFont(bold);
    Command4->hide();

    Text_Cs = make<QLineEdit>(form, u"Text_Cs");
    Text_Cs->setText(queryHint);
    Text_Cs->setCursorPosition(0);
    Text_Cs->setToolTip(QStringLiteral("请输入要查询联系人的姓名"));
    ui::place(Text_Cs, 7440, 720, 2535, 270);

    Label24 = blueLabel(form, u"Label24", QStringLiteral("现在的时间是："), 1200, 240, 1575, 210);
    Label24->setFont(ui::font(u"宋体", 10.5, true));
    ui::autoSize(Label24);
    Label23 = blueLabel(form, u"Label23", QStringLiteral("Label23"), 2880, 240, 840, 210);
    Label23->setFont(ui::font(u"黑体", 10.5, true));
    Label23->setToolTip(QStringLiteral("如果时间不正确请调整系统时间"));
    Label22 = blueLabel(form, u"Label22", QStringLiteral("..........."), 7800, 360, 990, 180);
    Label25 = blueLabel(form, u"Label25", QString(), 9720, 6120, 90, 180);

    Timer1 = ui::timer(form, u"Timer1", 20);

    // Keyboard order, which runs across the card row by row.
    QList<QWidget*> order;
    for (const char* name :
         {"TGR_XM",  "CGR_XB",  "TGR_CS", "TGR_BB", "TGR_QQ",  "TGR_ICQ", "TGR_ML",
          "TGR_MSN", "TGR_YDH", "TGR_DH", "TGR_CZ", "TGR_YB",  "TGR_JZ",  "TGR_DW",
          "TGR_GB",  "TGR_BG",  "TGR_ZW", "TGR_DZ", "TGR_DHW", "TGR_WB",  "TGR_BZ"}) {
        order << form->findChild<QWidget*>(QLatin1String(name));
    }
    order << Command1 << Command2 << Text_Cs << Command3 << Command4;
    for (qsizetype i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }
}

F_EDIT::F_EDIT(const platform::Services& services, BookChanges& changes)
    : FormOf(QStringLiteral("F_EDIT"))
    , services_(services)
    , store_(&changes, [&services] { return services.clock.now(); }) {
    openMaximized();
}

QString F_EDIT::helpText() {
    return QStringLiteral("欢迎使用 雁书簿程序! "
                          "查询的使用说明：请先在查询的文本框里输入要查询人的姓名后，"
                          "按下查询就可以找到您要查询人的信息了！"
                          "如有不明白的地方或意见建议请与我联系！发电子邮件到 "
                          "yanshubu@example.org"
                          " ^_^ 最后祝您使用愉快!");
}

void F_EDIT::wireEvents(F_EDIT_Controls& c) {
    QObject::connect(c.Command1, &QPushButton::clicked, [this] { Command1_Click(); });
    QObject::connect(c.Command2, &QPushButton::clicked, [this] { Command2_Click(); });
    QObject::connect(c.Command3, &QPushButton::clicked, [this] { Command3_Click(); });
    QObject::connect(c.Command4, &QPushButton::clicked, [this] { Command4_Click(); });
    QObject::connect(c.Timer1, &QTimer::timeout, [this] { Timer1_Timer(); });
    ui::onClick(c.Text_Cs, [this] { Text_Cs_Click(); });
}

template <class Action> bool F_EDIT::guarded(Action&& action) {
    return ui::guarded(services_.messageBox, std::forward<Action>(action));
}

void F_EDIT::Form_Load() {
    mode_ = Mode::None;
    setTop(0);
    setLeft(0);
    auto& c = ui();
    c.Label23->setText(platform::timeText(services_.clock.now()));
    ui::autoSize(c.Label23);
    const QString designText = c.CGR_XB->currentText();
    c.CGR_XB->addItem(QStringLiteral("男"));
    c.CGR_XB->addItem(QStringLiteral("女"));
    c.CGR_XB->setEditText(designText);
    const bool opened = guarded([this] {
        openDatabase(connection_, db::connectionString(services_.databaseFile));
        store_.openAll(connection_);
    });
    if (!opened) {
        return; // the card stays empty; reopening it tries again
    }
    PD();
    XSZL();
    // Once the first contact is on screen, while the user reads it: then
    // adding, or showing a contact chosen in the list, need not list a
    // large book. Nobody asked for it: a failure waits for the action that
    // needs the list, which says so.
    constexpr int afterPainting = 100; // ms
    QTimer::singleShot(afterPainting, client(), [this] {
        try {
            store_.listEveryRow();
        } catch (const db::DbError& e) {
            qWarning("%s", qUtf8Printable(e.detail()));
        }
    });
}

void F_EDIT::Form_Unload() {
    store_.close();
    if (connection_.isOpen()) {
        connection_.close();
    }
}

void F_EDIT::Form_MouseDown(QMouseEvent* event) {
    if (event->button() == Qt::RightButton && popUpMenu) {
        popUpMenu(event->globalPosition().toPoint());
    }
}

void F_EDIT::setDataEnabled(bool enabled) {
    for (QWidget* control : ui().data) {
        control->setEnabled(enabled);
    }
}

void F_EDIT::XSZ() {
    setDataEnabled(true);
}

void F_EDIT::XSJ() {
    setDataEnabled(false);
}

void F_EDIT::XSK() {
    for (QWidget* control : ui().data) {
        setTextOf(control, QString());
    }
}

void F_EDIT::PD() {
    ui();
    if (!store_.empty()) {
        return;
    }
    services_.messageBox.show(QStringLiteral("没有可用记录"), infoTitle);
    const ui::Answer answer =
        services_.messageBox.show(QStringLiteral("没有记录是否添加新联系人信息?"),
                                  QStringLiteral("提示"), ui::Buttons::YesNo);
    if (answer == ui::Answer::Yes) {
        enterAddMode(AddFrom::EmptyTable);
    } else {
        XSK();
    }
}

void F_EDIT::setMode(Mode mode) {
    static const QString captions[] = {QString(), QStringLiteral("浏览联系人"),
                                       QStringLiteral("添加联系人"), QStringLiteral("修改联系人"),
                                       QStringLiteral("删除联系人")};
    setCaption(captions[int(mode)]); // loads the card first, where the mode is none
    mode_ = mode;
}

void F_EDIT::enterAddMode(AddFrom from) {
    setMode(Mode::Add);
    auto& c = ui();
    if (from != AddFrom::Menu) {
        c.Text_Cs->setEnabled(false);
    }
    XSK();
    XSZ();
    c.Command1->setEnabled(true);
    c.Command2->setEnabled(true);
    if (from == AddFrom::Toolbar) {
        c.TGR_BZ->setEnabled(true);
    }
}

void F_EDIT::enterModifyMode(bool fromToolbar) {
    setMode(Mode::Modify);
    auto& c = ui();
    if (fromToolbar) {
        c.TGR_BZ->setEnabled(true);
    }
    XSZ();
    c.Command2->setEnabled(true);
    c.Command3->setEnabled(true);
}

void F_EDIT::XSZL() {
    auto& c = ui();
    if (!store_.records().hasCurrent()) {
        XSK(); // nothing to show: the boxes are left empty
        return;
    }
    guarded([&] {
        const Contact contact = store_.current();
        c.Label26->setText(QString::number(contact.id));
        for (std::size_t i = 0; i < textColumns.size(); ++i) {
            setTextOf(c.data[i], contact.fields[i]);
        }
    });
}

// Every box exactly as typed, for its column.
Contact F_EDIT::typed() {
    const auto& data = ui().data;
    Contact contact;
    for (std::size_t i = 0; i < textColumns.size(); ++i) {
        contact.fields[i] = textOf(data[i]);
    }
    return contact;
}

bool F_EDIT::ADDTJ() {
    auto& c = ui();
    Contact contact = typed();
    contact.id = c.Label26->text().toLongLong();
    // A failed add leaves the boxes as they were typed.
    const bool saved = guarded([&] { store_.add(contact); });
    if (saved) {
        services_.messageBox.show(QStringLiteral("添加成功"), infoTitle);
    }
    return saved;
}

bool F_EDIT::XG() {
    ui();
    if (!store_.records().hasCurrent()) {
        services_.messageBox.show(
            QStringLiteral("没有选中的联系人，修改没有保存。请先找到或选中一位联系人。"),
            infoTitle);
        return false;
    }
    // A failed change leaves the stored contact for "取消" to show again.
    const bool saved = guarded([this] { store_.update(typed()); });
    if (saved) {
        services_.messageBox.show(QStringLiteral("修改成功"), infoTitle);
    }
    return saved;
}

void F_EDIT::Cx() {
    auto& c = ui();
    const QString name = c.Text_Cs->text();
    if (name.isEmpty()) {
        services_.messageBox.show(QStringLiteral("请告诉我您要找谁的信息！！！"),
                                  QStringLiteral("系统提示"));
        c.Text_Cs->setText(QStringLiteral(" 请输入要查询联系人的姓名 "));
        return;
    }
    const bool found = guarded([&] {
        store_.close();
        store_.findByName(connection_, name);
    });
    if (found && !store_.empty()) {
        XSZL();
    } else if (found) {
        offerSimilar(name);
    }
    c.Command4->show();
}

// Nobody has exactly that name: the list may hold whom the user meant,
// found by part of the name, its pinyin or a number. It is offered unless
// nobody is like the name; a very large book is looked through only so
// far for that, and the list then shows what there is.
void F_EDIT::offerSimilar(const QString& name) {
    const QString none = QStringLiteral("对不起，没有此人的记录！");
    SearchSlice similar;
    if (!guarded([&] { similar = ContactStore::search(connection_, name, {}, 1, similarRows); })) {
        return;
    }
    if ((similar.found.empty() && similar.atEnd) || !findSimilar) {
        services_.messageBox.show(none);
        return;
    }
    const ui::Answer answer = services_.messageBox.show(
        none + QStringLiteral("是否查看相近的联系人？"), {}, ui::Buttons::YesNo);
    if (answer == ui::Answer::Yes) {
        findSimilar(name);
    }
}

// One step through the record set; at either end the end record stays current.
void F_EDIT::step(bool forward) {
    PD();
    if (store_.empty()) {
        return;
    }
    bool atEnd = false;
    const bool moved = guarded([&] { // the moves read the file
        forward ? store_.moveNext() : store_.movePrevious();
        const db::Recordset& records = store_.records();
        atEnd = forward ? records.eof() : records.bof();
        if (atEnd) {
            forward ? store_.moveLast() : store_.moveFirst();
        }
    });
    if (!moved) {
        return;
    }
    if (!atEnd) {
        XSZL();
        return;
    }
    services_.messageBox.show(forward ? QStringLiteral("已经是最后一个记录了!")
                                      : QStringLiteral("已经是第一个记录了!"),
                              infoTitle);
}

void F_EDIT::G1() {
    step(true);
}

void F_EDIT::G2() {
    step(false);
}

void F_EDIT::DEL1() {
    ui();
    const ui::Answer answer = services_.messageBox.show(
        QStringLiteral("是否删除该条记录?不能恢复永久删除"), {}, ui::Buttons::YesNo);
    if (answer != ui::Answer::Yes) {
        return;
    }
    PD();
    if (store_.empty()) {
        return;
    }
    const db::Recordset& records = store_.records();
    if (!records.hasCurrent()) {
        services_.messageBox.show(QStringLiteral("没有选中的联系人，没有删除任何记录。"),
                                  infoTitle);
        return;
    }
    // The book keeps it, so that 撤销删除 can put it back.
    if (!guarded([this] { store_.removeCurrent(); })) {
        return;
    }
    bool none = false;
    if (!guarded([&] {
            store_.moveNext();
            if (records.eof()) {
                store_.movePrevious();
                none = records.bof();
            }
        })) {
        return;
    }
    if (none) {
        services_.messageBox.show(QStringLiteral("没有可用记录了"), infoTitle);
        XSK();
        return;
    }
    XSZL();
}

// Asks only: quitting must not load the card.
void F_EDIT::EXITX() {
    const ui::Answer answer = services_.messageBox.show(QStringLiteral("是否真的要退出？"),
                                                        QStringLiteral("提示"), ui::Buttons::YesNo);
    if (answer == ui::Answer::Yes && closeProgram) {
        closeProgram();
    }
}

// The drive's answer is true or false; anything else, or a failed command,
// counts as no disc.
bool F_EDIT::FindCdrom() {
    const platform::DeviceReply reply =
        services_.cdrom.sendString(QStringLiteral("status cdaudio media present"));
    return reply.code == 0 && reply.text.compare(u"true", Qt::CaseInsensitive) == 0;
}

void F_EDIT::sendDoorCommand(const QString& command) {
    if (services_.cdrom.sendString(command).code != 0) {
        services_.messageBox.show(QStringLiteral("光驱可能有问题，请检查后重试！"),
                                  QStringLiteral("错误"), ui::Buttons::Ok, ui::Icon::Critical);
    }
}

void F_EDIT::OpenCdrom() {
    sendDoorCommand(QStringLiteral("set cdaudio door open"));
}

void F_EDIT::CloseCdrom() {
    sendDoorCommand(QStringLiteral("set cdaudio door closed"));
}

void F_EDIT::CCDROM() {
    const bool disc = FindCdrom();
    QLabel* answer = ui().Label22;
    ui::setTextColour(answer, disc ? QColor(255, 0, 0) : QColor(0, 0, 0));
    answer->setText(disc ? QStringLiteral("光驱中有碟片！") : QStringLiteral("光驱中未装入碟片！"));
    ui::autoSize(answer); // its design width holds five characters of the answer
}

void F_EDIT::Command1_Click() {
    auto& c = ui();
    qint64 n = 0;
    if (!guarded([&] { n = ContactStore::nextNumber(connection_); })) {
        return;
    }
    c.Label26->setText(QString::number(n));
    if (mode_ != Mode::Add) {
        return;
    }
    if (!ADDTJ()) {
        return; // still in add mode, with everything typed
    }
    const ui::Answer more = services_.messageBox.show(QStringLiteral("是否继续添加记录？"),
                                                      QStringLiteral("提示"), ui::Buttons::YesNo);
    if (more == ui::Answer::Yes) {
        XSK();
        XSZ();
        c.Command1->setEnabled(true);
        c.Command2->setEnabled(true);
        return;
    }
    disableEditing(false);
    c.Text_Cs->setEnabled(true);
    XSJ();
    setMode(Mode::Browse);
}

void F_EDIT::Command2_Click() {
    auto& c = ui();
    XSJ();
    XSZL();
    setMode(Mode::Browse);
    disableEditing(true);
    c.Text_Cs->setEnabled(true);
}

void F_EDIT::Command3_Click() {
    if (!XG()) {
        return; // still editable, with everything typed
    }
    XSJ();
    disableEditing(true);
}

// Back to reading: 添加, 取消 (and 修改) and the notes box disabled.
void F_EDIT::disableEditing(bool modifyToo) {
    auto& c = ui();
    c.Command1->setEnabled(false);
    c.Command2->setEnabled(false);
    if (modifyToo) {
        c.Command3->setEnabled(false);
    }
    c.TGR_BZ->setEnabled(false);
}

bool F_EDIT::editing() {
    return isLoaded() && (ui().Command1->isEnabled() || ui().Command3->isEnabled());
}

void F_EDIT::showBook() {
    if (editing()) {
        return; // what is typed goes first; 继续浏览 shows the book later
    }
    unload();
    show();
}

bool F_EDIT::busyEditing() {
    if (!editing()) {
        return false;
    }
    show();
    services_.messageBox.show(
        QStringLiteral("请先保存或取消正在添加或修改的联系人，再查看其他联系人。"), infoTitle);
    return true;
}

void F_EDIT::showContact(qint64 rowId) {
    if (busyEditing()) {
        return;
    }
    show();
    bool there = false;
    if (!guarded([&] {
            if (!store_.holdsAll()) {
                store_.openAll(connection_);
            }
            there = store_.moveTo(rowId);
            if (!there) {
                store_.moveFirst();
            }
        })) {
        return;
    }
    auto& c = ui();
    c.Command4->hide();
    setMode(Mode::Browse);
    if (!there) {
        services_.messageBox.show(QStringLiteral("这位联系人已不在通讯录中。"), infoTitle);
    }
    XSZL();
}

std::optional<qint64> F_EDIT::currentRow() const {
    if (!store_.isOpen() || !store_.records().hasCurrent()) {
        return std::nullopt;
    }
    return store_.records().rowId();
}

bool F_EDIT::canUndoDelete() {
    try {
        return store_.canPutBack();
    } catch (const db::DbError& e) {
        qWarning("%s", qUtf8Printable(e.detail()));
        return false; // 撤销删除 itself says why, once asked
    }
}

// Nothing to undo: the menu item is off meanwhile.
void F_EDIT::undoDelete() {
    if (busyEditing()) {
        return;
    }
    show();
    bool back = false;
    // A failure keeps the card: it may be put back once the file can be written.
    if (!guarded([&] { back = store_.putBack(); }) || !back) {
        return;
    }
    ui().Command4->hide();
    XSZL();
}

void F_EDIT::Command4_Click() {
    ui().Command4->hide();
    unload();
    show();
}

void F_EDIT::Text_Cs_Click() {
    ui().Text_Cs->clear();
}

void F_EDIT::Timer1_Timer() {
    auto& c = ui();
    const QString now = platform::timeText(services_.clock.now());
    if (c.Label23->text() != now) {
        c.Label23->setText(now);
        ui::autoSize(c.Label23);
    }
    if (c.Label25->text().isEmpty()) {
        c.Label25->setText(helpText());
        ui::autoSize(c.Label25);
    }
    ui::setLeft(c.Label25, ui::left(c.Label25) - 15);
    if (ui::left(c.Label25) <= -ui::width(c.Label25)) {
        ui::setLeft(c.Label25, width());
    }
}

} // namespace contacts
