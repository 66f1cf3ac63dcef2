#include "engine/worker.h"

#include <algorithm>
#include <thread>

#include "commands/catalogue.h"
#include "engine/interrupted_file.h"
#include "engine/response_writer.h"
#include "platform/directory_watch.h"
#include "resources/texts.h"

namespace zentrada::engine {
namespace {

void CallSysLog(const driver::DriverBinding& binding, const char* path, std::int32_t level) {
    if (binding.TORVA_Sys_Log != nullptr) binding.TORVA_Sys_Log(path, level);
}

}  // namespace

bool EndsExecutionPass(std::string_view name) { return name.substr(0, name.find(' ')) == "."; }

Worker::Worker(SharedState& shared, const AgentEnvironment& environment)
    : shared_(shared),
      environment_(environment),
      log_(environment.logPath),
      intake_(shared, log_),
      journal_(environment.journalPath, environment.durableRecords, log_) {}

bool Worker::BindDriverLibrary() {
    engine_.driverLog.level = 0;
    log_.WriteLog(texts::kLoadingLibrary);
    const driver::LoadResult result = driver::LoadDriverLibrary(environment_.driverLibrary, engine_.binding);
    if (!result.loaded) {
        log_.WritePlainLine(texts::kLibraryNotFound);
        return false;
    }
    for (const char* name : result.missing)
        log_.WritePlainLine(std::string(texts::kEntryPointMissingPrefix) + name);
    return true;
}

std::optional<WorkerEnd> Worker::Start() {
    // Before anything is taken, so a file cut short is never run again.
    RecoverInterruptedFile(environment_.journalPath, shared_, log_, environment_.durableRecords);
    if (!BindDriverLibrary()) {
        if (environment_.showError) environment_.showError(texts::kErrorTitle, texts::kLibraryLoadFailed);
        return WorkerEnd::DriverNotLoaded;
    }
    // A library without the port call cannot open the port.
    const auto openPort = engine_.binding.TORVA_Serial_Abrir_PortaEX;
    if (openPort == nullptr || openPort() != 0) {
        if (environment_.showError) environment_.showError(texts::kAgentErrorTitle, texts::kPortOpenFailed);
        log_.WriteLog(texts::kThreadEndedPortError);
        shared_.agentRunning = false;
        return WorkerEnd::PortNotOpened;
    }
    shared_.agentRunning = true;
    // A stop asked for while starting holds once the port is open.
    if (shared_.stopRequested.exchange(false)) shared_.agentRunning = false;
    return std::nullopt;
}

bool Worker::ClaimInputDirectory(const std::string& directory) {
    if (claim_.Claim(directory)) {
        refusedDirectory_.clear();
        return true;
    }
    if (refusedDirectory_ != directory) log_.WriteLog(FillPattern(texts::kInputDirectoryInUse, {directory}));
    refusedDirectory_ = directory;
    return false;
}

bool Worker::RunCycle(bool pollDue) {
    const bool simpleMode = shared_.simpleMode.load();
    const std::string input = shared_.InputDirectory();
    // A directory another agent takes files from is left to it: both would
    // run the same file.
    std::optional<TakenFile> file;
    if (ClaimInputDirectory(input)) file = intake_.ScanInputDirectory(input, simpleMode);
    if (!file) {
        if (pollDue) IdlePoll();
        return false;
    }
    ProcessFile(*file, simpleMode);
    journal_.Finished();
    intake_.FinishCommandFile(*file, environment_.durableRecords);
    return true;
}

void Worker::IdlePoll() {
    const driver::DriverBinding& binding = engine_.binding;
    CallSysLog(binding, "", 0);
    // A library without the status query leaves the printer off line.
    std::int32_t status = -1;
    if (binding.TORVA_Obter_Estado_Impressora != nullptr) {
        engine_.statusBuffer.fill(0);
        status = binding.TORVA_Obter_Estado_Impressora(engine_.statusBuffer.data());
    }
    shared_.printerOnline = status == 0;
    RestoreDriverLog();
}

void Worker::RestoreDriverLog() {
    const commands::DriverLogSetting& log = engine_.driverLog;
    if (log.level == 0) {
        const std::int32_t setting = environment_.readDriverLogSetting ? environment_.readDriverLogSetting() : 0;
        if (setting == 1) CallSysLog(engine_.binding, "", 1000);
        if (setting == 2) CallSysLog(engine_.binding, "", 2000);
    } else if (log.level == 1) {
        CallSysLog(engine_.binding, log.path.c_str(), 1000);
    } else if (log.level == 2) {
        CallSysLog(engine_.binding, log.path.c_str(), 2000);
    }
}

void Worker::ProcessFile(const TakenFile& file, bool simpleMode) {
    engine_.options = FileOptions{};
    CommandFileReader reader(file.text);
    // The output directory and the mode are taken once per file, so all
    // records of one command file go to one response file.
    const std::string responsePath =
        platform::JoinPath(shared_.OutputDirectory(), ResponseFileName(file.baseName, file.stamp, simpleMode));
    journal_.Begin({file.directory, file.name, responsePath, file.entry.size, file.entry.lastWriteNs, std::nullopt, false});
    ResponseWriter responses(responsePath, log_, [&reader] { return reader.LineNumber(); },
                             environment_.durableRecords);
    commands::CommandContext context{engine_.binding, responses, engine_.driverLog};

    reader.ReadOptions(engine_.options);
    if (engine_.options.checkOnly) {
        context.checkOnly = true;
        if (CheckingPassFails(reader, context)) return;
        reader.ResetLineNumber();
        reader.ReadOptions(engine_.options);
        engine_.options.checkOnly = false;
        context.checkOnly = false;
    }
    ExecutionPass(reader, context);
}

bool Worker::CheckingPassFails(CommandFileReader& reader, commands::CommandContext& context) {
    bool failed = false;
    commands::CommandLine line;
    while (reader.ReadNextCommandLine(line)) {
        const std::int32_t code = commands::LookupCommandCode(line.name);
        if (code == commands::kNotCatalogued) {
            context.responses.WriteResponse({"3", texts::kUnknownCommand});
            failed = true;
        } else if (commands::DispatchCommand(code, line.params, context) == -1) {
            context.responses.WriteResponse({"3", texts::kWrongParameterCount});
            failed = true;
        }
    }
    return failed;
}

void Worker::ExecutionPass(CommandFileReader& reader, commands::CommandContext& context) {
    commands::CommandLine line;
    while (reader.ReadNextCommandLine(line)) {
        const std::int32_t code = commands::LookupCommandCode(line.name);
        if (code != commands::kNotCatalogued) {
            journal_.Sending(reader.LineNumber());
            const std::int32_t result = commands::DispatchCommand(code, line.params, context);
            if (result == 0) continue;
            // -1 is both a wrong count and a driver status; the line gets the
            // count record after any record of the handler.
            if (result == -1) context.responses.WriteResponse({"3", texts::kWrongParameterCount});
        } else {
            if (EndsExecutionPass(line.name)) return;
            context.responses.WriteResponse({"3", texts::kUnknownCommand});
        }
        if (engine_.options.stopOnError) return;
    }
}

void Worker::Stop() {
    if (engine_.binding.TORVA_Serial_Fechar_Porta != nullptr) engine_.binding.TORVA_Serial_Fechar_Porta();
    log_.WriteLog(texts::kThreadEndedNormally);
}

WorkerEnd AgentThreadMain(SharedState& shared, const AgentEnvironment& environment) {
    Worker worker(shared, environment);
    AgentLog(environment.logPath).WriteLog(texts::kThreadStarted);
    shared.agentRunning = false;
    shared.printerOnline = false;
    std::this_thread::sleep_for(environment.startPause);
    if (const auto end = worker.Start()) return *end;
    // The idle pause ends early when a file arrives; the printer is still
    // polled no more often than once per pause, whatever wakes the worker.
    platform::DirectoryWatch watch;
    using Clock = std::chrono::steady_clock;
    Clock::time_point nextPoll = Clock::now();
    do {
        const bool pollDue = Clock::now() >= nextPoll;
        if (worker.RunCycle(pollDue)) {
            nextPoll = Clock::now();
            continue;
        }
        if (pollDue) nextPoll = Clock::now() + environment.idlePause;
        // Rounded up: a wait cut short of the poll would scan once more for nothing.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(nextPoll - Clock::now());
        if (environment.watchInputDirectory) {
            watch.WaitForChange(shared.InputDirectory(), std::max(left, std::chrono::milliseconds(0)));
        } else {
            std::this_thread::sleep_for(left);
        }
    } while (shared.agentRunning);
    worker.Stop();
    return WorkerEnd::Stopped;
}

}  // namespace zentrada::engine
