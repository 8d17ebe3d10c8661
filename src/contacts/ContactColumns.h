#pragma once

#include <QStringView>

#include <array>
#include <span>

namespace contacts {

enum class ControlKind { HiddenLabel, TextBox, ComboBox, NotesBox };

// A place on the contact card, in twips.
struct Box {
    int left;
    int top;
    int width;
    int height;
};

// One column of table yanshu and the card control that shows it.
struct ContactColumn {
    QStringView column;  // column of yanshu
    QStringView control; // the card control that shows it
    ControlKind kind;
    Box box;           // the control's place on the card
    QStringView label; // the caption label beside the control (none for Id)
    QStringView caption;
    int labelLeft;
    int labelTop;
};

// Id and the 21 text columns in the order the card reads and writes them.
inline constexpr std::array<ContactColumn, 22> contactColumns{{
    {u"Id", u"Label26", ControlKind::HiddenLabel, {240, 960, 180, 180}, u"", u"", 0, 0},
    {u"GR_XM",
     u"TGR_XM",
     ControlKind::TextBox,
     {1920, 720, 2295, 270},
     u"Label1",
     u"姓名",
     1320,
     720},
    {u"GR_XB",
     u"CGR_XB",
     ControlKind::ComboBox,
     {4920, 720, 2415, 300},
     u"Label2",
     u"性别",
     4320,
     720},
    {u"GR_CS",
     u"TGR_CS",
     ControlKind::TextBox,
     {2160, 1080, 2055, 270},
     u"Label3",
     u"出生日期",
     1320,
     1080},
    {u"GR_BB",
     u"TGR_BB",
     ControlKind::TextBox,
     {5040, 1080, 1815, 270},
     u"Label4",
     u"传呼机",
     4320,
     1080},
    {u"GR_ICQ",
     u"TGR_ICQ",
     ControlKind::TextBox,
     {1680, 1440, 2535, 270},
     u"Label5",
     u"ICQ",
     1320,
     1440},
    {u"GR_QQ",
     u"TGR_QQ",
     ControlKind::TextBox,
     {7800, 1080, 2175, 270},
     u"Label6",
     u"腾讯QQ",
     6960,
     1080},
    {u"GR_MSN",
     u"TGR_MSN",
     ControlKind::TextBox,
     {7800, 1440, 2175, 270},
     u"Label7",
     u"微软MSN",
     6960,
     1440},
    {u"GR_ML",
     u"TGR_ML",
     ControlKind::TextBox,
     {5160, 1440, 1695, 270},
     u"Label8",
     u"电子邮件",
     4320,
     1440},
    {u"GR_DH",
     u"TGR_DH",
     ControlKind::TextBox,
     {5160, 1800, 1695, 270},
     u"Label9",
     u"住宅电话",
     4320,
     1800},
    {u"GR_DHW",
     u"TGR_DHW",
     ControlKind::TextBox,
     {2280, 3960, 2295, 270},
     u"Label10",
     u"单位电话",
     1320,
     3960},
    {u"GR_YDH",
     u"TGR_YDH",
     ControlKind::TextBox,
     {2160, 1800, 2055, 270},
     u"Label11",
     u"移动电话",
     1320,
     1800},
    {u"GR_CZ",
     u"TGR_CZ",
     ControlKind::TextBox,
     {7800, 1800, 2175, 270},
     u"Label12",
     u"传真电话",
     6960,
     1800},
    {u"GR_YB",
     u"TGR_YB",
     ControlKind::TextBox,
     {2280, 2160, 1935, 270},
     u"Label13",
     u"邮政编码",
     1320,
     2160},
    {u"GR_JZ",
     u"TGR_JZ",
     ControlKind::TextBox,
     {2280, 2520, 7695, 270},
     u"Label14",
     u"家庭住址 ",
     1320,
     2520},
    {u"GR_GB",
     u"TGR_GB",
     ControlKind::TextBox,
     {6960, 2880, 3015, 270},
     u"Label15",
     u"单位邮编",
     6000,
     2880},
    {u"GR_DW",
     u"TGR_DW",
     ControlKind::TextBox,
     {2280, 2880, 3615, 270},
     u"Label16",
     u"工作单位",
     1320,
     2880},
    {u"GR_DZ",
     u"TGR_DZ",
     ControlKind::TextBox,
     {2280, 3600, 7695, 270},
     u"Label17",
     u"单位地址",
     1320,
     3600},
    {u"GR_ZW",
     u"TGR_ZW",
     ControlKind::TextBox,
     {6960, 3240, 3015, 270},
     u"Label18",
     u"单位职务",
     6000,
     3240},
    {u"GR_BG",
     u"TGR_BG",
     ControlKind::TextBox,
     {2280, 3240, 3615, 270},
     u"Label20",
     u"单位传真",
     1320,
     3240},
    {u"GR_WB",
     u"TGR_WB",
     ControlKind::TextBox,
     {5280, 3960, 4695, 270},
     u"Label19",
     u"网址",
     4800,
     3960},
    {u"GR_BZ",
     u"TGR_BZ",
     ControlKind::NotesBox,
     {2280, 4320, 7695, 1575},
     u"Label21",
     u"备注信息",
     1320,
     4200},
}};

inline constexpr const ContactColumn& idColumn = contactColumns[0];

// The 21 text columns, GR_XM to GR_BZ.
inline constexpr std::span<const ContactColumn, 21> textColumns{contactColumns.data() + 1, 21};

// The column a contact is found by.
inline constexpr QStringView nameColumn = u"GR_XM";

} // namespace contacts
