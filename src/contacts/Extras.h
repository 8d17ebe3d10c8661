#pragma once

#include "Contact.h"

#include <QString>
#include <QStringList>

#include <array>
#include <utility>
#include <vector>

namespace contacts {

// What the user and the search see of the extras, which are kept as vCard
// writes them (see Extra).

// A text escaped as vCard 4.0 writes a value: backslash, comma, line
// breaks and, unless told not to (a value of one component), semicolon.
QString escapedValue(QStringView text, bool semicolons = true);
// The components of a value (split at the semicolons that are not
// escaped), each unescaped.
QStringList valueParts(QStringView value);

// The parameters, in order, as name (upper case) and value.
QList<std::pair<QString, QString>> parameters(QStringView params);
// The value of the parameter of that name (upper case), quotes taken off;
// empty without it.
QString parameterOf(QStringView params, QStringView name);
// Whether a date's parameters name a calendar other than the Gregorian:
// a lunar birthday.
bool isOtherCalendar(QStringView params);
// The network of an instant-messaging value: its X-SERVICE-TYPE, or the
// scheme of its link (weixin:…, qq:…); 微信 and QQ by those names.
QString serviceOf(const Extra& extra);
// The values of its TYPE parameters, in lower case.
QStringList typesOf(const Extra& extra);
// What an iPhone says of another property of the same group: its label,
// its address format. It goes where that property goes.
bool isCompanion(const Extra& extra);

// A telephone number as people write it: 4.0 may give it as a tel: link,
// its extension as ;ext=102, which reads 010-6000 0000 转 102.
QString telephoneNumber(const QString& value);
// The value as the user reads it: the components that hold something.
QString extraText(const Extra& extra);
// The user's text as the value: of an address, its street; of another
// value of components, the first.
void setExtraText(Extra& extra, const QString& text);

// Which extras the 其他信息 window shows: not those that only say more of
// another (an iPhone's label of a value, the name's parts).
bool isShown(const Extra& extra);
// The Chinese names of the extras, in their order: 手机, 微信, 昵称 … where
// a kind comes again, numbered: 手机2 beside the card's own 移动电话.
// What isShown leaves out gets an empty name.
QStringList extraLabels(const std::vector<Extra>& extras);

// The kinds of line the user can add, with the property each is written as.
struct ExtraKind {
    QStringView label;
    QStringView name;
    QStringView params;
};
extern const std::array<ExtraKind, 11> extraKinds;
Extra extraOfKind(const ExtraKind& kind, const QString& text);

// A text under a heading of its own, as a note: a column of an old table
// or a CSV file that no column of the card takes.
Extra labelledNote(const QString& heading, const QString& text);
// A parameter value as written: quoted where it holds what would end it.
QString parameterValue(QString text);

// What a contact's extras make it found by, in search form: of the lines
// "NAME:value" that table yanshu_extra gives the search keys, the
// telephones' digits, the e-mail addresses and the ids and nicknames.
QStringList extraSearchTexts(QStringView lines);

} // namespace contacts
