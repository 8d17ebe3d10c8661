#include "F_GY.h"

#include "Columns.h"
#include "WindowAnimation.h"

#include "platform/ui/Controls.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Pictures.h"
#include "platform/ui/Twips.h"

#include <QFontMetricsF>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

#include <algorithm>

namespace tables {

namespace {

// Where a new window stands before it is placed: the opening is drawn there.
const QRect createdAt(ui::px(2790), ui::px(2790), ui::px(6015), ui::px(3015));

// Every line of the text shows: the font steps down from its design size
// until the lines fit the box, whose height was measured for 宋体.
void fitLines(QPlainTextEdit* box) {
    const QStringList lines = box->toPlainText().split(u'\n', Qt::SkipEmptyParts);
    const qreal margin = 2 * box->document()->documentMargin() + 2;
    const qreal height = box->contentsRect().height() - margin;
    const qreal width = box->contentsRect().width() - margin;
    QFont font = box->font();
    for (; font.pointSizeF() > 6; font.setPointSizeF(font.pointSizeF() - 0.25)) {
        const QFontMetricsF metrics(font);
        qreal widest = 0;
        for (const QString& line : lines) {
            widest = std::max(widest, metrics.horizontalAdvance(line));
        }
        if (lines.size() * metrics.lineSpacing() <= height && widest <= width) {
            break;
        }
    }
    box->setFont(font);
}

} // namespace

QString aboutText() {
    const QString rule = QStringLiteral("  ") + QString(40, u'-');
    // The closing bar stands in column 42.
    const auto boxed = [](const QString& content) {
        return padToWidth(QStringLiteral("  | ") + content, 41) + u'|';
    };
    const QStringList lines = {
        rule,
        boxed(QStringLiteral("软件名称：雁书簿")),
        boxed(QStringLiteral("软件版本：VER 1.01")),
        boxed(QStringLiteral("开发时间：2003年09月06日")),
        boxed(QStringLiteral("程序制作：雁书簿项目")),
        rule,
        QStringLiteral("  联系方式： E-mail: yanshubu@example.org"),
        QString(21, u' ') + QStringLiteral("yanshubu-help@example.org"),
        rule,
    };
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

F_GY_Controls::F_GY_Controls(ui::FormWidget* form) {
    form->setWindowTitle(QStringLiteral("关于"));
    form->setFont(ui::font(u"宋体", 9));
    form->setPicture(ui::splashPicture(form->devicePixelRatioF()));

    Picture1 = ui::make<QLabel>(form, u"Picture1");
    Picture1->setPixmap(
        ui::picture(QStringLiteral(":/art/icon.svg"), {32, 32}, form->devicePixelRatioF()));
    Picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ui::place(Picture1, 240, 240, 540, 540);
    Label3 = ui::label(form, u"Label3", QStringLiteral("标准版"));
    ui::place(Label3, 240, 840, 540, 180);

    T_GY = ui::make<QPlainTextEdit>(form, u"T_GY");
    // Its columns line up only in a face whose Chinese is twice its Latin.
    T_GY->setFont(ui::font(u"新宋体", 9));
    T_GY->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    T_GY->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    T_GY->document()->setDocumentMargin(2);
    T_GY->setPlainText(aboutText());
    ui::place(T_GY, 1200, 240, 4335, 1575);
    fitLines(T_GY);

    Line1 = ui::line(form, u"Line1", 240, 1920, 5760);
    ui::setTextColour(Line1, Qt::blue);

    Command1 = ui::button(form, u"Command1", QStringLiteral("确定"), 120, 2400, 1215, 495);
    Command1->setIcon(QIcon(QStringLiteral(":/art/ok.svg")));
    form->setDialogButtons(Command1, nullptr);
}

F_GY::F_GY()
    : FormOf(QStringLiteral("F_GY")) {}

void F_GY::wireEvents(F_GY_Controls& c) {
    QObject::connect(c.Command1, &QPushButton::clicked, [this] { Command1_Click(); });
}

void F_GY::Form_Load() {
    client()->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    animate(client(), createdAt, 5000, Animation::Explode);
    if (!isLoaded()) {
        return; // closed with the program while it exploded
    }
    setTop(3000);
    setLeft(2500);
    setOuterSize(6015, 3015);
    ui().Command1->setFocus();
}

void F_GY::Command1_Click() {
    animate(client(), window()->frameGeometry(), 8000, Animation::Implode);
    unload(); // nothing when the program closed it meanwhile
}

} // namespace tables
