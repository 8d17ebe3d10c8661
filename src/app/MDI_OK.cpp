#include "MDI_OK.h"

#include "Forms.h"

#include "platform/db/ConnectionString.h"
#include "platform/db/Recordset.h"
#include "platform/ui/Guard.h"
#include "platform/ui/InputBox.h"
#include "platform/ui/Pictures.h"
#include "reports/DataReport.h"

#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QToolBar>
#include <QVBoxLayout>

#include <span>
#include <string_view>

namespace app {

namespace {

struct MenuEntry {
    const char* name;
    QStringView caption; // "-" is a separator line
    int depth;           // 0: a top-level menu
};

// The menu tree in display order; the items of a submenu follow it one level deeper.
constexpr MenuEntry menuTree[] = {
    {"FILE_F", u"文件(&F)", 0},
    {"FILE_2", u"修改用户信息", 1},
    {"FILE_3", u"-", 1},
    {"FILE_4", u"打印通讯录", 1},
    {"PRINT_1", u"打印个人信息", 2},
    {"PRINT_3", u"打印个人信息(全部)", 2},
    {"PRINT_2", u"打印联系电话薄", 2},
    {"l2", u"-", 1},
    {"FILE_E", u"退出(&X)", 1},
    {"EDIT_E", u"编辑(&E)", 0},
    {"EDIT_1", u"添加记录", 1},
    {"EDIT_2", u"修改记录", 1},
    {"EDIT_3", u"删除记录", 1},
    {"VIEW_V", u"查看(&V) ", 0},
    {"VIEW_1", u"查看联系人", 1},
    {"VIEW_2", u"查找联系人 ", 1},
    {"HELP_H", u"帮助(&H)", 0},
    {"HELP_1", u"关于...", 1},
    {"HELP_2", u"使用帮助", 1},
    {"FB_F", u"附表(&L)", 0},
    {"F_FBrl", u"我的日历本", 1},
    {"FB_1", u"全国电话区间号表", 1},
    {"FB_2", u"特服号码一览表", 1},
    {"F_FByh", u"全国邮政编码表-1", 1},
    {"F_FByh1", u"全国邮政编码表-2", 1},
    {"F_FBGJd", u"国际直拨电话区号", 1},
    {"menuedit", u"编辑", 0},
    {"Tools_TJ", u"实用工具", 1},
    {"MYPLAY", u"我的媒体播放机", 2},
    {"MYJSQ", u"我的记算器", 2},
    {"MYBOOK", u"我的记事本", 2},
    {"MYIT", u"我的电脑信息", 2},
    {"line6", u"-", 1},
    {"MnuCdRom", u"检测光驱", 1},
    {"MnuOpenCdrom", u"弹出光盘", 1},
    {"MnucloseCdrom", u"关闭光驱", 1},
    {"line4", u"-", 1},
    {"MnuGy", u"关于..", 1},
    {"Mnuhelp", u"帮助..", 1},
    {"line5", u"-", 1},
    {"Mnuexit", u"退出程序", 1},
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

} // namespace

MdiClientArea::MdiClientArea(QWidget* parent)
    : QMdiArea(parent)
    , picture_(ui::backgroundPicture(devicePixelRatioF())) {
    setBackground(Qt::white);
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

    Toolbar1 = new QToolBar(form);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setMovable(false);

    MDIClient = new MdiClientArea(form);
    MDIClient->setObjectName(QStringLiteral("MDIClient"));

    auto* layout = new QVBoxLayout(form);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar);
    layout->addWidget(Toolbar1);
    layout->addWidget(MDIClient, 1);

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

MDI_OK::MDI_OK(const platform::Services& services, Forms& forms)
    : FormOf(QStringLiteral("MDI_OK"))
    , services_(services)
    , forms_(forms) {
    openMaximized();
}

void MDI_OK::wireEvents(MDI_OK_Controls& c) {
    using Handler = void (MDI_OK::*)();
    const std::pair<const char*, Handler> handlers[] = {
        {"FILE_2", &MDI_OK::FILE_2_Click},   {"F_FBrl", &MDI_OK::F_FBrl_Click},
        {"FB_1", &MDI_OK::FB_1_Click},       {"FB_2", &MDI_OK::FB_2_Click},
        {"F_FByh", &MDI_OK::F_FByh_Click},   {"F_FByh1", &MDI_OK::F_FByh1_Click},
        {"F_FBGJd", &MDI_OK::F_FBGJd_Click}, {"HELP_1", &MDI_OK::HELP_1_Click},
        {"MnuGy", &MDI_OK::MnuGy_Click},     {"EDIT_1", &MDI_OK::EDIT_1_Click},
        {"EDIT_2", &MDI_OK::EDIT_2_Click},   {"EDIT_3", &MDI_OK::EDIT_3_Click},
        {"VIEW_1", &MDI_OK::VIEW_1_Click},   {"VIEW_2", &MDI_OK::VIEW_2_Click},
        {"FILE_E", &MDI_OK::FILE_E_Click},   {"Mnuexit", &MDI_OK::Mnuexit_Click},
        {"PRINT_1", &MDI_OK::PRINT_1_Click}, {"PRINT_2", &MDI_OK::PRINT_2_Click},
        {"PRINT_3", &MDI_OK::PRINT_3_Click},
    };
    for (const auto& [item, handler] : handlers) {
        QObject::connect(c.item(item), &QAction::triggered,
                         [this, handler = handler] { (this->*handler)(); });
    }
    c.MDIClient->mouseDown = [this](QMouseEvent* event) { MDIForm_MouseDown(event); };
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
    forms_.unloadTopLevelWindows();
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
    forms_.F_EDIT.setCaption(QStringLiteral("删除联系人"));
    forms_.F_EDIT.DEL1();
}

void MDI_OK::VIEW_1_Click() {
    forms_.F_EDIT.show();
    forms_.F_EDIT.setCaption(QStringLiteral("浏览联系人"));
}

void MDI_OK::VIEW_2_Click() {
    forms_.F_EDIT.Cx();
}

void MDI_OK::FILE_E_Click() {
    forms_.F_EDIT.EXITX();
}

void MDI_OK::Mnuexit_Click() {
    unload();
}

} // namespace app

namespace app {

std::unique_ptr<db::Connection> MDI_OK::openConnection() {
    auto connection = std::make_unique<db::Connection>();
    const bool opened = ui::guarded(services_.messageBox, [&] {
        connection->open(db::connectionString(services_.programFolder));
    });
    return opened ? std::move(connection) : nullptr;
}

// The rows go to the report together with their connection; nothing is written.
void MDI_OK::printContacts(reports::DataReport& report, std::unique_ptr<db::Connection> connection,
                           const QString& sql, const QVariantList& parameters, bool rowsRequired) {
    db::Recordset records;
    if (!ui::guarded(services_.messageBox, [&] { records.open(*connection, sql, parameters); })) {
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
    printContacts(forms_.DYGE, std::move(connection),
                  QStringLiteral("SELECT * From yanshu where GR_xm = ?"), {name}, true);
}

void MDI_OK::PRINT_3_Click() {
    if (auto connection = openConnection()) {
        printContacts(forms_.DYGE, std::move(connection), QStringLiteral("SELECT * From yanshu"),
                      {}, true);
    }
}

void MDI_OK::PRINT_2_Click() {
    if (auto connection = openConnection()) {
        printContacts(forms_.YANSHUALL, std::move(connection),
                      QStringLiteral("SELECT * From yanshu"), {}, false);
    }
}

} // namespace app
