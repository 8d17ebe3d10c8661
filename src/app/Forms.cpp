#include "Forms.h"

namespace app {

// The login dialog takes over from the splash once it exists; until then
// the splash closes and, with no window left, the program ends.
Forms::Forms(const platform::Services& services)
    : F_LOGO(services, {}) {}

} // namespace app
