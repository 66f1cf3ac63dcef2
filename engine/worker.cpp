#include "engine/worker.h"

#include <algorithm>
#include <thread>

#include "commands/catalogue.h"
#include "engine/interrupted_file.h"
#include "engine/pass_rule.h"
#include "engine/request_answers.h"
#include "engine/tcp_channel.h"
#include "engine/status_publisher.h"
#include "platform/directory_watch.h"
#include "resources/texts.h"

namespace zentrada::engine {
namespace {

void CallSysLog(const driver::DriverBinding& binding, const char* path, std::int32_t level) {
    if (binding.TORVA_Sys_Log != nullptr) binding.TORVA_Sys_Log(path, level);
}

}  // namespace

Worker::Worker(SharedState& shared, const AgentEnvironment& environment)
    : shared_(shared),
      environment_(environment),
      log_(environment.logPath),
      intake_(shared, log_),
      journal_(environment.journalPath, environment.durableRecords, log_),
      executed_(environment.undeletedFilesPath, shared, log_, environment.durableRecords) {}

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
    executed_.Load();
    answersPending_ = Recover(true);
    ResponseFile::RemoveEmptyPending(shared_.OutputDirectory());
    SweepSpool(environment_.spoolDirectory, shared_.OutputDirectory(), log_);
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
    shared_.status.RunningChanged(shared_.agentRunning);
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

bool Worker::Recover(bool announce) {
    const Recovery recovery =
        RecoverInterruptedFile(environment_.journalPath, executed_, log_, environment_.durableRecords, announce);
    if (recovery == Recovery::CutShort) shared_.status.FileHappened(FileEvent::Interrupted);
    return recovery == Recovery::Pending;
}

bool Worker::AnswersPending() {
    if (answersPending_) answersPending_ = Recover(false);
    return answersPending_;
}

std::optional<Request> Worker::RequestBefore(const std::optional<TakenFile>& file) {
    // One queue in the order things became ready: a request that became
    // ready no later than the file goes first.
    const auto readyNs = shared_.requests.OldestReadyNs();
    if (!readyNs || (file && *readyNs > file->entry.lastWriteNs)) return std::nullopt;
    return shared_.requests.Take();
}

bool Worker::RunCycle(bool pollDue) {
    const bool simpleMode = shared_.simpleMode.load();
    const std::string input = shared_.InputDirectory();
    // A directory another agent takes files from is left to it: both would
    // run the same file. No file is taken while answers wait for the output
    // directory: the journal holds them.
    std::optional<TakenFile> file;
    std::optional<Request> request;
    if (!AnswersPending()) {
        if (ClaimInputDirectory(input))
            file = watch_ != nullptr ? intake_.NextFile(input, simpleMode, watch_->TakeChanges(input))
                                     : intake_.ScanInputDirectory(input, simpleMode);
        // The file passed over stays where it is, to be taken next.
        request = RequestBefore(file);
        if (request) file.reset();
        const Intake::WaitingFiles waiting = intake_.Waiting(file);
        shared_.status.Waiting(waiting.count, waiting.oldestNs);
    }
    if (request) {
        platform::FileEntry entry;
        entry.name = request->name;
        entry.size = request->text.size();
        entry.lastWriteNs = request->readyNs;
        file = TakenFile{{}, request->name, BaseName(request->name), FormatStamp(platform::Now()), request->text,
                         entry};
    }
    std::optional<ResponseFile> response;
    if (file) {
        // The output directory and the mode are taken once per file, so all
        // records of one command file go to one response file. A request's
        // answers go to its client and to the journal; its response file is
        // written only if the client does not get them.
        const bool simple = simpleMode && !request;
        const std::string output = shared_.OutputDirectory();
        // Written without forcing: the journal is the answers' durable copy.
        response.emplace(platform::JoinPath(output, ResponseFileName(file->baseName, file->stamp, simple)), simple,
                         false);
        if (request) response->Hold();
        if (!TakeFile(*file, *response, output, request.has_value())) {
            file.reset();
            // Taken again at the next cycle, before anything newer.
            if (request) shared_.requests.Return(std::move(*request));
        }
    }
    if (!file) {
        if (pollDue) IdlePoll();
        return false;
    }
    ProcessFile(*file, *response, request ? request->client.get() : nullptr);
    return true;
}

bool Worker::TakeFile(const TakenFile& file, ResponseFile& response, const std::string& output, bool isRequest) {
    if (!response.NameFree()) return false;
    // While the output directory is missing nothing is written for the file.
    if (!unwritableResponse_.empty() && !platform::FileExists(output)) return false;
    // The journal names the file and its response before anything of the
    // answer is written: whatever a crash leaves, the next start finds it
    // (but an empty pending file, which the start removes).
    JournalState begin;
    begin.directory = file.directory;
    begin.name = file.name;
    begin.responsePath = response.Path();
    begin.size = file.entry.size;
    begin.lastWriteNs = file.entry.lastWriteNs;
    if (isRequest) begin.request = file.text;
    if (response.ReusedName()) {
        begin.simplified = true;
        if (const auto previous = platform::FindFile(response.Path()))
            begin.previousResponse = JournalState::Previous{previous->size, previous->lastWriteNs};
    }
    journal_.Begin(begin);
    if (response.CreatePending()) {
        unwritableResponse_.clear();
        return true;
    }
    // Taken when the directory is back; the journal says nothing was sent.
    if (unwritableResponse_ != response.Path())
        log_.WriteLog(FillPattern(texts::kResponseCannotBeCreated, {file.name, response.Path()}));
    unwritableResponse_ = response.Path();
    return false;
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
    shared_.status.PrinterPolled(status == 0);
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

void Worker::ProcessFile(const TakenFile& file, ResponseFile& response, RequestClient* client) {
    ResponseWriter responses(response, log_, &journal_);
    std::size_t records = 0;
    if (client != nullptr) {
        responses.CopyTo([client, &records](std::string_view record) {
            ++records;
            client->Record(record);
        });
    }
    const PassOutcome outcome = RunPasses(file.text, responses);
    if (responses.Failed()) {
        if (client != nullptr) client->Abandon();
        // Cut short: the journal holds the answers, and puts the file right
        // once the output directory takes them.
        journal_.Force();
        answersPending_ = Recover(true);
        return;
    }
    if (!responses.Written()) response.Discard();
    if (client == nullptr) {
        // On disk before the journal says the file ran: the next file empties
        // the journal, the answers' durable copy until then.
        if (environment_.durableRecords && responses.Written()) response.Sync();
        journal_.Finished();
    } else {
        // The client has its end line as soon as its answers are whole, and
        // the journal holds them: a crash from here on writes them to the
        // response file unless the journal says the client had them.
        const auto delivery = client->Finish(records, response.Held(), response.Path());
        if (delivery == RequestClient::Delivery::Undelivered &&
            !SaveUndeliveredAnswers(response.Path(), response.Held(), environment_.durableRecords, log_)) {
            journal_.Force();
            answersPending_ = Recover(true);
            return;
        }
        journal_.Finished(delivery == RequestClient::Delivery::Delivered);
    }
    shared_.status.FileRun(outcome.failed, outcome.succeeded,
                           std::max<double>(0, static_cast<double>(platform::FileClockNow() - file.entry.lastWriteNs) / 1e9));
    if (client == nullptr) executed_.Finish(file.directory, file.entry);
}

Worker::PassOutcome Worker::RunPasses(std::string_view text, ResponseWriter& responses) {
    AgentStatus& status = shared_.status;
    PassOutcome outcome;
    // Read a line at a time: a long file is never held as lines.
    const AgentAnswer answer = [&](const FileLine& line, AgentRecord record) {
        responses.SetLine(line.number);
        responses.WriteResponse(AgentRecordFields(record));
        status.LineAnswered(LineOutcome::AgentError);
        outcome.succeeded = false;
    };
    ExecutionPass pass(text, answer);
    engine_.options = pass.Options();
    if (engine_.options.checkOnly) {
        if (CheckingPassRejects(text, answer)) {
            outcome.failed = true;
            return outcome;
        }
        engine_.options.checkOnly = false;
    }
    commands::CommandContext context{engine_.binding, responses, engine_.driverLog};
    while (const FileLine* line = pass.Next()) {
        // A record that missed its file ends the sending: the printer's
        // answers must never outrun what the disk holds of them.
        if (responses.Failed()) break;
        responses.SetLine(line->number);
        journal_.Sending(line->number);
        const std::int32_t result = commands::RunEntry(*line->entry, line->command.params, context);
        // -1 is answered by the pass's own record, counted with it.
        if (result == 0) status.LineAnswered(LineOutcome::Success);
        if (result != 0 && result != -1) status.LineAnswered(LineOutcome::DriverStatus);
        outcome.succeeded = outcome.succeeded && result == 0;
        pass.Sent(result);
    }
    outcome.failed = !outcome.succeeded && engine_.options.stopOnError;
    return outcome;
}

void Worker::Stop() {
    if (engine_.binding.TORVA_Serial_Fechar_Porta != nullptr) engine_.binding.TORVA_Serial_Fechar_Porta();
    log_.WriteLog(texts::kThreadEndedNormally);
}

WorkerEnd AgentThreadMain(SharedState& shared, const AgentEnvironment& environment) {
    Worker worker(shared, environment);
    const AgentLog log(environment.logPath);
    log.WriteLog(texts::kThreadStarted);
    shared.agentRunning = false;
    shared.printerOnline = false;
    shared.status.Start(UnixNow());
    // Declared after the worker, so it writes its last status once the
    // worker is done.
    std::optional<StatusPublisher> publisher;
    if (!environment.statusPath.empty()) publisher.emplace(shared, environment, log);
    std::this_thread::sleep_for(environment.startPause);
    if (const auto end = worker.Start()) return *end;
    platform::NotifyServiceManager("READY=1");
    // A loop that stops turning (a driver call that never returns) is seen
    // by the service manager, which then restarts the agent.
    const auto watchdog = platform::ServiceWatchdogInterval() / 2;
    // The idle pause ends early when a file arrives; the printer is still
    // polled no more often than once per pause, whatever wakes the worker.
    platform::DirectoryWatch watch;
    if (environment.watchInputDirectory) worker.UseWatch(&watch);
    // A request received ends the pause as a file arriving does.
    shared.requests.SetWake([&watch] { watch.Wake(); });
    TcpChannel channel(shared, environment, log);
    channel.Start();
    using Clock = std::chrono::steady_clock;
    Clock::time_point nextPoll = Clock::now();
    Clock::time_point nextAlive = Clock::now();
    do {
        if (watchdog.count() > 0 && Clock::now() >= nextAlive) {
            platform::NotifyServiceManager("WATCHDOG=1");
            nextAlive = Clock::now() + watchdog;
        }
        const bool pollDue = Clock::now() >= nextPoll;
        if (worker.RunCycle(pollDue)) {
            nextPoll = Clock::now();
            continue;
        }
        if (pollDue) nextPoll = Clock::now() + environment.idlePause;
        // Rounded up: a wait cut short of the poll would scan once more for nothing.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(nextPoll - Clock::now());
        watch.WaitForChange(environment.watchInputDirectory ? shared.InputDirectory() : std::string(),
                            std::max(left, std::chrono::milliseconds(0)));
    } while (shared.agentRunning);
    platform::NotifyServiceManager("STOPPING=1");
    channel.Stop();
    shared.requests.SetWake(nullptr);
    // Their clients had no answer, and may send them again.
    for (const std::string& name : shared.requests.Clear())
        log.WriteLog(FillPattern(texts::kTcpRequestNotRunStopped, {name}));
    worker.Stop();
    shared.status.RunningChanged(false);
    return WorkerEnd::Stopped;
}

}  // namespace zentrada::engine
