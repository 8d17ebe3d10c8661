#pragma once

#include <QStringView>

#include <array>
#include <span>

namespace contacts {

// One column of table yanshu: its name, and its caption on the card and in
// files (the design's, trailing blank included).
struct ContactColumn {
    QStringView column;
    QStringView caption;
};

// Id and the 21 text columns in the order the card reads and writes them.
inline constexpr std::array<ContactColumn, 22> contactColumns{{
    {u"Id", u""},
    {u"GR_XM", u"姓名"},
    {u"GR_XB", u"性别"},
    {u"GR_CS", u"出生日期"},
    {u"GR_BB", u"传呼机"},
    {u"GR_ICQ", u"ICQ"},
    {u"GR_QQ", u"腾讯QQ"},
    {u"GR_MSN", u"微软MSN"},
    {u"GR_ML", u"电子邮件"},
    {u"GR_DH", u"住宅电话"},
    {u"GR_DHW", u"单位电话"},
    {u"GR_YDH", u"移动电话"},
    {u"GR_CZ", u"传真电话"},
    {u"GR_YB", u"邮政编码"},
    {u"GR_JZ", u"家庭住址 "},
    {u"GR_GB", u"单位邮编"},
    {u"GR_DW", u"工作单位"},
    {u"GR_DZ", u"单位地址"},
    {u"GR_ZW", u"单位职务"},
    {u"GR_BG", u"单位传真"},
    {u"GR_WB", u"网址"},
    {u"GR_BZ", u"备注信息"},
}};

inline constexpr const ContactColumn& idColumn = contactColumns[0];

// The 21 text columns, GR_XM to GR_BZ.
inline constexpr std::span<const ContactColumn, 21> textColumns{contactColumns.data() + 1, 21};

// The column a contact is found by.
inline constexpr QStringView nameColumn = u"GR_XM";

} // namespace contacts
