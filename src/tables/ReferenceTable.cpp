#include "ReferenceTable.h"

#include "platform/ui/Fonts.h"
#include "platform/ui/Pictures.h"
#include "platform/ui/Twips.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QScrollBar>

namespace tables {

TableDesign F_QJHM() {
    return {QStringLiteral("F_QJHM"),
            QStringLiteral("全国电话号码区号"),
            QStringLiteral("Text1"),
            QRect(240, 360, 4455, 4695),
            14.25,
            QStringLiteral(":/tables/F_QJHM.txt")};
}

TableDesign F_FB() {
    return {QStringLiteral("F_FB"),
            QStringLiteral("附表:特服号码表"),
            QStringLiteral("T_FB"),
            QRect(240, 360, 4455, 4575),
            10.5,
            QStringLiteral(":/tables/F_FB.txt")};
}

TableDesign F_FBYB() {
    return {QStringLiteral("F_FBYB"),
            QStringLiteral("全国邮政编码表-1"),
            QStringLiteral("Text1"),
            QRect(240, 240, 4335, 4575),
            12,
            QStringLiteral(":/tables/F_FBYB.txt")};
}

TableDesign F_FBYB1() {
    return {QStringLiteral("F_FBYB1"),
            QStringLiteral("全国邮政编码表-2"),
            QStringLiteral("Text1"),
            QRect(240, 240, 4575, 4815),
            12,
            QStringLiteral(":/tables/F_FBYB1.txt")};
}

TableDesign F_FBGJ() {
    return {QStringLiteral("F_FBGJ"),
            QStringLiteral("国际直拨电话区号"),
            QStringLiteral("Text1"),
            QRect(240, 240, 4215, 4815),
            10.5,
            QStringLiteral(":/tables/F_FBGJ.txt")};
}

ReferenceTable_Controls::ReferenceTable_Controls(ui::FormWidget* form) {
    form->setPicture(ui::backgroundPicture(form->devicePixelRatioF()));
    text = new QPlainTextEdit(form);
    // Long lines wrap: a vertical scroll bar only.
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

ReferenceTable::ReferenceTable(TableDesign design)
    : FormOf(design.name)
    , design_(std::move(design)) {}

void ReferenceTable::Form_Load() {
    auto& c = ui();
    setCaption(design_.caption);
    c.text->setObjectName(design_.box);
    const QRect& box = design_.boxTwips;
    ui::place(c.text, box.x(), box.y(), box.width(), box.height());
    // 宋体 with blanks half as wide as a Chinese character, so that padded
    // columns line up as they were laid out.
    c.text->setFont(ui::font(u"新宋体", design_.points));
    QFile file(design_.resource);
    file.open(QIODevice::ReadOnly); // compiled in: it is always there
    c.text->setPlainText(QString::fromUtf8(file.readAll()));
    c.text->setFocus();

    setOuterSize(5100, 5700);
    setTop(400);
    setLeft(2000);
}

} // namespace tables
