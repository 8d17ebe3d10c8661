#pragma once

#include <QString>

class QLineEdit;

namespace ui {
class MessageBoxService;
}

namespace account {

// Whether both a name and a password are typed; if not, says which is
// missing ("用户名不能为空" or "用户密码不能为空") and puts the focus there.
bool bothTyped(ui::MessageBoxService& messageBox, QLineEdit* name, QLineEdit* password);

} // namespace account
