// What a change of the Windows service could not do, as the console host and
// the panel tell it.
#pragma once

#include <string>

#include "engine/agent_log.h"
#include "platform/service_control.h"
#include "resources/texts.h"

namespace zentrada::shell {

// cp1252; empty when the change was done.
inline std::string ServiceChangeText(const platform::ServiceChange& change) {
    switch (change.result) {
        case platform::ServiceResult::Done: return {};
        case platform::ServiceResult::AccessDenied: return texts::kServiceAccessDenied;
        case platform::ServiceResult::AlreadyInstalled: return texts::kServiceAlreadyInstalled;
        case platform::ServiceResult::NotInstalled: return texts::kServiceNotInstalled;
        case platform::ServiceResult::Failed: break;
    }
    return engine::FillPattern(texts::kServiceFailed, {std::to_string(change.error)});
}

}  // namespace zentrada::shell
