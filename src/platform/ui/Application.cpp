#include "Application.h"

namespace ui {

QString applicationTitle() {
    return QStringLiteral("雁书簿");
}

} // namespace ui
