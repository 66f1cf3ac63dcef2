#include "bench/outside.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#if defined(__linux__)
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string_view>
#include <vector>
extern char** environ;
#endif

#include "bench/os.h"

namespace bench {

#if defined(__linux__)

namespace {

using namespace std::chrono_literals;

AgentMemory agentMemory;

// Agents not stopped yet: a run cut short by a failure or an exit kills them
// rather than leave them running.
std::vector<pid_t> runningAgents;

void KillRunningAgents() {
    for (const pid_t pid : runningAgents) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    runningAgents.clear();
}

void Forget(pid_t pid) { std::erase(runningAgents, pid); }

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    std::exit(1);
}

std::string ReadText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Starts `arguments` (the program first, looked up on PATH) with its
// standard output and error going to `output`.
pid_t Spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
            const fs::path& output) {
    std::vector<char*> argv, envp;
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    for (const auto& variable : environment) envp.push_back(const_cast<char*>(variable.c_str()));
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The exit status, 1000 + the signal when one ended it, or -1 when the
// process is still running after `limit`.
int WaitForExit(pid_t pid, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (true) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        if (Clock::now() > deadline) return -1;
        std::this_thread::sleep_for(2ms);
    }
}

// This process's environment, less whatever would steer the agent or its
// library, plus the recording library's mode and a lock of the agent's own.
std::vector<std::string> AgentEnvironment(const fs::path& lockDirectory) {
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        const std::string_view text = *variable;
        if (text.starts_with("TORVA_") || text.starts_with("ZENTRADA_") || text.starts_with("LD_LIBRARY_PATH="))
            continue;
        environment.emplace_back(text);
    }
    environment.push_back("TORVA_MODE=recorder");
    environment.push_back("TORVA_FAULTS=off");
    environment.push_back("ZENTRADA_LOCK_DIR=" + lockDirectory.string());
    return environment;
}

// A program's full path found on PATH, empty when it is nowhere there.
std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream directories(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string directory; std::getline(directories, directory, ':');) {
        const fs::path candidate = fs::path(directory.empty() ? "." : directory) / name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    return {};
}

// zentrada in a directory of its own: the executable, the driver library
// beside it, its settings file naming the input and output directories, its
// log and journal. Construction returns once it has taken a first file: its
// port is open and its worker waits for the next.
class AgentProcess {
public:
    AgentProcess(const Setup& setup, const std::string& name, bool durable, int waiting)
        : dir_(setup.root / ("agent-" + UniqueTag(name))), in_(dir_ / "in"), out_(dir_ / "out") {
        fs::create_directories(in_);
        fs::create_directories(out_);
        WriteWaitingFiles(in_, waiting);
        const fs::path program = dir_ / "zentrada";
        fs::copy_file(setup.agentProgram, program);
        fs::copy_file(setup.library, dir_ / fs::path(setup.library).filename());
        WriteFile(dir_ / "zentrada.conf", "WorkDirectoryIn=" + in_.string() + "\nWorkDirectoryOut=" + out_.string() +
                                              "\nSyncRecords=" + (durable ? "1" : "0") + "\n");
        pid_ = Spawn({program.string()}, AgentEnvironment(dir_), dir_ / "zentrada.out");
        if (pid_ <= 0) Fail("cannot start " + program.string());
        static const bool killedAtExit = std::atexit(KillRunningAgents) == 0;
        (void)killedAtExit;
        runningAgents.push_back(pid_);
        const fs::path probe = dir_ / "probe.tmp";
        WriteFile(probe, "TORVA_Obter_Estado_Impressora|\r\n.\r\n");
        fs::rename(probe, in_ / "PRONTO.FPI");
        const auto start = Clock::now();
        while (fs::exists(in_ / "PRONTO.FPI")) {
            if (const int status = WaitForExit(pid_, 0ms); status >= 0) {
                Forget(pid_);
                pid_ = -1;
                Fail("zentrada ended with status " + std::to_string(status) + ": " + ReadText(dir_ / "zentrada.out"));
            }
            if (SecondsSince(start) > 60) Fail("zentrada took no file within 60 s: " + dir_.string());
            std::this_thread::sleep_for(1ms);
        }
    }
    ~AgentProcess() { Stop(); }
    AgentProcess(const AgentProcess&) = delete;
    AgentProcess& operator=(const AgentProcess&) = delete;

    const fs::path& Directory() const { return dir_; }
    const fs::path& In() const { return in_; }
    const fs::path& Out() const { return out_; }
    pid_t Pid() const { return pid_; }

    // User and system time of the whole process so far, in seconds.
    double CpuSeconds() const {
        // The fields after the command's closing parenthesis, from the
        // state on: utime and stime are the 12th and 13th.
        const std::string stat = ReadText(ProcPath("stat"));
        std::istringstream fields(stat.substr(stat.rfind(')') + 1));
        std::string field;
        unsigned long long user = 0, system = 0;
        for (int i = 1; i <= 13 && fields >> field; ++i) {
            if (i == 12) user = std::stoull(field);
            if (i == 13) system = std::stoull(field);
        }
        return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
    }

    // VmHWM, the most the process has held in RAM so far, and what it
    // holds now.
    AgentMemory Memory() const {
        AgentMemory memory;
        std::istringstream status(ReadText(ProcPath("status")));
        for (std::string line; std::getline(status, line);) {
            const auto field = line.substr(0, line.find(':') + 1);
            std::uint64_t* value = field == "VmHWM:"      ? &memory.peak
                                   : field == "RssAnon:" ? &memory.anonymous
                                   : field == "RssFile:" ? &memory.fileBacked
                                                         : nullptr;
            if (value != nullptr) *value = std::stoull(line.substr(field.size())) * 1024;
        }
        return memory;
    }

    // Whether every thread of the process has a tracer attached.
    bool Traced() const {
        bool any = false;
        for (const auto& task : fs::directory_iterator(ProcPath("task"))) {
            std::istringstream status(ReadText(task.path() / "status"));
            for (std::string line; std::getline(status, line);)
                if (line.starts_with("TracerPid:") && std::stol(line.substr(10)) == 0) return false;
            any = true;
        }
        return any;
    }

    // SIGTERM, as a service manager stops it; its peak memory is taken first.
    void Stop() {
        if (pid_ <= 0) return;
        if (const AgentMemory memory = Memory(); memory.peak > agentMemory.peak) agentMemory = memory;
        kill(pid_, SIGTERM);
        int status = WaitForExit(pid_, 20s);
        if (status < 0) {
            kill(pid_, SIGKILL);
            status = WaitForExit(pid_, 20s);
        }
        if (status != 0) std::fprintf(stderr, "zentrada in %s ended with status %d\n", dir_.c_str(), status);
        Forget(pid_);
        pid_ = -1;
    }

private:
    fs::path ProcPath(const char* name) const { return fs::path("/proc") / std::to_string(pid_) / name; }

    fs::path dir_, in_, out_;
    pid_t pid_ = -1;
};

// Names created in one directory and removed from another, in the order the
// kernel reports them, each with the time it was read.
class NameEvents {
public:
    struct Event {
        bool created = false;
        std::string name;
        Clock::time_point at;
    };

    NameEvents(const fs::path& created, const fs::path& removed)
        : fd_(inotify_init1(IN_CLOEXEC | IN_NONBLOCK)),
          createdWatch_(inotify_add_watch(fd_, created.c_str(), IN_CREATE | IN_MOVED_TO)),
          removedWatch_(inotify_add_watch(fd_, removed.c_str(), IN_DELETE | IN_MOVED_FROM)) {
        if (fd_ < 0 || createdWatch_ < 0 || removedWatch_ < 0) Fail("inotify: cannot watch " + created.string());
    }
    ~NameEvents() { close(fd_); }
    NameEvents(const NameEvents&) = delete;
    NameEvents& operator=(const NameEvents&) = delete;

    // The next event; fails when none comes within `limit`.
    Event Next(std::chrono::milliseconds limit) {
        const auto deadline = Clock::now() + limit;
        while (events_.empty()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) Fail("no answer from zentrada within " + std::to_string(limit.count()) + " ms");
            pollfd ready{fd_, POLLIN, 0};
            if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) continue;
            alignas(inotify_event) char buffer[16 * 1024];
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            const auto at = Clock::now();
            for (ssize_t offset = 0; n > 0 && offset < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
                if (event->mask & IN_Q_OVERFLOW) Fail("inotify: events lost");
                if (event->len > 0) events_.push_back({event->wd == createdWatch_, event->name, at});
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        Event event = std::move(events_.front());
        events_.pop_front();
        return event;
    }

private:
    int fd_;
    int createdWatch_, removedWatch_;
    std::deque<Event> events_;
};

// The forced writes strace counted in its summary (-c).
long CountedCalls(const fs::path& summary) {
    long calls = 0;
    std::istringstream text(ReadText(summary));
    for (std::string line; std::getline(text, line);) {
        std::istringstream row(line);
        std::vector<std::string> fields{std::istream_iterator<std::string>(row), std::istream_iterator<std::string>()};
        // % time, seconds, usecs/call, calls, [errors,] syscall
        if (fields.size() >= 5 && (fields.back() == "fsync" || fields.back() == "fdatasync"))
            calls += std::stol(fields[3]);
    }
    return calls;
}

}  // namespace

bool OutsideSupported() { return true; }

OutsideLatency MeasureOutsideLatency(const Setup& setup, int files, int waiting, int maxGapMs) {
    AgentProcess durableAgent(setup, Numbered("outside-latency", waiting, ""), true, waiting);
    AgentProcess plainAgent(setup, Numbered("outside-latency", waiting, "-plain"), false, waiting);
    NameEvents durableEvents(durableAgent.Out(), durableAgent.In());
    NameEvents plainEvents(plainAgent.Out(), plainAgent.In());
    const fs::path staging = setup.root / "arriving.tmp";
    ForcedAppendFile forced((setup.root / "forced-latency.txt").string());
    std::mt19937 random(42);
    std::uniform_int_distribution<int> gapUs(0, maxGapMs * 1000);
    OutsideLatency figures;
    for (int i = 0; i < files; ++i) {
        for (const bool durable : {true, false}) {
            std::this_thread::sleep_for(std::chrono::microseconds(gapUs(random)));
            const AgentProcess& agent = durable ? durableAgent : plainAgent;
            NameEvents& events = durable ? durableEvents : plainEvents;
            LatencyFigures& latency = durable ? figures.durable : figures.plain;
            const std::string stem = Numbered("F", i, "");
            const std::string name = stem + ".FPI";
            WriteFile(staging, std::string("TORVA_Fiscal_Cancelar_Ultimo_Item|\r\n") + kEndLine);
            const auto start = Clock::now();
            fs::rename(staging, agent.In() / name);
            std::optional<double> recorded;
            while (true) {
                const NameEvents::Event event = events.Next(30s);
                const double ms = std::chrono::duration<double, std::milli>(event.at - start).count();
                if (event.created) {
                    // The response is linked under its name with its first
                    // record in it; its pending file (.fpo.tmp) is not it.
                    if (!recorded && event.name.starts_with(stem + "_") && event.name.ends_with(".fpo")) recorded = ms;
                } else if (event.name == name) {
                    latency.firstRecordMs.push_back(recorded.value_or(ms));
                    latency.goneMs.push_back(ms);
                    break;
                }
            }
        }
        const std::string entry = Numbered("linha ", i, "\n");
        const auto start = Clock::now();
        forced.Append(entry);
        figures.forcedAppendMs.push_back(MillisecondsSince(start));
    }
    return figures;
}

double MeasureOutsideLineRate(const Setup& setup, bool durable, int lines) {
    const fs::path staging = setup.root / "long.tmp";
    WriteFile(staging, QuickCommandFile(lines));
    AgentProcess agent(setup, durable ? "outside-lines-durable" : "outside-lines-plain", durable, 0);
    NameEvents events(agent.Out(), agent.In());
    const auto start = Clock::now();
    fs::rename(staging, agent.In() / "LONGO.FPI");
    while (true) {
        const NameEvents::Event event = events.Next(10min);
        if (!event.created && event.name == "LONGO.FPI") break;
    }
    const double seconds = SecondsSince(start);
    CheckRecords(agent.Out(), "LONGO", lines, "one long file, zentrada");
    return lines / seconds;
}

double MeasureOutsideIdleCpu(const Setup& setup, int waiting, double seconds) {
    AgentProcess agent(setup, Numbered("outside-idle", waiting, ""), true, waiting);
    // As in the thread: the first scans read the waiting files once.
    std::this_thread::sleep_for(std::chrono::duration<double>(std::min(2.0, seconds / 2)));
    const double cpuBefore = agent.CpuSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double cpu = agent.CpuSeconds() - cpuBefore;
    return 100.0 * cpu / SecondsSince(start);
}

std::optional<ForcedWrites> CountForcedWritesOutside(const Setup& setup, bool durable, int files) {
    const std::string strace = FindProgram("strace");
    if (strace.empty()) return std::nullopt;
    AgentProcess agent(setup, durable ? "outside-forced-durable" : "outside-forced-plain", durable, 0);
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) environment.emplace_back(*variable);
    long forced[2];
    for (const int lines : {1, 10}) {
        const fs::path summary = agent.Directory() / Numbered("strace-", lines, ".txt");
        const pid_t tracer = Spawn({strace, "-f", "-c", "-e", "trace=fsync,fdatasync", "-o", summary.string(), "-p",
                                    std::to_string(agent.Pid())},
                                   environment, agent.Directory() / "strace.out");
        const auto start = Clock::now();
        while (!agent.Traced()) {
            if (tracer <= 0 || WaitForExit(tracer, 0ms) >= 0 || SecondsSince(start) > 10) {
                std::fprintf(stderr, "strace could not attach: %s\n",
                             ReadText(agent.Directory() / "strace.out").c_str());
                if (tracer > 0) {
                    kill(tracer, SIGKILL);
                    WaitForExit(tracer, 10s);
                }
                return std::nullopt;
            }
            std::this_thread::sleep_for(1ms);
        }
        RunFilesOneByOne(setup.root / "forced.tmp", agent.In(), lines == 1 ? "UMA" : "DEZ", files, lines);
        // The last file's removal reaches the disk after the file is gone.
        std::this_thread::sleep_for(300ms);
        kill(tracer, SIGINT);
        WaitForExit(tracer, 20s);
        forced[lines == 10] = CountedCalls(summary);
    }
    ForcedWrites figures;
    figures.perFile = static_cast<double>(forced[0]) / files;
    figures.perExtraLine = static_cast<double>(forced[1] - forced[0]) / (9.0 * files);
    return figures;
}

AgentMemory TakeAgentMemory() { return std::exchange(agentMemory, {}); }

#else

bool OutsideSupported() { return false; }
OutsideLatency MeasureOutsideLatency(const Setup&, int, int, int) { return {}; }
double MeasureOutsideLineRate(const Setup&, bool, int) { return 0; }
double MeasureOutsideIdleCpu(const Setup&, int, double) { return 0; }
std::optional<ForcedWrites> CountForcedWritesOutside(const Setup&, bool, int) { return std::nullopt; }
AgentMemory TakeAgentMemory() { return {}; }

#endif

}  // namespace bench
