// The driver library's own log. Besides its call, the command keeps the path
// and level it was given, which the idle poll restores after every status query.
#include "commands/families.h"

namespace zentrada::commands {
namespace {

constexpr CommandRow kSysLogRows[] = {
    ZENTRADA_ROW_WITH_RULE(RowRule::SetsDriverLog, 905, TORVA_Sys_Log, Text, Int),
};

}  // namespace

std::span<const CommandRow> SysLogRows() { return kSysLogRows; }

}  // namespace zentrada::commands
