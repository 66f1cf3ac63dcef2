// The worker: one run of the agent from binding the driver library to closing
// the printer port. Its steps are public so that tests can drive single
// cycles; AgentThreadMain runs them in order.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "commands/command_context.h"
#include "driver/binding.h"
#include "engine/agent_engine.h"
#include "engine/agent_log.h"
#include "engine/executed_files.h"
#include "engine/intake.h"
#include "engine/journal.h"
#include "engine/reader.h"
#include "engine/response_writer.h"
#include "platform/directory_claim.h"
#include "platform/directory_watch.h"

namespace zentrada::engine {

// The state of one run of the worker thread.
struct AgentEngine {
    FileOptions options;  // checkOnly and stopOnError of the file in hand
    commands::DriverLogSetting driverLog;
    driver::DriverBinding binding;
    std::array<char, 100> statusBuffer{};
};

class Worker {
public:
    Worker(SharedState& shared, const AgentEnvironment& environment);

    // Puts right the file a crash left in hand, binds the driver library and
    // opens the printer port; on success the agent is running and nothing is
    // returned.
    std::optional<WorkerEnd> Start();
    // One cycle: the oldest ready file is run, or else the printer is polled
    // (without the pause) when `pollDue`. True when a file was run.
    bool RunCycle(bool pollDue = true);
    // Closes the port and logs the end.
    void Stop();
    // Where the changes of the input directory come from; without it each
    // cycle lists the directory whole.
    void UseWatch(platform::DirectoryWatch* watch) { watch_ = watch; }

    const AgentEngine& Engine() const { return engine_; }

private:
    bool BindDriverLibrary();
    bool ClaimInputDirectory(const std::string& directory);
    // Journals a ready file and makes its response ready; false when it must
    // wait (its response name taken, or the output directory refusing it).
    bool TakeFile(const TakenFile& file, ResponseFile& response, const std::string& output, bool isRequest);
    void IdlePoll();
    void RestoreDriverLog();
    void ProcessFile(const TakenFile& file, ResponseFile& response, RequestClient* client);
    // The request that became ready before `file`, if any, in its place.
    std::optional<Request> RequestBefore(const std::optional<TakenFile>& file);
    struct PassOutcome {
        bool failed = false;    // ended by a failed line, or rejected by /PRE
        bool succeeded = true;  // every line sent succeeded, none answered by the agent
    };
    PassOutcome RunPasses(std::string_view text, ResponseWriter& responses);
    // Puts right the file the journal says was in hand; true when its
    // answers must still wait for the output directory.
    bool Recover(bool announce);
    // Answers kept in the journal while the output directory refused them.
    bool AnswersPending();

    SharedState& shared_;
    const AgentEnvironment& environment_;
    AgentLog log_;
    Intake intake_;
    Journal journal_;
    ExecutedFiles executed_;
    platform::DirectoryClaim claim_;
    platform::DirectoryWatch* watch_ = nullptr;
    std::string refusedDirectory_;   // held by another agent, logged once
    std::string unwritableResponse_; // could not be created, logged once
    bool answersPending_ = false;
    AgentEngine engine_;
};

}  // namespace zentrada::engine
