#pragma once

#include "F_LOGO.h"

#include "platform/Services.h"

namespace app {

// The one object of each window class, for the whole run.
class Forms {
public:
    explicit Forms(const platform::Services& services);

    app::F_LOGO F_LOGO;
};

} // namespace app
