#pragma once
// `plotdesk dispose SRC... [--out DIR] [--timestamp NAME]`: disposes each
// source exactly as the pipeline's dispose worker does (code conversion when
// FileCode_Conv is 1, then the engine chosen by Split_AlignType) with the
// settings of the program folder. Prints one line per disposed output list
// item ("path;size text") and returns 0, or prints each failure and returns 1
// (2 for a usage error). Operators use it to check a file before a run.
#include <ostream>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace plotdesk {

int runDisposeCommand(const std::vector<std::string>& args, const std::string& programFolder, std::ostream& out,
                      std::ostream& err);
int runDisposeCommand(const std::vector<std::string>& args, const std::string& programFolder, std::ostream& out,
                      std::ostream& err, Clock& clock);

}  // namespace plotdesk
