#include "F_EWM.h"

#include "contacts/Book.h"
#include "contacts/WithBook.h"
#include "platform/ui/Controls.h"
#include "platform/ui/FileDialog.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Twips.h"

#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace qrcode {

namespace {

const QString title = QStringLiteral("名片二维码");
constexpr int codeSide = 6000;   // twips, on screen
constexpr int savedScale = 8;    // pixels a module in the saved picture
constexpr double printedMm = 70; // the printed code's side, at most

// The name as a file name: what Windows forbids in one becomes '_'.
QString fileNameOf(const QString& name) {
    QString file = name.trimmed();
    for (QChar& c : file) {
        if (QStringView(u"\\/:*?\"<>|").contains(c) || c.unicode() < 32) {
            c = u'_';
        }
    }
    return (file.isEmpty() ? title : file) + QStringLiteral(".png");
}

} // namespace

F_EWM_Controls::F_EWM_Controls(ui::FormWidget* form) {
    form->setFont(ui::font(u"宋体", 9));
    lblName = ui::label(form, u"lblName", {});
    ui::place(lblName, 240, 180, codeSide, 270);
    picCode = ui::label(form, u"picCode", {});
    picCode->setAlignment(Qt::AlignCenter);
    picCode->setAutoFillBackground(true);
    picCode->setPalette(QPalette(Qt::black, Qt::white));
    ui::place(picCode, 240, 540, codeSide, codeSide);
    lblLeftOut = ui::label(form, u"lblLeftOut", {});
    ui::place(lblLeftOut, 240, 660 + codeSide, codeSide, 270);
    cmdPrint = ui::button(form, u"cmdPrint", QStringLiteral("打印(&P)"), 6480, 540, 1500, 390);
    cmdSave =
        ui::button(form, u"cmdSave", QStringLiteral("保存图片(&S)..."), 6480, 1050, 1500, 390);
    cmdClose = ui::button(form, u"cmdClose", QStringLiteral("关闭"), 6480, 6150, 1500, 390);
    form->setDialogButtons(cmdClose, cmdClose);
}

F_EWM::F_EWM(const platform::Services& services)
    : FormOf(QStringLiteral("F_EWM"))
    , services_(services) {
    choosePrinter = [this](QPrinter& printer) {
        QPrintDialog dialog(&printer, window());
        return dialog.exec() == QDialog::Accepted;
    };
}

void F_EWM::wireEvents(F_EWM_Controls& c) {
    QObject::connect(c.cmdPrint, &QPushButton::clicked, [this] { cmdPrint_Click(); });
    QObject::connect(c.cmdSave, &QPushButton::clicked, [this] { cmdSave_Click(); });
    QObject::connect(c.cmdClose, &QPushButton::clicked, [this] { cmdClose_Click(); });
}

void F_EWM::Form_Load() {
    setCaption(title);
    setClientSize(8220, 7140);
}

void F_EWM::tell(const QString& text) {
    services_.messageBox.show(text, title);
}

void F_EWM::showFor(qint64 rowId) {
    std::optional<contacts::StoredContact> stored;
    if (!contacts::withBook(services_, [&](db::Connection& connection) {
            stored = contacts::Book(connection).byRow(rowId);
        })) {
        return;
    }
    if (!stored) {
        tell(QStringLiteral("这位联系人已不在通讯录中。"));
        return;
    }
    std::optional<CardCode> card = cardCode(stored->contact);
    if (!card) {
        tell(QStringLiteral("这位联系人的信息太多，去掉备注和地址也放不进一个二维码。"));
        return;
    }
    card_ = std::move(card);
    name_ = stored->contact[contacts::Field::Name];
    show();
    showCard();
}

void F_EWM::showCard() {
    auto& c = ui();
    c.lblName->setText(QStringLiteral("联系人：%1").arg(name_));
    const Modules& modules = card_->modules;
    c.picCode->setPixmap(
        QPixmap::fromImage(codeImage(modules, scaleWithin(modules, ui::px(codeSide)))));
    c.lblLeftOut->setText(card_->leftOut.isEmpty()
                              ? QString()
                              : card_->leftOut.join(u'和') + QStringLiteral("太长，未放入二维码"));
}

// The code at the printer's own resolution, whole dots a module, under
// the name.
void F_EWM::cmdPrint_Click() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(title);
    if (!choosePrinter(printer)) {
        return;
    }
    QPainter painter;
    bool printed = painter.begin(&printer);
    if (printed) {
        const QRect page = painter.viewport();
        const int dots = int(printedMm / 25.4 * printer.resolution());
        const Modules& modules = card_->modules;
        const QImage code = codeImage(modules, scaleWithin(modules, std::min(dots, page.width())));
        painter.setFont(ui::font(u"宋体", 14));
        const QRect heading(0, 0, page.width(), painter.fontMetrics().height() * 2);
        painter.drawText(heading, Qt::AlignCenter, name_);
        painter.drawImage(QPoint((page.width() - code.width()) / 2, heading.bottom()), code);
        printed = painter.end() && printer.printerState() != QPrinter::Error;
    }
    if (!printed) {
        tell(QStringLiteral("打印没有完成：打印机没有接受这张二维码。请检查打印机后再试。"));
    }
}

void F_EWM::cmdSave_Click() {
    const auto chosen = services_.fileDialog.saveFileName(
        QStringLiteral("保存图片"), fileNameOf(name_), {QStringLiteral("PNG 图片 (*.png)")});
    if (!chosen) {
        return;
    }
    QString path = chosen->path;
    if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) {
        path += QStringLiteral(".png");
    }
    if (!codeImage(card_->modules, savedScale).save(path, "PNG")) {
        tell(QStringLiteral("图片没有保存：无法写入“%1”。").arg(QDir::toNativeSeparators(path)));
    }
}

void F_EWM::cmdClose_Click() {
    unload();
}

} // namespace qrcode
