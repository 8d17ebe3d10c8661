#include "ReportDefinition.h"

namespace reports {

namespace {

using enum ControlKind;

constexpr ReportFont bold12{12, true};
constexpr ReportFont bold105{10.5, true};
constexpr ReportFont regular105{10.5, false};
constexpr ReportFont regular9{9, false};

// --- DYGE ------------------------------------------------------------------

constexpr ReportControl dygeHeader[] = {
    {Label, u"Label1", u"联系人个人信息", 567, 200, 2490, 270, bold12},
    {Line, u"Line1", u"", 0, 450, 8504, 0},
};

// Labels first, in number order, then the text boxes.
constexpr ReportControl dygeDetail[] = {
    {Label, u"Label2", u"姓名：", 567, 100, 567, 270},
    {Label, u"Label3", u"性别：", 3402, 100, 570, 270},
    {Label, u"Label4", u"出生日期", 567, 400, 1134, 270},
    {Label, u"Label5", u"传呼机", 3402, 400, 1140, 270},
    {Label, u"Label6", u"腾讯QQ", 6236, 400, 1140, 270},
    {Label, u"Label7", u"ICQ", 567, 800, 567, 270},
    {Label, u"Label8", u"电子邮件", 3402, 800, 1140, 270},
    {Label, u"Label9", u"MSN", 5669, 3600, 570, 270},
    {Label, u"Label10", u"移动电话", 567, 1200, 1134, 270},
    {Label, u"Label11", u"住宅电话", 3402, 1200, 1134, 270},
    {Label, u"Label12", u"传真", 6236, 1200, 567, 270},
    {Label, u"Label13", u"邮政编码", 567, 1600, 1134, 270},
    {Label, u"Label14", u"家庭住址", 3402, 1600, 1134, 270},
    {Label, u"Label15", u"工作单位", 567, 2000, 1134, 270},
    {Label, u"Label16", u"单位邮编", 4535, 2000, 1125, 270},
    {Label, u"Label17", u"单位传真", 567, 2400, 1134, 270},
    {Label, u"Label18", u"单位职务", 4535, 2400, 1125, 270},
    {Label, u"Label19", u"单位地址", 567, 2835, 1134, 270},
    {Label, u"Label20", u"单位电话", 567, 3200, 1134, 270},
    {Label, u"Label21", u"网址", 567, 3601, 1134, 270},
    {Label, u"Label22", u"备注", 567, 3969, 1134, 270},
    {TextBox, u"Text1", u"GR_XM", 1290, 100, 1134, 270, regular105},
    {TextBox, u"Text2", u"GR_XB", 4535, 100, 1125, 270, regular105},
    {TextBox, u"Text3", u"GR_CS", 1701, 400, 1134, 270, regular105},
    {TextBox, u"Text4", u"GR_BB", 4535, 400, 1701, 270, regular105},
    {TextBox, u"Text5", u"GR_QQ", 7370, 400, 1134, 270, regular105},
    {TextBox, u"Text6", u"GR_ICQ", 1134, 800, 1701, 270, regular105},
    {TextBox, u"Text7", u"GR_ML", 4535, 800, 1701, 270, regular105},
    {TextBox, u"Text8", u"GR_MSN", 6236, 3600, 2262, 270, regular105},
    {TextBox, u"Text9", u"GR_YDH", 1701, 1200, 1701, 270, regular105},
    {TextBox, u"Text10", u"GR_DH", 4535, 1200, 1701, 270, regular105},
    {TextBox, u"Text11", u"GR_CZ", 6803, 1200, 1701, 270, regular105},
    {TextBox, u"Text12", u"GR_YB", 1701, 1600, 1701, 270, regular105},
    {TextBox, u"Text13", u"GR_JZ", 4535, 1600, 3969, 270, regular105},
    {TextBox, u"Text14", u"GR_DW", 1701, 2000, 2835, 270, regular105},
    {TextBox, u"Text15", u"GR_GB", 5669, 2000, 2268, 270, regular105},
    {TextBox, u"Text16", u"GR_BG", 1701, 2400, 2268, 270, regular105},
    {TextBox, u"Text17", u"GR_ZW", 5669, 2400, 2268, 270, regular105},
    {TextBox, u"Text18", u"GR_DZ", 1701, 2835, 6240, 270, regular105},
    {TextBox, u"Text19", u"GR_DHW", 1701, 3200, 3402, 270, regular105},
    {TextBox, u"Text20", u"GR_WB", 1701, 3600, 3968, 270, regular105},
    {TextBox, u"Text21", u"GR_BZ", 1701, 3969, 6240, 2265, regular105, Align::Left, true},
};

constexpr ReportControl dygePageFooter[] = {
    {Line, u"Line2", u"", 0, 0, 8504, 0},
    {Label, u"Label23", u"雁书簿", 567, 200, 5669, 270, regular9},
};

constexpr ReportDefinition dyge{
    u"DYGE",
    8505,
    1440,
    bold105,
    u"打印个人信息",
    11880,
    8595,
    {{
        {u"Section4", 570, dygeHeader},
        {u"Section2", 15, {}},
        {u"Section1", 7935, dygeDetail},
        {u"Section3", 767, dygePageFooter},
        {u"Section5", 0, {}},
    }},
};

// --- YANSHUALL ---------------------------------------------------------------

constexpr ReportControl listHeader[] = {
    {Line, u"Line1", u"", 0, 300, 8504, 0},
    {Label, u"Label2", u"雁书簿", 300, 0, 1695, 270, bold12},
};

constexpr ReportControl listPageHeader[] = {
    {Label, u"Label3", u"姓名", 200, 50, 567, 270, bold105},
    {Label, u"Label4", u"住宅电话", 1300, 50, 1134, 270, bold105},
    {Label, u"Label5", u"手机", 3000, 50, 1134, 270, bold105},
    {Label, u"Label6", u"单位电话", 5200, 50, 1140, 270, bold105},
    {Label, u"Label7", u"传呼机", 6830, 50, 1125, 270, bold105},
    {Line, u"Line12", u"", 0, 300, 8504, 0},
};

// The five boxes centre their values within their columns.
constexpr ReportControl listDetail[] = {
    {TextBox, u"Text1", u"GR_XM", 100, 40, 1034, 270, bold105, Align::Centre},
    {TextBox, u"Text2", u"GR_DH", 1134, 40, 1701, 270, bold105, Align::Centre},
    {TextBox, u"Text3", u"GR_YDH", 2835, 40, 2000, 270, bold105, Align::Centre},
    {TextBox, u"Text4", u"GR_DHW", 4902, 40, 1710, 270, bold105, Align::Centre},
    {TextBox, u"Text5", u"GR_BB", 6700, 40, 1800, 270, bold105, Align::Centre},
    {Line, u"Line3", u"", 0, 0, 8504, 0},
    {Line, u"Line14", u"", 0, 265, 8504, 0},
    {Line, u"Line9", u"", 0, 0, 0, 270},
    {Line, u"Line4", u"", 1134, 0, 0, 270},
    {Line, u"Line5", u"", 2835, 0, 0, 270},
    {Line, u"Line13", u"", 4900, 0, 0, 270},
    {Line, u"Line7", u"", 6608, 0, 0, 270},
    {Line, u"Line8", u"", 8504, 0, 0, 270},
};

constexpr ReportControl listPageFooter[] = {
    {Label, u"Label1",
     u"雁书簿                                                         制作:雁书簿项目", 567, 60,
     7370, 195},
    {Line, u"Line2", u"", 0, 40, 8504, 0},
};

constexpr ReportDefinition yanshuall{
    u"YANSHUALL",
    8565,
    1440,
    regular9,
    u"雁书簿-2003",
    6555,
    6285,
    {{
        {u"Section4", 300, listHeader},
        {u"Section2", 320, listPageHeader},
        {u"Section1", 310, listDetail},
        {u"Section3", 255, listPageFooter},
        {u"Section5", 360, {}},
    }},
};

} // namespace

const ReportDefinition& DYGE() {
    return dyge;
}

const ReportDefinition& YANSHUALL() {
    return yanshuall;
}

} // namespace reports
