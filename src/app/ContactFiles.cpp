#include "ContactFiles.h"

#include "contacts/Backups.h"
#include "contacts/Book.h"
#include "interchange/Exchange.h"
#include "platform/Clock.h"
#include "platform/db/Connection.h"
#include "platform/db/Statement.h"
#include "platform/ui/FileDialog.h"
#include "platform/ui/Guard.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Progress.h"

#include <QDir>
#include <QFileInfo>

namespace app {

namespace {

const QString importTitle = QStringLiteral("导入联系人");
const QString exportTitle = QStringLiteral("导出联系人");

// The report shows this many notes; the rest are counted.
constexpr int notesShown = 20;

struct ExportChoice {
    QStringView filter;
    interchange::ExportFormat format;
    const char* charset;
    QStringView suffix;
};

using interchange::ExportFormat;
constexpr ExportChoice exportChoices[] = {
    {u"vCard 4.0 名片 (*.vcf)", ExportFormat::VCard40, "UTF-8", u".vcf"},
    {u"vCard 3.0 名片，苹果手机 (*.vcf)", ExportFormat::VCard30, "UTF-8", u".vcf"},
    {u"vCard 2.1 名片，安卓手机 (*.vcf)", ExportFormat::VCard21, "UTF-8", u".vcf"},
    {u"vCard 2.1 名片，GBK 编码，旧版 Outlook (*.vcf)", ExportFormat::VCard21, "GBK", u".vcf"},
    {u"CSV 表格 (*.csv)", ExportFormat::Csv, "UTF-8", u".csv"},
    {u"CSV 表格，GBK 编码，旧版 Excel (*.csv)", ExportFormat::Csv, "GBK", u".csv"},
};

} // namespace

ContactFiles::ContactFiles(const platform::Services& services, Open open,
                           contacts::BookChanges& changes)
    : services_(services)
    , open_(std::move(open))
    , changes_(changes)
    , folder_(QDir::homePath()) {}

bool ContactFiles::importContacts() {
    const std::optional<QString> path = services_.fileDialog.openFileName(
        importTitle, folder_,
        {QStringLiteral("联系人文件 (*.vcf *.vcard *.csv)"),
         QStringLiteral("vCard 名片 (*.vcf *.vcard)"), QStringLiteral("CSV 表格 (*.csv)"),
         QStringLiteral("所有文件 (*)")});
    if (!path) {
        return false;
    }
    folder_ = QFileInfo(*path).absolutePath();
    const std::unique_ptr<db::Connection> connection = open_();
    if (!connection) {
        return false;
    }
    interchange::ImportReport report;
    qint64 firstAdded = 0; // rows are numbered on: those added come after this
    const bool read = ui::guarded(services_.messageBox, [&] {
        db::Statement last(*connection, QStringLiteral("SELECT max(_rowid_) FROM yanshu"));
        firstAdded = last.step() ? last.integer(0) + 1 : 0;
        ui::ProgressScope progress(services_.progress, QStringLiteral("正在导入联系人……"));
        // The book as it was stays at hand, should the file bring the wrong
        // people: copied once the import is about to change it.
        connection->beforeFirstWrite([&] {
            try {
                contacts::takeBackup(*connection, services_.clock.now(), std::ref(progress));
            } catch (const db::DbError& e) {
                if (e.kind() != db::DbErrorKind::Interrupted) {
                    throw;
                }
                throw db::DbError(QStringLiteral("已取消导入，通讯录没有改动。"), e.detail(),
                                  e.engineCode(), e.kind());
            }
        });
        report = interchange::importFile(
            *connection, *path, std::ref(progress),
            [this] { return services_.clock.now().toUTC(); }, &changes_);
    });
    if (!read) {
        return false;
    }
    services_.messageBox.show(report.text(QFileInfo(*path).fileName(), notesShown), importTitle);
    if (!report.cancelled && report.added > 0 && reviewDuplicates) {
        offerReview(*connection, firstAdded);
    }
    return !report.cancelled && report.added + report.updated > 0;
}

// Whom the import added that the book seems to have had already: the
// groups holding a contact of each. Cancelled, it says nothing.
void ContactFiles::offerReview(db::Connection& connection, qint64 firstAdded) {
    std::vector<contacts::DuplicateGroup> found;
    const bool searched = ui::guarded(services_.messageBox, [&] {
        ui::ProgressScope progress(services_.progress,
                                   QStringLiteral("正在查找与已有联系人重复的……"));
        try {
            found = contacts::findDuplicates(connection, std::ref(progress));
        } catch (const db::DbError& e) {
            if (e.kind() != db::DbErrorKind::Interrupted) {
                throw;
            }
        }
    });
    std::erase_if(found, [&](const contacts::DuplicateGroup& group) {
        return group.rows.front() >= firstAdded || group.rows.back() < firstAdded;
    });
    if (!searched || found.empty()) {
        return;
    }
    qsizetype added = 0;
    for (const contacts::DuplicateGroup& group : found) {
        added += std::ranges::count_if(group.rows, [&](qint64 row) { return row >= firstAdded; });
    }
    if (services_.messageBox.show(QStringLiteral("导入的联系人中有%1位可能与已有的联系人重复。"
                                                 "要现在查看吗？")
                                      .arg(added),
                                  importTitle, ui::Buttons::YesNo) == ui::Answer::Yes) {
        reviewDuplicates(std::move(found));
    }
}

void ContactFiles::exportContacts() {
    QStringList filters;
    for (const ExportChoice& c : exportChoices) {
        filters << c.filter.toString();
    }
    const std::optional<ui::FileChoice> chosen = services_.fileDialog.saveFileName(
        exportTitle, QDir(folder_).filePath(QStringLiteral("通讯录.vcf")), filters);
    if (!chosen) {
        return;
    }
    folder_ = QFileInfo(chosen->path).absolutePath();
    const ExportChoice& choice =
        exportChoices[std::clamp<std::size_t>(chosen->filter, 0, std::size(exportChoices) - 1)];
    QString path = chosen->path;
    if (QFileInfo(path).suffix().isEmpty()) {
        path += choice.suffix;
    }
    const std::unique_ptr<db::Connection> connection = open_();
    if (!connection) {
        return;
    }
    interchange::ExportReport report;
    const bool done = ui::guarded(services_.messageBox, [&] {
        ui::ProgressScope progress(services_.progress, QStringLiteral("正在导出联系人……"));
        report = interchange::exportFile(*connection, path, choice.format, choice.charset,
                                         std::ref(progress));
    });
    if (!done) {
        return;
    }
    const QString shown = QDir::toNativeSeparators(path);
    services_.messageBox.show(
        report.cancelled
            ? QStringLiteral("已取消导出，“%1”没有写入。").arg(shown)
            : QStringLiteral("已把 %1 位联系人导出到“%2”。").arg(report.written).arg(shown),
        exportTitle);
}

} // namespace app
