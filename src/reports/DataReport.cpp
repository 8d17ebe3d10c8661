#include "DataReport.h"

#include "Paint.h"

#include "platform/ui/Controls.h"
#include "platform/ui/FileDialog.h"
#include "platform/ui/Guard.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Progress.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollArea>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace reports {

namespace {

const QString hint = QStringLiteral("提示");
// 0: the whole page in the window, which is where the preview starts.
constexpr int zoomPercents[] = {0, 50, 75, 100, 150, 200};

} // namespace

RecordsetRows::RecordsetRows(std::unique_ptr<db::Connection> connection, db::Recordset records)
    : connection_(std::move(connection))
    , records_(std::move(records)) {}

// A report asks for the same few columns, by the same names, for every row:
// the name's address finds it at once, its characters confirm it.
QString RecordsetRows::text(qsizetype row, QStringView column) const {
    for (const Column& c : columns_) {
        if (c.asked == column.data() && c.name == column) {
            return records_.textAt(row, c.index);
        }
    }
    for (Column& c : columns_) {
        if (c.name == column) {
            c.asked = column.data();
            return records_.textAt(row, c.index);
        }
    }
    const int index = records_.columnIndex(column);
    columns_.push_back({column.data(), column.toString(), index});
    return records_.textAt(row, index);
}

PageView::PageView(QScrollArea* scroller)
    : QWidget(scroller)
    , scroller_(scroller) {
    scroller->installEventFilter(this);
}

void PageView::showPage(const Layout* layout, qsizetype page, double zoom) {
    layout_ = layout;
    page_ = page;
    zoom_ = zoom;
    fit();
    update();
}

void PageView::fit() {
    const double height = layout_ ? layout_->pageHeight() : a4Height;
    if (zoom_ > 0) {
        scale_ = zoom_ / 15.0;
    } else {
        // The room without scroll bars: the page that fits it needs none.
        const QSize room = scroller_->maximumViewportSize();
        scale_ = std::max(0.001, std::min(room.width() / double(a4Width), room.height() / height));
    }
    setFixedSize(std::max(1, int(a4Width * scale_)), std::max(1, int(height * scale_)));
}

// The whole page follows the window's size.
bool PageView::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::Resize && zoom_ == 0) {
        fit();
    }
    return false;
}

void PageView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (!layout_ || page_ >= qsizetype(layout_->pages().size())) {
        return;
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(scale_, scale_);
    try {
        paintPage(p, *layout_, page_);
    } catch (const db::DbError& e) {
        // The window's next step reads the rows again and says what failed.
        qWarning("%s", qUtf8Printable(e.detail()));
    }
}

DataReport_Controls::DataReport_Controls(ui::FormWidget* form) {
    auto* bar = ui::make<QToolBar>(form, u"Toolbar1");
    const auto action = [bar](const char* name, const QString& caption) {
        QAction* a = bar->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    cmdFirst = action("cmdFirst", QStringLiteral("首页"));
    cmdPrevious = action("cmdPrevious", QStringLiteral("上一页"));
    cmdNext = action("cmdNext", QStringLiteral("下一页"));
    cmdLast = action("cmdLast", QStringLiteral("末页"));
    bar->addSeparator();
    cboZoom = ui::make<QComboBox>(form, u"cboZoom");
    for (int percent : zoomPercents) {
        cboZoom->addItem(percent ? QStringLiteral("%1%").arg(percent) : QStringLiteral("整页"));
    }
    bar->addWidget(cboZoom);
    bar->addSeparator();
    cmdPrint = action("cmdPrint", QStringLiteral("打印..."));
    cmdPdf = action("cmdPdf", QStringLiteral("导出PDF..."));
    bar->addSeparator();
    lblPage = ui::label(form, u"lblPage", QString());
    bar->addWidget(lblPage);

    scroller = ui::make<QScrollArea>(form, u"scroller");
    scroller->setAlignment(Qt::AlignHCenter);
    scroller->setBackgroundRole(QPalette::Dark);
    page = new PageView(scroller);
    page->setObjectName(QStringLiteral("page"));
    scroller->setWidget(page);

    auto* layout = new QVBoxLayout(form);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(scroller, 1);

    tmrLayout = ui::timer(form, u"tmrLayout", 0);
    tmrLayout->stop();
}

DataReport::DataReport(const ReportDefinition& report, const platform::Services& services)
    : FormOf(report.name.toString())
    , report_(report)
    , services_(services) {
    // Room for a whole page and the toolbar whatever the screen.
    openMaximized();
}

void DataReport::wireEvents(DataReport_Controls& c) {
    QObject::connect(c.cmdFirst, &QAction::triggered, [this] { cmdFirst_Click(); });
    QObject::connect(c.cmdPrevious, &QAction::triggered, [this] { cmdPrevious_Click(); });
    QObject::connect(c.cmdNext, &QAction::triggered, [this] { cmdNext_Click(); });
    QObject::connect(c.cmdLast, &QAction::triggered, [this] { cmdLast_Click(); });
    QObject::connect(c.cboZoom, &QComboBox::activated, [this] { cboZoom_Click(); });
    QObject::connect(c.cmdPrint, &QAction::triggered, [this] { cmdPrint_Click(); });
    QObject::connect(c.cmdPdf, &QAction::triggered, [this] { cmdPdf_Click(); });
    QObject::connect(c.tmrLayout, &QTimer::timeout, [this] { tmrLayout_Timer(); });
}

void DataReport::Form_Load() {
    setCaption(report_.caption.toString());
    client()->setWindowIcon(QIcon(QStringLiteral(":/art/report.svg")));
    setClientSize(report_.previewWidth, report_.previewHeight);
    relayout();
}

void DataReport::setDataSource(std::unique_ptr<ReportRows> rows) {
    layout_.reset(); // it reads the rows it was made for
    rows_ = std::move(rows);
    if (isLoaded()) {
        relayout();
    }
}

// The rows are read from the file as the pages are laid out: a failure is
// shown once and leaves the preview empty rather than half made.
template <class Step> void DataReport::reading(Step&& step) {
    if (!ui::guarded(services_.messageBox, std::forward<Step>(step))) {
        layout_.reset();
        ui().tmrLayout->stop();
    }
}

// The first page at once, the others while the window waits for the user.
void DataReport::relayout() {
    layout_ = rows_ ? std::make_unique<Layout>(report_, *rows_) : nullptr;
    page_ = 0;
    if (layout_) {
        ui().tmrLayout->start();
        reading([this] { layout_->extendTo(0); });
    }
    refresh();
}

void DataReport::tmrLayout_Timer() {
    QElapsedTimer slice;
    slice.start();
    reading([&] {
        while (layout_ && !layout_->complete() && slice.elapsed() < 15) {
            layout_->extendTo(qsizetype(layout_->pages().size()));
        }
    });
    if (!layout_ || layout_->complete()) {
        ui().tmrLayout->stop();
    }
    refresh();
}

void DataReport::refresh() {
    auto& c = ui();
    const double zoom = zoomPercents[std::max(0, c.cboZoom->currentIndex())] / 100.0;
    c.page->showPage(layout_.get(), page_, zoom);
    const qsizetype pages = layout_ ? qsizetype(layout_->pages().size()) : 0;
    const bool done = !layout_ || layout_->complete();
    c.lblPage->setText(QStringLiteral(" 第 %1 页，共 %2%3 页 ")
                           .arg(pages ? page_ + 1 : 0)
                           .arg(pages)
                           .arg(done ? QString() : QStringLiteral("+")));
    c.cmdFirst->setEnabled(page_ > 0);
    c.cmdPrevious->setEnabled(page_ > 0);
    c.cmdNext->setEnabled(layout_ && (page_ + 1 < pages || !done));
    c.cmdLast->setEnabled(c.cmdNext->isEnabled());
    c.cmdPrint->setEnabled(layout_ != nullptr);
    c.cmdPdf->setEnabled(layout_ != nullptr);
}

void DataReport::go(qsizetype page) {
    if (!layout_) {
        return;
    }
    if (layOutTo(page) && layout_) {
        page_ = std::clamp(page, qsizetype(0), qsizetype(layout_->pages().size()) - 1);
    }
    refresh();
}

// Up to the end of the page, or of the report if it has fewer. Beyond the
// page being filled that may be far: the progress shows, and its 取消
// leaves the preview where it was (false).
bool DataReport::layOutTo(qsizetype page) {
    if (page < qsizetype(layout_->pages().size())) {
        reading([&] { layout_->extendTo(page); });
        return layout_ != nullptr;
    }
    bool reached = false;
    busy(QStringLiteral("正在排版报表……"), [&](const platform::Progress& progress) {
        platform::Ticker ticker(progress);
        // The rows may be given anew while the events run: the layout is looked up each time.
        while (layout_ && !layout_->complete() && page >= qsizetype(layout_->pages().size()) - 1) {
            layout_->extendTo(qsizetype(layout_->pages().size())); // a page more
            if (!ticker.keepGoing(layout_->rowsPlaced(), rows_->count())) {
                return;
            }
        }
        reached = layout_ != nullptr;
    });
    return reached;
}

// Long work, with the events let through as it goes. The later pages of
// the preview wait meanwhile: they would only lengthen each step.
void DataReport::busy(const QString& text,
                      const std::function<void(const platform::Progress&)>& work) {
    QTimer* timer = ui().tmrLayout;
    const bool laying = timer->isActive();
    timer->stop();
    ui::guarded(services_.messageBox, [&] {
        ui::ProgressScope progress(services_.progress, text);
        work(std::ref(progress));
    });
    if (laying && layout_ && !layout_->complete()) {
        timer->start();
    }
}

void DataReport::cmdFirst_Click() {
    go(0);
}

void DataReport::cmdPrevious_Click() {
    go(page_ - 1);
}

void DataReport::cmdNext_Click() {
    go(page_ + 1);
}

void DataReport::cmdLast_Click() {
    go(std::numeric_limits<qsizetype>::max());
}

void DataReport::cboZoom_Click() {
    refresh();
}

void DataReport::cmdPrint_Click() {
    if (!rows_) {
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(report_.caption.toString());
    QPrintDialog dialog(&printer, window());
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    Painted painted = Painted::Cancelled; // also when the rows fail to be read
    busy(QStringLiteral("正在打印报表……"), [&](const platform::Progress& progress) {
        painted = print(printer, report_, *rows_, progress);
    });
    if (painted == Painted::Failed ||
        (painted == Painted::Done && printer.printerState() == QPrinter::Error)) {
        services_.messageBox.show(
            QStringLiteral("打印没有完成：打印机没有接受这份报表。请检查打印机后再试。"), hint);
    }
}

void DataReport::cmdPdf_Click() {
    if (!rows_) {
        return;
    }
    const auto chosen = services_.fileDialog.saveFileName(
        QStringLiteral("导出PDF"), report_.caption.toString() + QStringLiteral(".pdf"),
        {QStringLiteral("PDF 文件 (*.pdf)")});
    if (!chosen) {
        return;
    }
    QString path = chosen->path;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
        path += QStringLiteral(".pdf");
    }
    Painted painted = Painted::Cancelled; // also when the rows fail to be read
    busy(QStringLiteral("正在导出报表……"), [&](const platform::Progress& progress) {
        painted = exportPdf(path, report_, *rows_, progress);
    });
    const QString shown = QDir::toNativeSeparators(path);
    if (painted == Painted::Done) {
        services_.messageBox.show(QStringLiteral("报表已导出到“%1”。").arg(shown), hint);
    } else if (painted == Painted::Failed) {
        services_.messageBox.show(QStringLiteral("无法写入文件“%1”，报表没有导出。").arg(shown),
                                  hint);
    }
}

} // namespace reports
