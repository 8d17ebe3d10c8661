// Makes the texts of the reference table windows from the collected facts:
//
//   yanshubu-tables DATA_FOLDER TEXT_FOLDER
//
// DATA_FOLDER holds area-codes.csv, postcodes.csv and dialling-codes.csv;
// TEXT_FOLDER receives F_FB.txt, F_QJHM.txt, F_FBYB.txt, F_FBYB1.txt and
// F_FBGJ.txt in UTF-8 with CR LF line ends. Rows without a value are left
// out and counted on standard error.

#include "tables/Columns.h"

#include "GeneratedFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QTextStream>

#include <cstdio>
#include <functional>
#include <stdexcept>

namespace {

using Row = QHash<QString, QString>;

// One field list per line; fields may be quoted, with "" for a quote.
QList<QStringList> parseCsv(const QString& text) {
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
        } else if (c == u'\n') {
            row << field;
            rows << row;
            row.clear();
            field.clear();
        } else if (c != u'\r') {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty()) {
        row << field;
        rows << row;
    }
    return rows;
}

QList<Row> readTable(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("cannot read " + path.toStdString());
    }
    const QList<QStringList> lines = parseCsv(QString::fromUtf8(file.readAll()));
    QList<Row> rows;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        Row row;
        for (qsizetype c = 0; c < lines[0].size(); ++c) {
            row.insert(lines[0][c], c < lines[i].size() ? lines[i][c] : QString());
        }
        rows << row;
    }
    return rows;
}

// Lines joined and each ended with CR LF.
QString text(const QStringList& lines) {
    QString result;
    for (const QString& line : lines) {
        result += line + QStringLiteral("\r\n");
    }
    return result;
}

void warn(const QString& message) {
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

QString specialNumbers() {
    const char16_t* entries[][2] = {
        {u"108", u"国际长途对方付费业务(免市话费)"},
        {u"110", u"警察(免费)"},
        {u"112", u"电话障碍申报(免费)"},
        {u"114", u"电话号查询(收费)"},
        {u"115", u"国际人工长途(收费)"},
        {u"117", u"报时电话(收费)"},
        {u"119", u"火警电话(免费)"},
        {u"120", u"急救中心电话(免费)"},
        {u"121", u"天气预报(收费)"},
        {u"122", u"道路交通事故报警电话(免费)"},
        {u"160", u"人工信息台(收费)"},
        {u"16900", u"互联网服务(收费)"},
        {u"170", u"电话费查询(免费)"},
        {u"184", u"邮政编码查询(收费)"},
        {u"185", u"邮政传递业务(免费)"},
        {u"189", u"电话业务受理台(免费)"},
        {u"1640", u"数据业务咨询(免费)"},
        {u"1649", u"数据业务障碍(免费)"},
        {u"1801", u"电话客户投诉(免费)"},
        {u"1001", u"联通客服(免费)"},
        {u"1860", u"移动客服(免费)"},
    };
    QStringList lines;
    for (const auto& [number, service] : entries) {
        if (!lines.isEmpty()) {
            lines << QString();
        }
        const QString n = QString::fromUtf16(number);
        lines << n + (n == u"16900" ? QStringLiteral("  ") : QStringLiteral(" ")) +
                     QString::fromUtf16(service);
    }
    return text(lines);
}

QString areaCodes(const QList<Row>& rows) {
    const QStringList levels = {
        QStringLiteral("municipality"),
        QStringLiteral("prefecture"),
        QStringLiteral("SAR (international dialling)"),
        QStringLiteral("region (international dialling)"),
    };
    QStringList lines;
    int missing = 0;
    for (const Row& row : rows) { // the file is in pinyin order
        if (!levels.contains(row[QStringLiteral("level")])) {
            continue;
        }
        const QString& code = row[QStringLiteral("code")];
        if (code.isEmpty()) {
            warn(QStringLiteral("area codes: no code for %1, left out").arg(row["name"]));
            ++missing;
            continue;
        }
        const QString& name = row[QStringLiteral("name")];
        // A name of 13 columns or more still gets a blank before its code.
        const QString padded =
            tables::displayWidth(name) >= 13 ? name + u' ' : tables::padToWidth(name, 13);
        lines << padded + code;
    }
    warn(QStringLiteral("area codes: %1 lines, %2 left out").arg(lines.size()).arg(missing));
    return text(lines);
}

// 广西壮族自治区 is 广西, 临夏回族自治州 is 临夏, 北京市 is 北京; the place
// keeps two characters at least (内蒙古自治区 is 内蒙古).
QString shortName(const QString& name) {
    static const QRegularExpression parts(QStringLiteral(
        "^(.{2,}?)(?:(?:蒙古|哈萨克|柯尔克孜|维吾尔)族?|(?:回|藏|羌|彝|苗|侗|傣|白|壮|布依|土家|"
        "哈尼|景颇|傈僳|朝鲜)族)*(?:自治[州区]|省|市|地区|盟)$"));
    const QRegularExpressionMatch match = parts.match(name);
    return match.hasMatch() ? match.captured(1) : name;
}

struct Section {
    const char16_t* province;
    bool emptyLineAfter;
};

// The sections of the two postcode texts, in their order.
const Section postcodeParts[2][19] = {
    {{u"北京市", true},
     {u"上海市", true},
     {u"天津市", false},
     {u"重庆市", false},
     {u"内蒙古自治区", false},
     {u"河北省", false},
     {u"辽宁省", false},
     {u"吉林省", false},
     {u"黑龙江省", false},
     {u"江苏省", false},
     {u"安徽省", false},
     {u"山东省", false},
     {u"浙江省", false},
     {u"江西省", false},
     {u"福建省", false},
     {u"湖南省", false},
     {u"湖北省", false},
     {u"河南省", false},
     {u"广东省", false}},
    {{u"广西壮族自治区", false},
     {u"贵州省", false},
     {u"四川省", false},
     {u"云南省", false},
     {u"陕西省", false},
     {u"甘肃省", false},
     {u"宁夏回族自治区", false},
     {u"青海省", true},
     {u"新疆维吾尔自治区", false},
     {u"西藏自治区", false},
     {u"海南省", false},
     {u"山西省", false}},
};

// Today's county-level places: the counties and districts, and the cities
// that have none under them (东莞, 中山, 儋州, 嘉峪关).
QList<Row> currentPlaces(const QList<Row>& rows) {
    QSet<QString> withCounties;
    for (const Row& row : rows) {
        if (row["status"].startsWith(u"current") && row["level"].startsWith(u"county")) {
            withCounties.insert(row["prefecture"]);
        }
    }
    QList<Row> places;
    for (const Row& row : rows) {
        const bool county = row["level"].startsWith(u"county");
        const bool alone = row["level"] == u"prefecture" && !withCounties.contains(row["place"]);
        if (row["status"].startsWith(u"current") && (county || alone)) {
            places << row;
        }
    }
    return places;
}

QString postcodes(const QList<Row>& rows, int part) {
    QStringList lines;
    int missing = 0;
    int entries = 0;
    for (const Section& section : postcodeParts[part]) {
        if (!section.province) {
            break;
        }
        const QString province = QString::fromUtf16(section.province);
        // The municipalities keep their 市, as a heading reads.
        lines << (province.endsWith(u'市') ? province : shortName(province));
        lines << QStringLiteral(" ") << QStringLiteral("市县名称  所属地区  邮政编码")
              << QStringLiteral(" ");
        for (const Row& row : rows) {
            if (row["province"] != province) {
                continue;
            }
            if (row["postcode"].isEmpty()) {
                warn(QStringLiteral("postcodes: no postcode for %1 %2, left out")
                         .arg(province, row["place"]));
                ++missing;
                continue;
            }
            lines << row["place"] + shortName(row["prefecture"]) + row["postcode"];
            ++entries;
        }
        if (section.emptyLineAfter) {
            lines << QString();
        }
    }
    warn(QStringLiteral("postcodes part %1: %2 entries, %3 left out")
             .arg(part + 1)
             .arg(entries)
             .arg(missing));
    return text(lines);
}

QString diallingCodes(const QList<Row>& rows) {
    QStringList lines = {QStringLiteral("国际直拨电话区号"), QStringLiteral("     "),
                         QStringLiteral(" 国家或地区代  码         "), QStringLiteral(" ")};
    int regions = 0;
    for (const Row& row : rows) { // the file is in order of the English names
        // Countries and regions only: non-geographic codes (region 001)
        // and the ocean regions have no country letters.
        const QString& letters = row["iso_3166_alpha2"];
        if (letters.isEmpty() || letters == u"001") {
            continue;
        }
        lines << row["english_name"] + row["chinese_name"] + row["code"];
        ++regions;
    }
    lines << QStringLiteral(" ") << QStringLiteral("海事卫星系统") << QStringLiteral(" ")
          << QStringLiteral("Atlantic大西洋871") << QStringLiteral("Pacific太平洋872")
          << QStringLiteral("Indian印度洋873") << QStringLiteral(" ");
    warn(QStringLiteral("dialling codes: %1 regions").arg(regions));
    return text(lines);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: yanshubu-tables DATA_FOLDER TEXT_FOLDER\n");
        return 2;
    }
    const QString data = args[1] + u'/';
    const QString out = args[2] + u'/';
    try {
        const QList<Row> postcodeRows =
            currentPlaces(readTable(data + QStringLiteral("postcodes.csv")));
        tools::writeGenerated(out + QStringLiteral("F_FB.txt"), specialNumbers());
        tools::writeGenerated(out + QStringLiteral("F_QJHM.txt"),
                              areaCodes(readTable(data + QStringLiteral("area-codes.csv"))));
        tools::writeGenerated(out + QStringLiteral("F_FBYB.txt"), postcodes(postcodeRows, 0));
        tools::writeGenerated(out + QStringLiteral("F_FBYB1.txt"), postcodes(postcodeRows, 1));
        tools::writeGenerated(
            out + QStringLiteral("F_FBGJ.txt"),
            diallingCodes(readTable(data + QStringLiteral("dialling-codes.csv"))));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "yanshubu-tables: %s\n", e.what());
        return 1;
    }
    return 0;
}
