#pragma once
#include "app/app_main.h"

namespace plotdesk {
// The hooks of this build: display toolkit, windows and sub-commands.
AppHooks makeAppHooks(int& argc, char** argv);
}  // namespace plotdesk
