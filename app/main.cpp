#include <iostream>
#include <string>
#include <vector>

#include "app/app_main.h"
#include "app/windows.h"
#include "platform/memory_tuning.h"

int main(int argc, char** argv) {
  plotdesk::keepFreedMemoryForReuse();
  std::vector<std::string> args(argv + 1, argv + argc);
  plotdesk::AppHooks hooks = plotdesk::makeAppHooks(argc, argv);
  return plotdesk::plotdeskMain(args, hooks, std::cout, std::cerr);
}
