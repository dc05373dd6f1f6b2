#include "app/startup_hooks.h"

namespace quillon::app {

StartupHooks& Hooks() {
    static StartupHooks hooks;
    return hooks;
}

}  // namespace quillon::app
