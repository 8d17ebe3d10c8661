#include "Paint.h"

#include "PdfText.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace reports {

namespace {

// Each line at its own baseline: no clipping, the text was fitted to its box.
void drawText(QPainter& p, const TextItem& item) {
    p.setFont(item.font);
    const QFontMetricsF metrics(item.font);
    const WrappedText& t = item.text;
    for (std::size_t i = 0; i < t.lines.size(); ++i) {
        const QString line = t.text.mid(t.lines[i].first, t.lines[i].second);
        double x = item.rect.left();
        if (item.align == Align::Centre) {
            QStringView shown(line);
            while (!shown.isEmpty() && shown.back().isSpace()) {
                shown.chop(1);
            }
            x += (item.rect.width() - metrics.horizontalAdvance(shown.toString())) / 2;
        }
        p.drawText(QPointF(x, item.rect.top() + double(i) * t.lineHeight + t.ascent), line);
    }
}

void paintItems(QPainter& p, const Layout& layout, const PageItems& items) {
    p.save();
    p.setPen(QPen(Qt::black, penWidth)); // square caps: the stroke the layout keeps text clear of
    p.translate(layout.report().margin, layout.report().margin);
    for (const QLineF& line : items.lines) {
        p.drawLine(line);
    }
    for (const TextItem& text : items.texts) {
        drawText(p, text);
    }
    p.restore();
}

bool paintPages(QPagedPaintDevice& device, const ReportDefinition& report, const ReportRows& rows,
                GlyphNames* names) {
    device.setPageMargins(QMarginsF(0, 0, 0, 0));
    const QRectF paper = device.pageLayout().fullRect(QPageLayout::Point);
    Layout layout(report, rows, qRound(paper.height() * 20));
    layout.finish();
    QPainter painter;
    if (!painter.begin(&device)) {
        return false;
    }
    useTwips(painter);
    for (qsizetype page = 0; page < qsizetype(layout.pages().size()); ++page) {
        if (page > 0 && !device.newPage()) {
            return false;
        }
        const PageItems items = layout.items(page);
        if (names != nullptr) {
            names->add(items);
        }
        paintItems(painter, layout, items);
    }
    return painter.end();
}

} // namespace

void useTwips(QPainter& painter) {
    const QPaintDevice* device = painter.device();
    painter.scale(device->logicalDpiX() / 1440.0, device->logicalDpiY() / 1440.0);
}

void paintPage(QPainter& p, const Layout& layout, qsizetype page) {
    paintItems(p, layout, layout.items(page));
}

bool paintAll(QPagedPaintDevice& device, const ReportDefinition& report, const ReportRows& rows) {
    return paintPages(device, report, rows, nullptr);
}

bool exportPdf(const QString& path, const ReportDefinition& report, const ReportRows& rows) {
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    GlyphNames names;
    {
        QPdfWriter writer(&pdf);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(1440);
        writer.setCreator(QStringLiteral("雁书簿"));
        writer.setTitle(report.caption.toString());
        if (!paintPages(writer, report, rows, &names)) {
            return false;
        }
    }
    // Written aside and put in place whole: a failure leaves any earlier file as it was.
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(names.applyTo(pdf.buffer())) >= 0 &&
           file.commit();
}

} // namespace reports
