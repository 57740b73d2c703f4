#pragma once
// `plotdesk send FILE`: sends one file over the configured link exactly as
// the print worker does, so an operator can check a machine connection.
#include <ostream>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace plotdesk {

// `args` are the words after "send". Progress goes to `err`, the link's
// message to `out`. Returns 0 when the file reached the machine (and, with
// IC_CutState 1 on the TCP link, the machine finished cutting it), 1 when it
// did not, 2 for a usage error.
int runSendCommand(const std::vector<std::string>& args, const std::string& programFolder, std::ostream& out,
                   std::ostream& err);
// The same with an injected clock for the link's pauses.
int runSendCommand(const std::vector<std::string>& args, const std::string& programFolder, std::ostream& out,
                   std::ostream& err, Clock& clock);

}  // namespace plotdesk
