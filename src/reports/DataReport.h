#pragma once

#include "Layout.h"

#include "platform/Progress.h"
#include "platform/Services.h"
#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"
#include "platform/ui/Form.h"

#include <memory>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QScrollArea;
class QTimer;

namespace reports {

// The rows of a record set, which keeps its connection with it.
class RecordsetRows final : public ReportRows {
public:
    RecordsetRows(std::unique_ptr<db::Connection> connection, db::Recordset records);
    qsizetype count() const override { return records_.recordCount(); }
    QString text(qsizetype row, QStringView column) const override;

private:
    std::unique_ptr<db::Connection> connection_;
    db::Recordset records_;
    struct Column {
        const QChar* asked; // where the name was last asked for from
        QString name;
        int index;
    };
    mutable std::vector<Column> columns_;
};

class DataReport;

// Shows one laid-out page in the scroller at the preview's zoom; zoom 0
// shows the whole page, as large as the scroller's view allows.
class PageView final : public QWidget {
public:
    explicit PageView(QScrollArea* scroller);
    void showPage(const Layout* layout, qsizetype page, double zoom);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fit();

    QScrollArea* scroller_;
    const Layout* layout_ = nullptr;
    qsizetype page_ = 0;
    double zoom_ = 1.0;
    double scale_ = 1.0 / 15; // pixels per twip
};

struct DataReport_Controls {
    explicit DataReport_Controls(ui::FormWidget* form);

    QAction* cmdFirst;
    QAction* cmdPrevious;
    QAction* cmdNext;
    QAction* cmdLast;
    QComboBox* cboZoom;
    QAction* cmdPrint;
    QAction* cmdPdf;
    QLabel* lblPage;
    QScrollArea* scroller;
    PageView* page;
    QTimer* tmrLayout; // lays out the later pages between other events
};

// A report's preview window, from which the user prints or exports a PDF.
// It keeps the rows it was given until it is given others.
class DataReport final : public ui::FormOf<DataReport_Controls> {
public:
    DataReport(const ReportDefinition& report, const platform::Services& services);

    const ReportDefinition& report() const { return report_; }
    // Replaces the rows; a report on screen shows the new ones from page 1.
    void setDataSource(std::unique_ptr<ReportRows> rows);
    const ReportRows* dataSource() const { return rows_.get(); }
    const Layout* layout() const { return layout_.get(); }
    qsizetype currentPage() const { return page_; }

    void cmdFirst_Click();
    void cmdPrevious_Click();
    void cmdNext_Click();
    void cmdLast_Click();
    void cboZoom_Click();
    void cmdPrint_Click();
    void cmdPdf_Click();
    void tmrLayout_Timer();

protected:
    void Form_Load() override;
    void wireEvents(DataReport_Controls& controls) override;

private:
    void relayout();
    void go(qsizetype page);
    bool layOutTo(qsizetype page);
    template <class Step> void reading(Step&& step);
    void busy(const QString& text, const std::function<void(const platform::Progress&)>& work);
    void refresh();

    const ReportDefinition& report_;
    const platform::Services& services_;
    std::unique_ptr<ReportRows> rows_;
    std::unique_ptr<Layout> layout_;
    qsizetype page_ = 0;
};

} // namespace reports
