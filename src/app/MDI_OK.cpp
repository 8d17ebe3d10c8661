#include "MDI_OK.h"

#include "Forms.h"

#include "contacts/ContactStore.h"
#include "contacts/Schema.h"
#include "platform/Clock.h"
#include "platform/ProgramStarter.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/Recordset.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Guard.h"
#include "platform/ui/InputBox.h"
#include "platform/ui/Pictures.h"
#include "platform/ui/SendKeys.h"
#include "platform/ui/StatusBar.h"
#include "platform/ui/Twips.h"
#include "reports/DataReport.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <iterator>
#include <span>
#include <string_view>

namespace app {

namespace {

using Handler = void (MDI_OK::*)();

struct MenuEntry {
    const char* name;
    QStringView caption; // "-" is a separator line
    int depth;           // 0: a top-level menu
    Handler click = nullptr;
};

// The menu tree in display order; the items of a submenu follow it one level deeper.
constexpr MenuEntry menuTree[] = {
    {"FILE_F", u"文件(&F)", 0},
    {"FILE_2", u"修改用户信息", 1, &MDI_OK::FILE_2_Click},
    {"FILE_3", u"-", 1},
    {"FILE_4", u"打印通讯录", 1},
    {"PRINT_1", u"打印个人信息", 2, &MDI_OK::PRINT_1_Click},
    {"PRINT_3", u"打印个人信息(全部)", 2, &MDI_OK::PRINT_3_Click},
    {"PRINT_2", u"打印联系电话薄", 2, &MDI_OK::PRINT_2_Click},
    {"l3", u"-", 1},
    {"FILE_IMP", u"导入联系人...", 1, &MDI_OK::FILE_IMP_Click},
    {"FILE_EXP", u"导出联系人...", 1, &MDI_OK::FILE_EXP_Click},
    {"FILE_BAK", u"备份与恢复...", 1, &MDI_OK::FILE_BAK_Click},
    {"FILE_TBSZ", u"同步设置...", 1, &MDI_OK::FILE_TBSZ_Click},
    {"FILE_TB", u"立即同步", 1, &MDI_OK::FILE_TB_Click},
    {"FILE_TBJL", u"同步记录...", 1, &MDI_OK::FILE_TBJL_Click},
    {"l2", u"-", 1},
    {"FILE_E", u"退出(&X)", 1, &MDI_OK::FILE_E_Click},
    {"EDIT_E", u"编辑(&E)", 0},
    {"EDIT_1", u"添加记录", 1, &MDI_OK::EDIT_1_Click},
    {"EDIT_2", u"修改记录", 1, &MDI_OK::EDIT_2_Click},
    {"EDIT_3", u"删除记录", 1, &MDI_OK::EDIT_3_Click},
    {"EDIT_UNDO", u"撤销删除", 1, &MDI_OK::EDIT_UNDO_Click},
    {"EDIT_CF", u"查找重复联系人...", 1, &MDI_OK::EDIT_CF_Click},
    {"VIEW_V", u"查看(&V) ", 0},
    {"VIEW_1", u"查看联系人", 1, &MDI_OK::VIEW_1_Click},
    {"VIEW_2", u"查找联系人 ", 1, &MDI_OK::VIEW_2_Click},
    {"VIEW_3", u"联系人列表", 1, &MDI_OK::VIEW_3_Click},
    {"VIEW_4", u"其他信息...", 1, &MDI_OK::VIEW_4_Click},
    {"VIEW_SR", u"生日提醒...", 1, &MDI_OK::VIEW_SR_Click},
    {"VIEW_QR", u"名片二维码...", 1, &MDI_OK::VIEW_QR_Click},
    {"HELP_H", u"帮助(&H)", 0},
    {"HELP_1", u"关于...", 1, &MDI_OK::HELP_1_Click},
    {"HELP_2", u"使用帮助", 1, &MDI_OK::HELP_2_Click},
    {"FB_F", u"附表(&L)", 0},
    {"F_FBrl", u"我的日历本", 1, &MDI_OK::F_FBrl_Click},
    {"FB_1", u"全国电话区间号表", 1, &MDI_OK::FB_1_Click},
    {"FB_2", u"特服号码一览表", 1, &MDI_OK::FB_2_Click},
    {"F_FByh", u"全国邮政编码表-1", 1, &MDI_OK::F_FByh_Click},
    {"F_FByh1", u"全国邮政编码表-2", 1, &MDI_OK::F_FByh1_Click},
    {"F_FBGJd", u"国际直拨电话区号", 1, &MDI_OK::F_FBGJd_Click},
    {"menuedit", u"编辑", 0},
    {"Tools_TJ", u"实用工具", 1},
    {"MYPLAY", u"我的媒体播放机", 2, &MDI_OK::MYPLAY_Click},
    {"MYJSQ", u"我的记算器", 2, &MDI_OK::MYJSQ_Click},
    {"MYBOOK", u"我的记事本", 2, &MDI_OK::MYBOOK_Click},
    {"MYIT", u"我的电脑信息", 2, &MDI_OK::MYIT_Click},
    {"line6", u"-", 1},
    {"MnuCdRom", u"检测光驱", 1, &MDI_OK::MnuCdRom_Click},
    {"MnuOpenCdrom", u"弹出光盘", 1, &MDI_OK::MnuOpenCdrom_Click},
    {"MnucloseCdrom", u"关闭光驱", 1, &MDI_OK::MnucloseCdrom_Click},
    {"line4", u"-", 1},
    {"MnuGy", u"关于..", 1, &MDI_OK::MnuGy_Click},
    {"Mnuhelp", u"帮助..", 1, &MDI_OK::Mnuhelp_Click},
    {"line5", u"-", 1},
    {"Mnuexit", u"退出程序", 1, &MDI_OK::Mnuexit_Click},
};

struct ToolbarButton {
    QStringView caption;
    QStringView toolTip;
    const char* picture;
    Handler click;
};

// The toolbar, by index from 1; each button repeats a menu command or two.
constexpr ToolbarButton toolbarButtons[] = {
    {u"新联系人", u"添加新联系人", "new", &MDI_OK::newContactButton},
    {u"后退", u"向前移动一个记录", "back", &MDI_OK::backButton},
    {u"前进", u"向后移动一个记录", "forward", &MDI_OK::forwardButton},
    {u"查询", u"查询联系人信息", "find", &MDI_OK::VIEW_2_Click},
    {u"删除", u"删除当前联系人", "delete", &MDI_OK::deleteButton},
    {u"修改", u"修改当前联系人信息", "modify", &MDI_OK::modifyButton},
    {u"关于..", u"关于通讯录", "about", &MDI_OK::MnuGy_Click},
    {u"帮助", u"通讯录帮助", "help", &MDI_OK::Mnuhelp_Click},
    {u"退出", u"退出通讯录", "exit", &MDI_OK::exitButton},
    {u"日历", u"日历本", "calendar", &MDI_OK::F_FBrl_Click},
    {u"检测光驱", u"检查光驱里是否有光盘", "cdrom", &MDI_OK::MnuCdRom_Click},
};

using Style = ui::StatusBar::Style;
const QList<ui::StatusBar::Panel> statusPanels = {
    {Style::Text, QStringLiteral("雁书簿..."), 2000, QStringLiteral("雁书簿...")},
    {Style::Text, QString(), 1440},
    {Style::Insert, QStringLiteral("Ins"), 1440},
    {Style::CapsLock, QStringLiteral("CAPS"), 1440},
    {Style::NumLock, QStringLiteral("NUM"), 1440},
    {Style::Date, QStringLiteral("2003-9-10"), 1440},
};

void name(QObject* object, const char* name) {
    object->setObjectName(QLatin1String(name));
}

// Builds the tree under the menu bar; the pop-up menu `menuedit` stays out of it.
void buildMenus(QMenuBar* bar, QWidget* owner) {
    const std::span<const MenuEntry> entries(menuTree);
    QMenu* open[3] = {};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const MenuEntry& e = entries[i];
        const QString caption = e.caption.toString();
        const bool hasItems = i + 1 < entries.size() && entries[i + 1].depth > e.depth;
        if (e.depth == 0) {
            QMenu* menu = new QMenu(caption, owner);
            if (std::string_view(e.name) != "menuedit") {
                bar->addMenu(menu);
                menu->menuAction()->setEnabled(false); // until the login
            }
            name(menu, e.name);
            name(menu->menuAction(), e.name);
            open[0] = menu;
        } else if (e.caption == u"-") {
            name(open[e.depth - 1]->addSeparator(), e.name);
        } else if (hasItems) {
            QMenu* menu = open[e.depth - 1]->addMenu(caption);
            name(menu, e.name);
            name(menu->menuAction(), e.name);
            open[e.depth] = menu;
        } else {
            name(open[e.depth - 1]->addAction(caption), e.name);
        }
    }
}

// Pictures with their captions under them; the actions are Button1 to Button11.
QToolBar* toolbar(QWidget* form) {
    auto* bar = new QToolBar(form);
    bar->setObjectName(QStringLiteral("Toolbar1"));
    bar->setMovable(false);
    bar->setIconSize(QSize(32, 32));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    int index = 0;
    for (const ToolbarButton& b : toolbarButtons) {
        QAction* action = bar->addAction(
            QIcon(QStringLiteral(":/art/toolbar/%1.svg").arg(QLatin1String(b.picture))),
            b.caption.toString());
        action->setToolTip(b.toolTip.toString());
        action->setObjectName(QStringLiteral("Button%1").arg(++index));
        action->setData(index);
    }
    return bar;
}

// The time is never greyed: it keeps its colour while the toolbar waits
// for the login. The style draws a disabled label's text grey whatever its
// palette says, so the label draws its text itself.
class ClockLabel final : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::Active, foregroundRole()));
        painter.drawText(contentsRect(), int(alignment()), text());
    }
};

QLabel* clockLabel(QToolBar* bar) {
    auto* spacer = new QWidget(bar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spacer);
    auto* clock = ui::make<ClockLabel>(bar, u"Label1");
    clock->setText(QStringLiteral("Label1"));
    clock->setFont(ui::font(u"宋体", 12, true));
    clock->setContentsMargins(ui::px(120), 0, ui::px(240), 0);
    bar->addWidget(clock);
    return clock;
}

} // namespace

MdiClientArea::MdiClientArea(QWidget* parent)
    : QMdiArea(parent)
    , picture_(ui::backgroundPicture(devicePixelRatioF())) {
    setBackground(Qt::white);
    // A child larger than the area, on a small screen, can still be reached.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void MdiClientArea::paintEvent(QPaintEvent* event) {
    QMdiArea::paintEvent(event);
    QPainter(viewport()).drawPixmap(0, 0, picture_);
}

void MdiClientArea::mousePressEvent(QMouseEvent* event) {
    QMdiArea::mousePressEvent(event);
    if (mouseDown) {
        mouseDown(event);
    }
}

MDI_OK_Controls::MDI_OK_Controls(ui::FormWidget* form)
    : form_(form) {
    form->setWindowTitle(QStringLiteral("雁书簿"));
    form->resize(1024, 768); // the size when not maximized

    menuBar = new QMenuBar(form);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    menuBar->setNativeMenuBar(false); // the menus belong to this window
    buildMenus(menuBar, form);

    Toolbar1 = toolbar(form);
    Toolbar1->setEnabled(false); // until the login, as the menus
    Label1 = clockLabel(Toolbar1);
    MDIClient = new MdiClientArea(form);
    MDIClient->setObjectName(QStringLiteral("MDIClient"));
    StatusBar1 = new ui::StatusBar(form, u"StatusBar1", 315, statusPanels);
    Timer1 = ui::timer(form, u"Timer1", 1000, Qt::PreciseTimer);

    auto* layout = new QVBoxLayout(form);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar);
    layout->addWidget(Toolbar1);
    layout->addWidget(MDIClient, 1);
    layout->addWidget(StatusBar1);

    // The disc test shows its answer on the card, which waits for the login.
    item("MnuCdRom")->setEnabled(false);
    // Anywhere in the main window, once its menus are open to the user.
    item("VIEW_3")->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    // A text box being typed into takes the key for its own undo first.
    item("EDIT_UNDO")->setShortcut(QKeySequence::Undo);
    item("EDIT_UNDO")->setEnabled(false); // nothing deleted yet

    const auto menu = [form](const char* name) {
        return form->findChild<QMenu*>(QLatin1String(name));
    };
    FILE_F = menu("FILE_F");
    EDIT_E = menu("EDIT_E");
    VIEW_V = menu("VIEW_V");
    HELP_H = menu("HELP_H");
    FB_F = menu("FB_F");
    menuedit = menu("menuedit");
}

QAction* MDI_OK_Controls::item(const char* name) const {
    return form_->findChild<QAction*>(QLatin1String(name));
}

QAction* MDI_OK_Controls::button(int index) const {
    return Toolbar1->findChild<QAction*>(QStringLiteral("Button%1").arg(index));
}

MDI_OK::MDI_OK(const platform::Services& services, Forms& forms)
    : FormOf(QStringLiteral("MDI_OK"))
    , services_(services)
    , forms_(forms)
    , files_(
          services, [this] { return openConnection(); }, forms.bookChanges)
    , reminder_(services) {
    files_.reviewDuplicates = [this](std::vector<contacts::DuplicateGroup> groups) {
        forms_.F_CF.showFound(std::move(groups));
    };
    openMaximized();
}

void MDI_OK::wireEvents(MDI_OK_Controls& c) {
    for (const MenuEntry& entry : menuTree) {
        if (entry.click) {
            QObject::connect(c.item(entry.name), &QAction::triggered,
                             [this, click = entry.click] { (this->*click)(); });
        }
    }
    c.MDIClient->mouseDown = [this](QMouseEvent* event) { MDIForm_MouseDown(event); };
    QObject::connect(c.Toolbar1, &QToolBar::actionTriggered,
                     [this](QAction* button) { Toolbar1_ButtonClick(button->data().toInt()); });
    QObject::connect(c.Timer1, &QTimer::timeout, [this] { Timer1_Timer(); });
    c.StatusBar1->follow(services_.clock, services_.keyboard);
    Timer1_Timer(); // the time from the first moment, not a second later
}

QMdiArea* MDI_OK::childArea() {
    show();
    return isLoaded() ? ui().MDIClient : nullptr;
}

void MDI_OK::popUpMenuedit(QPoint globalPosition) {
    ui().menuedit->popup(globalPosition);
}

void MDI_OK::MDIForm_MouseDown(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        popUpMenuedit(event->globalPosition().toPoint());
    }
}

// The child windows have closed already, each through its own unload.
void MDI_OK::MDIForm_Unload() {
    reminder_.cancel();
    forms_.unloadTopLevelWindows();
    ui::guarded(services_.messageBox,
                [this] { session_.finish(services_.clock.now(), services_.progress); });
    // After the run's backup, before it: what a sync changes is on the
    // server, and is no reason for one.
    if (ui().Toolbar1->isEnabled()) { // logged in
        carddav::syncNow(forms_.services, forms_.bookChanges, carddav::SyncStart::Automatic);
    }
}

void MDI_OK::FILE_2_Click() {
    forms_.F_XGYH.show();
}

void MDI_OK::F_FBrl_Click() {
    forms_.frmcalendar.show();
}

void MDI_OK::FB_1_Click() {
    forms_.F_QJHM.show();
}

void MDI_OK::FB_2_Click() {
    forms_.F_FB.show();
}

void MDI_OK::F_FByh_Click() {
    forms_.F_FBYB.show();
}

void MDI_OK::F_FByh1_Click() {
    forms_.F_FBYB1.show();
}

void MDI_OK::F_FBGJd_Click() {
    forms_.F_FBGJ.show();
}

void MDI_OK::HELP_1_Click() {
    forms_.F_GY.show();
}

void MDI_OK::MnuGy_Click() {
    forms_.F_GY.show();
}

void MDI_OK::EDIT_1_Click() {
    forms_.F_EDIT.enterAddMode(contacts::F_EDIT::AddFrom::Menu);
}

void MDI_OK::EDIT_2_Click() {
    forms_.F_EDIT.enterModifyMode(false);
}

void MDI_OK::EDIT_3_Click() {
    forms_.F_EDIT.setMode(contacts::F_EDIT::Mode::Delete);
    forms_.F_EDIT.DEL1();
}

void MDI_OK::EDIT_UNDO_Click() {
    forms_.F_EDIT.undoDelete();
}

void MDI_OK::EDIT_CF_Click() {
    forms_.F_CF.show();
}

void MDI_OK::followUndo() {
    ui().item("EDIT_UNDO")->setEnabled(forms_.F_EDIT.canUndoDelete());
}

void MDI_OK::VIEW_1_Click() {
    forms_.F_EDIT.show();
    forms_.F_EDIT.setMode(contacts::F_EDIT::Mode::Browse);
}

void MDI_OK::VIEW_2_Click() {
    forms_.F_EDIT.Cx();
}

void MDI_OK::VIEW_3_Click() {
    forms_.F_LIST.showSearch();
}

// The extras of the contact the card shows.
void MDI_OK::VIEW_4_Click() {
    if (const std::optional<qint64> row = forms_.F_EDIT.currentRow()) {
        forms_.F_QTXX.showFor(*row);
    } else {
        VIEW_1_Click(); // the card, which says the book is empty
    }
}

void MDI_OK::VIEW_SR_Click() {
    forms_.F_SRTX.show();
}

// The code of the contact the card shows.
void MDI_OK::VIEW_QR_Click() {
    if (const std::optional<qint64> row = forms_.F_EDIT.currentRow()) {
        forms_.F_EWM.showFor(*row);
    } else {
        services_.messageBox.show(
            QStringLiteral("没有当前联系人：请先在卡片或联系人列表中选一位。"),
            QStringLiteral("名片二维码"));
    }
}

void MDI_OK::remindBirthdays() {
    reminder_.start();
}

void MDI_OK::FILE_E_Click() {
    forms_.F_EDIT.EXITX();
}

void MDI_OK::FILE_IMP_Click() {
    if (files_.importContacts()) {
        forms_.F_EDIT.showBook();
    }
}

void MDI_OK::FILE_EXP_Click() {
    files_.exportContacts();
}

void MDI_OK::FILE_BAK_Click() {
    forms_.F_BF.show();
}

void MDI_OK::FILE_TBSZ_Click() {
    forms_.F_TB.show();
}

void MDI_OK::FILE_TB_Click() {
    carddav::syncNow(forms_.services, forms_.bookChanges);
}

void MDI_OK::FILE_TBJL_Click() {
    forms_.F_TBJL.show();
}

void MDI_OK::Mnuexit_Click() {
    unload();
}

// Help comes up as for F1 pressed in whichever window has the keyboard.
void MDI_OK::HELP_2_Click() {
    ui::sendKeys(u"{F1}");
}

void MDI_OK::Mnuhelp_Click() {
    ui::sendKeys(u"{F1}");
}

void MDI_OK::startProgram(platform::DesktopProgram program, const char* item) {
    const platform::ProgramStart start = services_.programs.start(program);
    if (start.started) {
        return;
    }
    const QString caption = ui().item(item)->text();
    const QString text =
        start.program.isEmpty()
            ? QStringLiteral("没有找到可以打开“%1”的程序。已查找：%2。")
                  .arg(caption, start.tried.join(u'、'))
            : QStringLiteral("“%1”没有启动：%2 启动失败。").arg(caption, start.program);
    services_.messageBox.show(text, QStringLiteral("系统提示"));
}

void MDI_OK::MYPLAY_Click() {
    startProgram(platform::DesktopProgram::MediaPlayer, "MYPLAY");
}

void MDI_OK::MYJSQ_Click() {
    startProgram(platform::DesktopProgram::Calculator, "MYJSQ");
}

void MDI_OK::MYBOOK_Click() {
    startProgram(platform::DesktopProgram::TextEditor, "MYBOOK");
}

void MDI_OK::MYIT_Click() {
    startProgram(platform::DesktopProgram::SystemInformation, "MYIT");
}

void MDI_OK::MnuCdRom_Click() {
    forms_.F_EDIT.CCDROM();
}

void MDI_OK::MnuOpenCdrom_Click() {
    forms_.F_EDIT.OpenCdrom();
}

void MDI_OK::MnucloseCdrom_Click() {
    forms_.F_EDIT.CloseCdrom();
}

void MDI_OK::Toolbar1_ButtonClick(int index) {
    if (index < 1 || index > int(std::size(toolbarButtons))) {
        return; // no such button
    }
    const Handler click = toolbarButtons[index - 1].click;
    (this->*click)();
}

void MDI_OK::newContactButton() {
    forms_.F_EDIT.enterAddMode(contacts::F_EDIT::AddFrom::Toolbar);
}

void MDI_OK::backButton() {
    forms_.F_EDIT.show();
    forms_.F_EDIT.G2();
}

void MDI_OK::forwardButton() {
    forms_.F_EDIT.show();
    forms_.F_EDIT.G1();
}

// Unlike the menu item, no caption is set first.
void MDI_OK::deleteButton() {
    forms_.F_EDIT.DEL1();
}

void MDI_OK::modifyButton() {
    forms_.F_EDIT.enterModifyMode(true);
}

// Two of the reference tables close before the question.
void MDI_OK::exitButton() {
    forms_.F_FB.unload();
    forms_.F_QJHM.unload();
    forms_.F_EDIT.EXITX();
}

void MDI_OK::switchOn() {
    auto& c = ui();
    c.Toolbar1->setEnabled(true);
    c.item("MnuCdRom")->setEnabled(true);
    for (QMenu* menu : {c.FILE_F, c.HELP_H, c.EDIT_E, c.VIEW_V, c.FB_F}) {
        menu->menuAction()->setEnabled(true);
    }
    carddav::syncNow(forms_.services, forms_.bookChanges, carddav::SyncStart::Automatic);
    session_.start(services_.databaseFile);
}

// The time of day. Not the last eight characters of the date and time:
// with a 12-hour clock (English Windows) they lose the hour, "59:26 AM".
void MDI_OK::Timer1_Timer() {
    ui().Label1->setText(platform::timeText(services_.clock.now()));
}

} // namespace app

namespace app {

std::unique_ptr<db::Connection> MDI_OK::openConnection() {
    auto connection = std::make_unique<db::Connection>();
    const bool opened = ui::guarded(services_.messageBox, [&] {
        contacts::openDatabase(*connection, db::connectionString(services_.databaseFile));
    });
    return opened ? std::move(connection) : nullptr;
}

// The rows go to the report together with their connection; nothing is written.
void MDI_OK::printContacts(reports::DataReport& report, std::unique_ptr<db::Connection> connection,
                           const std::optional<QString>& name, bool rowsRequired) {
    db::Recordset records;
    const bool read = ui::guarded(services_.messageBox, [&] {
        contacts::ContactStore::openForReport(records, *connection, name);
    });
    if (!read) {
        return;
    }
    if (rowsRequired && records.eof() && records.bof()) {
        services_.messageBox.show(QStringLiteral("对不起，没有此人的记录！"),
                                  QStringLiteral("提示"));
        return;
    }
    report.setDataSource(
        std::make_unique<reports::RecordsetRows>(std::move(connection), std::move(records)));
    report.show();
}

void MDI_OK::PRINT_1_Click() {
    auto connection = openConnection();
    if (!connection) {
        return;
    }
    // Cancel gives the empty name, which is looked up like any other.
    const QString name =
        services_.inputBox
            .ask(QStringLiteral("请输入要打印人的姓名:"), QStringLiteral("系统提示"), QString())
            .value_or(QString());
    printContacts(forms_.DYGE, std::move(connection), name, true);
}

void MDI_OK::PRINT_3_Click() {
    if (auto connection = openConnection()) {
        printContacts(forms_.DYGE, std::move(connection), std::nullopt, true);
    }
}

void MDI_OK::PRINT_2_Click() {
    if (auto connection = openConnection()) {
        printContacts(forms_.YANSHUALL, std::move(connection), std::nullopt, false);
    }
}

} // namespace app
