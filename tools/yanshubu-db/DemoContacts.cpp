#include "DemoContacts.h"

#include "contacts/ContactColumns.h"
#include "contacts/ContactStore.h"
#include "platform/db/Transaction.h"

#include <QStringList>

#include <array>

namespace {

// Every person here is invented; numbers and addresses lead nowhere.
// Columns in card order, GR_XM to GR_BZ.
using Card = std::array<const char*, 21>;

constexpr std::array<Card, 6> demoCards{{
    {"林晓燕",
     "女",
     "1988-03-15",
     "12345678",
     "10203040",
     "87654321",
     "xiaoyan.lin@example.com",
     "xiaoyan@example.com",
     "010-12345678",
     "010-87654321",
     "13800000001",
     "010-12345679",
     "100001",
     "北京市东城区示例胡同12号",
     "100010",
     "示例图书有限公司",
     "北京市朝阳区样板路88号",
     "编辑",
     "010-87654320",
     "https://example.com/xiaoyan",
     "大学同学。\r\n每年春节寄贺卡。\r\n喜欢围棋和昆曲。"},
    {"王建国",
     "男",
     "1975-10-01",
     "",
     "",
     "23456789",
     "",
     "",
     "021-23456789",
     "",
     "13900000002",
     "",
     "200001",
     "上海市黄浦区演示街3弄5号",
     "",
     "",
     "",
     "",
     "",
     "",
     ""},
    {"陈思远",
     "男",
     "1992-07-08",
     "",
     "",
     "34567890",
     "siyuan@example.com",
     "siyuan@example.com",
     "",
     "020-34567890",
     "13700000003",
     "",
     "",
     "",
     "510000",
     "南方示例软件公司",
     "广州市天河区样例大道100号",
     "工程师",
     "020-34567891",
     "",
     "同事，负责测试。"},
    {"赵雨婷",
     "女",
     "1999-12-24",
     "",
     "",
     "",
     "",
     "yuting@example.com",
     "",
     "",
     "13600000004",
     "",
     "610000",
     "成都市锦江区样本巷7号",
     "",
     "",
     "",
     "",
     "",
     "",
     "表妹"},
    {"Li Ming",
     "男",
     "",
     "",
     "",
     "",
     "liming@example.com",
     "li.ming@example.com",
     "",
     "",
     "",
     "",
     "",
     "",
     "",
     "",
     "",
     "",
     "",
     "",
     "外国朋友，说英语。"},
    {"", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", ""},
}};

} // namespace

void addDemoContacts(db::Connection& connection) {
    contacts::ContactStore store;
    store.openAll(connection);
    db::Transaction batch(connection);
    qint64 id = 0;
    for (const Card& card : demoCards) {
        contacts::Contact contact;
        contact.id = ++id;
        for (std::size_t i = 0; i < card.size(); ++i) {
            contact.fields[i] = QString::fromUtf8(card[i]);
        }
        store.add(contact);
    }
    batch.commit();
}
