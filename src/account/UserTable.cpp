#include "UserTable.h"

#include "platform/ui/MessageBox.h"

#include <QLineEdit>

namespace account {

bool bothTyped(ui::MessageBoxService& messageBox, QLineEdit* name, QLineEdit* password) {
    for (const auto& [box, message] : {std::pair{name, QStringLiteral("用户名不能为空")},
                                       std::pair{password, QStringLiteral("用户密码不能为空")}}) {
        if (box->text().isEmpty()) {
            messageBox.show(message, QStringLiteral("系统提示"));
            box->setFocus();
            return false;
        }
    }
    return true;
}

} // namespace account
