#include "Extras.h"

#include "SearchKeys.h"

#include <QHash>
#include <QRegularExpression>

namespace contacts {

namespace {

// The unescaped pieces of a value, split where `separator` stands bare.
QStringList splitValue(QStringView value, QChar separator) {
    QStringList parts{QString()};
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'\\' && i + 1 < value.size()) {
            const QChar next = value[++i];
            parts.last() += next == u'n' || next == u'N' ? QChar(u'\n') : next;
        } else if (c == separator) {
            parts << QString();
        } else {
            parts.last() += c;
        }
    }
    return parts;
}

// Apple writes its own labels as _$!<Name>!$_; they are shown as its
// Chinese address book names them, one it does not name as it stands.
QString labelName(QString label) {
    if (label.startsWith(u"_$!<") && label.endsWith(u">!$_")) {
        label = label.mid(4, label.size() - 8);
    }
    static const QHash<QString, QString> apple{
        {QStringLiteral("homepage"), QStringLiteral("主页")},
        {QStringLiteral("home"), QStringLiteral("住宅")},
        {QStringLiteral("work"), QStringLiteral("工作")},
        {QStringLiteral("school"), QStringLiteral("学校")},
        {QStringLiteral("other"), QStringLiteral("其他")},
        {QStringLiteral("mobile"), QStringLiteral("手机")},
        {QStringLiteral("main"), QStringLiteral("主要")},
        {QStringLiteral("homefax"), QStringLiteral("住宅传真")},
        {QStringLiteral("workfax"), QStringLiteral("工作传真")},
        {QStringLiteral("otherfax"), QStringLiteral("其他传真")},
        {QStringLiteral("pager"), QStringLiteral("传呼机")},
        {QStringLiteral("assistantphone"), QStringLiteral("助理电话")},
        {QStringLiteral("companymain"), QStringLiteral("公司总机")},
        {QStringLiteral("car"), QStringLiteral("车载电话")},
        {QStringLiteral("radio"), QStringLiteral("无线电")},
        {QStringLiteral("callback"), QStringLiteral("回拨电话")},
        {QStringLiteral("anniversary"), QStringLiteral("纪念日")},
        {QStringLiteral("father"), QStringLiteral("父亲")},
        {QStringLiteral("mother"), QStringLiteral("母亲")},
        {QStringLiteral("parent"), QStringLiteral("父母")},
        {QStringLiteral("brother"), QStringLiteral("兄弟")},
        {QStringLiteral("sister"), QStringLiteral("姐妹")},
        {QStringLiteral("child"), QStringLiteral("子女")},
        {QStringLiteral("son"), QStringLiteral("儿子")},
        {QStringLiteral("daughter"), QStringLiteral("女儿")},
        {QStringLiteral("spouse"), QStringLiteral("配偶")},
        {QStringLiteral("husband"), QStringLiteral("丈夫")},
        {QStringLiteral("wife"), QStringLiteral("妻子")},
        {QStringLiteral("partner"), QStringLiteral("伴侣")},
        {QStringLiteral("friend"), QStringLiteral("朋友")},
        {QStringLiteral("assistant"), QStringLiteral("助理")},
        {QStringLiteral("manager"), QStringLiteral("上司")},
    };
    return apple.value(label.toLower(), label);
}

QString telephoneLabel(const QStringList& types) {
    const auto has = [&](QStringView t) { return types.contains(t); };
    if (has(u"pager")) {
        return QStringLiteral("传呼机");
    }
    if (has(u"fax")) {
        return has(u"work") ? QStringLiteral("单位传真") : QStringLiteral("传真");
    }
    if (has(u"cell") || has(u"mobile") || has(u"iphone")) {
        return QStringLiteral("手机");
    }
    if (has(u"work")) {
        return QStringLiteral("单位电话");
    }
    return has(u"home") ? QStringLiteral("住宅电话") : QStringLiteral("电话");
}

// The name of one extra's kind, before numbering, with the label an
// iPhone gave its group.
QString kindOf(const Extra& extra, const QString& groupLabel) {
    static const QHash<QString, QString> names{
        {QStringLiteral("EMAIL"), QStringLiteral("电子邮件")},
        {QStringLiteral("X-WECHAT"), QStringLiteral("微信")},
        {QStringLiteral("X-QQ"), QStringLiteral("QQ")},
        {QStringLiteral("X-QQ-GROUP"), QStringLiteral("QQ群")},
        {QStringLiteral("X-ICQ"), QStringLiteral("ICQ")},
        {QStringLiteral("X-MSN"), QStringLiteral("MSN")},
        {QStringLiteral("NICKNAME"), QStringLiteral("昵称")},
        {QStringLiteral("URL"), QStringLiteral("网址")},
        {QStringLiteral("ORG"), QStringLiteral("工作单位")},
        {QStringLiteral("TITLE"), QStringLiteral("职务")},
        {QStringLiteral("ROLE"), QStringLiteral("角色")},
        {QStringLiteral("NOTE"), QStringLiteral("备注")},
        {QStringLiteral("CATEGORIES"), QStringLiteral("分类")},
        {QStringLiteral("ANNIVERSARY"), QStringLiteral("纪念日")},
        {QStringLiteral("GENDER"), QStringLiteral("性别")},
        {QStringLiteral("X-ABDATE"), QStringLiteral("日期")},
        {QStringLiteral("X-ABRELATEDNAMES"), QStringLiteral("相关的人")},
        {QStringLiteral("RELATED"), QStringLiteral("相关的人")},
        {QStringLiteral("LABEL"), QStringLiteral("地址标签")},
        {QStringLiteral("PHOTO"), QStringLiteral("照片")},
        {QStringLiteral("LOGO"), QStringLiteral("标志")},
        {QStringLiteral("X-PHONETIC-FIRST-NAME"), QStringLiteral("名的读音")},
        {QStringLiteral("X-PHONETIC-LAST-NAME"), QStringLiteral("姓的读音")},
    };
    if (!groupLabel.isEmpty() && extra.name == u"TEL") {
        const bool named = groupLabel.endsWith(u"电话") || groupLabel.endsWith(u"传真") ||
                           groupLabel.endsWith(u"机");
        return named ? groupLabel : groupLabel + QStringLiteral("电话");
    }
    if (!groupLabel.isEmpty()) {
        return QStringLiteral("%1（%2）").arg(kindOf(extra, {}), groupLabel);
    }
    const QStringList types = typesOf(extra);
    if (extra.name == u"TEL") {
        return telephoneLabel(types);
    }
    if (extra.name == u"X-ANDROID-CUSTOM") {
        static const QHash<QString, QString> android{
            {QStringLiteral("nickname"), QStringLiteral("昵称")},
            {QStringLiteral("relation"), QStringLiteral("相关的人")},
            {QStringLiteral("contact_event"), QStringLiteral("纪念日")},
        };
        const QString kind = valueParts(extra.value).constFirst().section(u'/', -1);
        return android.value(kind, extra.name);
    }
    if (extra.name == u"ADR") {
        return types.contains(u"work")   ? QStringLiteral("单位地址")
               : types.contains(u"home") ? QStringLiteral("家庭住址")
                                         : QStringLiteral("地址");
    }
    if (extra.name == u"BDAY") {
        return isOtherCalendar(extra.params) ? QStringLiteral("生日（农历）")
                                             : QStringLiteral("生日");
    }
    if (extra.name == u"IMPP") {
        const QString service = serviceOf(extra);
        return service == u"微信" || service == u"QQ"
                   ? service
                   : QStringLiteral("即时通讯（%1）").arg(service);
    }
    return names.value(extra.name, extra.name);
}

// The kinds the card has a column for: an extra of one is the second.
bool hasColumn(const QString& kind) {
    static const QStringList kinds{
        QStringLiteral("传呼机"),   QStringLiteral("传真"),     QStringLiteral("单位传真"),
        QStringLiteral("手机"),     QStringLiteral("单位电话"), QStringLiteral("住宅电话"),
        QStringLiteral("电子邮件"), QStringLiteral("QQ"),       QStringLiteral("ICQ"),
        QStringLiteral("MSN"),      QStringLiteral("网址"),     QStringLiteral("工作单位"),
        QStringLiteral("职务"),     QStringLiteral("备注"),     QStringLiteral("生日"),
        QStringLiteral("性别"),     QStringLiteral("家庭住址"), QStringLiteral("单位地址"),
    };
    return kinds.contains(kind);
}

} // namespace

QString serviceOf(const Extra& extra) {
    QString service = parameterOf(extra.params, u"X-SERVICE-TYPE").toLower();
    if (service.isEmpty()) {
        service = extra.value.section(u':', 0, 0).toLower();
    }
    if (service == u"weixin" || service == u"wechat" || service == u"x-wechat") {
        return QStringLiteral("微信");
    }
    if (service == u"qq" || service == u"x-qq" || service == u"tencent") {
        return QStringLiteral("QQ");
    }
    return service;
}

const std::array<ExtraKind, 11> extraKinds{{
    {u"手机", u"TEL", u"TYPE=cell"},
    {u"电话", u"TEL", u"TYPE=voice"},
    {u"电子邮件", u"EMAIL", u"TYPE=internet"},
    {u"微信", u"X-WECHAT", u""},
    {u"QQ", u"X-QQ", u""},
    {u"QQ群", u"X-QQ-GROUP", u""},
    {u"昵称", u"NICKNAME", u""},
    {u"网址", u"URL", u""},
    {u"生日（农历）", u"BDAY", u"VALUE=text;CALSCALE=chinese"},
    {u"纪念日", u"ANNIVERSARY", u"VALUE=text"},
    {u"地址", u"ADR", u""},
}};

QString escapedValue(QStringView text, bool semicolons) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' || c == u',' || (c == u';' && semicolons)) {
            out += u'\\';
            out += c;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
            out += QStringLiteral("\\n");
        } else {
            out += c;
        }
    }
    return out;
}

QStringList valueParts(QStringView value) {
    return splitValue(value, u';');
}

QList<std::pair<QString, QString>> parameters(QStringView params) {
    QList<std::pair<QString, QString>> result;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= params.size(); ++i) {
        if (i < params.size() && params[i] == u'"') {
            quoted = !quoted;
        }
        if (i < params.size() && (quoted || params[i] != u';')) {
            continue;
        }
        const QStringView one = params.sliced(start, i - start);
        start = i + 1;
        if (one.isEmpty()) {
            continue;
        }
        const qsizetype eq = one.indexOf(u'=');
        result.push_back(
            eq < 0 ? std::pair{QStringLiteral("TYPE"), one.toString()}
                   : std::pair{one.first(eq).toString().toUpper(), one.sliced(eq + 1).toString()});
    }
    return result;
}

QString parameterOf(QStringView params, QStringView name) {
    for (const auto& [key, value] : parameters(params)) {
        if (key == name) {
            return QString(value).remove(u'"');
        }
    }
    return {};
}

bool isOtherCalendar(QStringView params) {
    const QString calendar = parameterOf(params, u"CALSCALE").toLower();
    return !calendar.isEmpty() && calendar != u"gregorian";
}

bool isCompanion(const Extra& extra) {
    return !extra.group.isEmpty() && (extra.name == u"X-ABLABEL" || extra.name == u"X-ABADR");
}

QStringList typesOf(const Extra& extra) {
    QStringList types;
    for (const auto& [key, value] : parameters(extra.params)) {
        if (key == u"TYPE") {
            for (const QString& t : QString(value).remove(u'"').split(u',', Qt::SkipEmptyParts)) {
                types << t.trimmed().toLower();
            }
        }
    }
    return types;
}

QString telephoneNumber(const QString& value) {
    if (!value.startsWith(u"tel:", Qt::CaseInsensitive)) {
        return value;
    }
    const QList<QStringView> parts = QStringView(value).mid(4).split(u';');
    QString number = parts.first().toString();
    for (const QStringView parameter : parts.mid(1)) {
        if (parameter.startsWith(u"ext=", Qt::CaseInsensitive)) {
            number += QStringLiteral(" 转 ") + parameter.mid(4).toString();
        }
    }
    return number;
}

QString extraText(const Extra& extra) {
    if (extra.name == u"TEL") {
        return telephoneNumber(splitValue(extra.value, QChar()).constFirst());
    }
    QStringList parts = valueParts(extra.value);
    if (extra.name == u"X-ANDROID-CUSTOM") {
        return parts.value(1); // its kind, then its value
    }
    if (extra.name == u"IMPP" || extra.name == u"X-WECHAT") {
        // A link's scheme is no part of the id: weixin:abc is abc.
        const qsizetype colon = parts.value(0).indexOf(u':');
        if (colon > 0 && !parts[0].left(colon).contains(u'@')) {
            parts[0] = parts[0].mid(colon + 1);
        }
    }
    parts.removeIf([](const QString& p) { return p.trimmed().isEmpty(); });
    return parts.join(u' ');
}

void setExtraText(Extra& extra, const QString& text) {
    if (extra.name == u"ADR") {
        extra.value = QStringLiteral(";;%1;;;;").arg(escapedValue(text));
        return;
    }
    QStringList parts = valueParts(extra.value);
    if (parts.size() == 1) {
        extra.value = escapedValue(text);
        return;
    }
    parts[0] = text;
    for (QString& p : parts) {
        p = escapedValue(p);
    }
    extra.value = parts.join(u';');
}

bool isShown(const Extra& extra) {
    return !isCompanion(extra) && extra.name != u"N";
}

QStringList extraLabels(const std::vector<Extra>& extras) {
    QHash<QString, QString> groupLabels; // an iPhone's own label of a group
    for (const Extra& e : extras) {
        if (e.name == u"X-ABLABEL" && !e.group.isEmpty()) {
            groupLabels.insert(e.group.toUpper(), labelName(valueParts(e.value).value(0)));
        }
    }
    QStringList labels;
    QHash<QString, int> seen;
    for (const Extra& e : extras) {
        if (!isShown(e)) {
            labels << QString();
            continue;
        }
        // A column of a CSV file that no column of the card takes: its heading.
        QString kind = parameterOf(e.params, u"X-LABEL");
        if (kind.isEmpty()) {
            kind = kindOf(e, e.group.isEmpty() ? QString() : groupLabels.value(e.group.toUpper()));
        }
        const int n = ++seen[kind] + (hasColumn(kind) ? 1 : 0);
        labels << (n == 1 ? kind : kind + QString::number(n));
    }
    return labels;
}

Extra extraOfKind(const ExtraKind& kind, const QString& text) {
    Extra extra{{}, kind.name.toString(), kind.params.toString(), {}};
    setExtraText(extra, text);
    return extra;
}

QString parameterValue(QString text) {
    text.remove(u'"').replace(u'\r', u' ').replace(u'\n', u' '); // a heading of lines
    return text.contains(u';') || text.contains(u':') || text.contains(u',') ? u'"' + text + u'"'
                                                                             : text;
}

Extra labelledNote(const QString& heading, const QString& text) {
    return {{},
            QStringLiteral("NOTE"),
            QStringLiteral("X-LABEL=") + parameterValue(heading),
            escapedValue(text)};
}

QStringList extraSearchTexts(QStringView lines) {
    QStringList texts;
    for (const QStringView line : lines.split(u'\n', Qt::SkipEmptyParts)) {
        if (texts.size() == maxKeyedExtras) {
            break;
        }
        const qsizetype colon = line.indexOf(u':');
        const QStringView name = line.first(std::max<qsizetype>(colon, 0));
        Extra extra{{}, name.toString(), {}, line.sliced(colon + 1).toString()};
        if (name == u"TEL") {
            // A number is found by its digits, as the card's telephones are.
            static const QRegularExpression nonDigit(QStringLiteral("\\D"));
            texts << extraText(extra).remove(nonDigit);
        } else if (name == u"EMAIL" || name == u"IMPP" || name.startsWith(u"X-QQ") ||
                   name == u"X-WECHAT" || name == u"X-MSN" || name == u"X-ICQ" ||
                   name == u"NICKNAME") {
            texts << searchForm(extraText(extra));
        }
    }
    return texts;
}

} // namespace contacts
