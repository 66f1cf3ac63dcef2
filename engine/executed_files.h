// What becomes of an executed command file: it is deleted, or, when it
// cannot be, remembered on disk so that no later run nor restart executes it
// again while it stays unchanged.
#pragma once

#include <string>

#include "engine/agent_engine.h"
#include "engine/agent_log.h"
#include "platform/platform.h"

namespace zentrada::engine {

// A listed file as the agent remembers it.
SharedState::FileIdentity IdentityOf(const std::string& directory, const platform::FileEntry& entry);

class ExecutedFiles {
public:
    // An empty path remembers for the life of the process only.
    ExecutedFiles(std::string path, SharedState& shared, const AgentLog& log, bool durable);

    // At start: the remembered files still there unchanged are remembered
    // again; the others are dropped from the list.
    void Load();
    // The one way an executed file leaves the input directory. Its removal
    // is on disk before this returns when durable: the journal may then
    // forget the file.
    void Finish(const std::string& directory, const platform::FileEntry& entry);
    // A file that must never run again though it stays where it is.
    void Remember(const std::string& directory, const platform::FileEntry& entry);

private:
    std::string path_;
    SharedState& shared_;
    const AgentLog& log_;
    bool durable_;
};

}  // namespace zentrada::engine
