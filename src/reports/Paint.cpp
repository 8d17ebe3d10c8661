#include "Paint.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace reports {

namespace {

constexpr int penWidth = 15; // one pixel at 96 dpi

void drawControl(QPainter& p, const Layout& layout, const ReportControl& c, const QString& text) {
    if (c.kind == ControlKind::Line) {
        p.drawLine(c.left, c.top, c.left + c.width, c.top + c.height);
        return;
    }
    p.setFont(layout.fontOf(c));
    const int align = (c.align == Align::Centre ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop |
                      Qt::TextSingleLine;
    const QRect box(c.left, c.top, c.width, c.height);
    p.save();
    p.setClipRect(box); // text that does not fit its box is cut, as on the form
    p.drawText(box, align, text);
    p.restore();
}

void drawLines(QPainter& p, const Layout& layout, const ReportControl& box, const WrappedText& text,
               int first, int count, int top) {
    p.setFont(layout.fontOf(box));
    for (int i = 0; i < count; ++i) {
        const auto [start, length] = text.lines[std::size_t(first + i)];
        const double baseline = top + i * text.lineHeight + text.ascent;
        p.drawText(QPointF(box.left, baseline), text.text.mid(start, length));
    }
}

void drawBand(QPainter& p, const Layout& layout, const ReportRows& rows, const PlacedBand& placed) {
    const ReportDefinition& report = layout.report();
    const ReportControl* growing = layout.growingBox();
    p.save();
    p.translate(0, placed.top);
    p.setClipRect(QRect(0, 0, report.width, placed.height), Qt::IntersectClip);
    for (const ReportControl& c : report.bands[placed.band].controls) {
        if (placed.band == Detail && &c == growing) {
            const WrappedText text = layout.growingText(placed.row);
            const int count = placed.lineCount < 0 ? int(text.lines.size()) : placed.lineCount;
            drawLines(p, layout, c, text, placed.firstLine, count, placed.continued ? 0 : c.top);
        } else if (!placed.continued) {
            const bool bound = c.kind == ControlKind::TextBox && placed.row >= 0;
            drawControl(p, layout, c, bound ? rows.text(placed.row, c.text) : c.text.toString());
        }
    }
    p.restore();
}

} // namespace

void useTwips(QPainter& painter) {
    const QPaintDevice* device = painter.device();
    painter.scale(device->logicalDpiX() / 1440.0, device->logicalDpiY() / 1440.0);
}

void paintPage(QPainter& p, const Layout& layout, const ReportRows& rows, qsizetype page) {
    const ReportDefinition& report = layout.report();
    p.save();
    p.setPen(QPen(Qt::black, penWidth));
    p.translate(report.margin, report.margin);
    for (const PlacedBand& placed : layout.pages()[std::size_t(page)].bands) {
        drawBand(p, layout, rows, placed);
    }
    const int footer = layout.footerTop();
    drawBand(p, layout, rows, {PageFooter, -1, footer, report.bands[PageFooter].height});
    p.restore();
}

bool paintAll(QPagedPaintDevice& device, const ReportDefinition& report, const ReportRows& rows) {
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
        paintPage(painter, layout, rows, page);
    }
    return painter.end();
}

bool exportPdf(const QString& path, const ReportDefinition& report, const ReportRows& rows) {
    // Written aside and put in place whole: a failure leaves any earlier file as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(1440);
        writer.setCreator(QStringLiteral("雁书簿"));
        writer.setTitle(report.caption.toString());
        if (!paintAll(writer, report, rows)) {
            file.cancelWriting();
            return false;
        }
    }
    return file.commit();
}

} // namespace reports
