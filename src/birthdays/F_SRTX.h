#pragma once

#include "Coming.h"

#include "platform/Aside.h"
#include "platform/Services.h"
#include "platform/ui/Form.h"

#include <QAbstractTableModel>

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTreeView;

namespace birthdays {

// The birthdays as the list shows them: 日期, 还有, 姓名, 生日, 年龄. Rows
// are made as they are seen, so a long list costs nothing to show.
class BirthdayList final : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setBirthdays(std::vector<Coming> coming, QDate today);
    const std::vector<Coming>& birthdays() const { return coming_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<Coming> coming_;
    QDate today_;
};

struct F_SRTX_Controls {
    explicit F_SRTX_Controls(ui::FormWidget* form);

    QRadioButton* optDays30;
    QRadioButton* optDays90;
    QTreeView* lstBirthdays;
    BirthdayList* birthdays;
    QLabel* lblCount;
    QCheckBox* chkLogin; // 登录时提醒 … 天内的生日
    QSpinBox* txtDays;
    QLabel* lblDays;
    QPushButton* cmdClose;
};

// 生日提醒: the book's birthdays of the next 30 or 90 days, with the age
// where the year is known, and whether and how far ahead the login
// reminds of them. The list is reckoned beside the window.
class F_SRTX final : public ui::FormOf<F_SRTX_Controls> {
public:
    explicit F_SRTX(const platform::Services& services);

    F_SRTX_Controls& controls() { return ui(); }
    // Until the list shows what was reckoned.
    bool reckoning() const { return reckoning_; }

    void optDays30_Click();
    void optDays90_Click();
    void chkLogin_Click();
    void txtDays_Change();
    void cmdClose_Click();

protected:
    void Form_Load() override;
    void Form_Unload() override;
    void wireEvents(F_SRTX_Controls& controls) override;

private:
    int chosenDays();
    void reckon();
    void showList();
    void keepSettings();

    const platform::Services& services_;
    platform::Aside aside_;
    QDate today_;
    int days_ = 30;
    bool reckoning_ = false;
    bool stale_ = false;
    std::vector<Coming> coming_; // the work's, until it has finished
};

} // namespace birthdays
