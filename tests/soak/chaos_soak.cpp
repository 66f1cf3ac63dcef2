// Chaos soak: the real zentrada and the virtual printer, run for a while in
// a directory of their own, with point-of-sale writers dropping command
// files slowly and in pieces while the agent is stopped in order, killed
// hard (also in the middle of a file), switched between simplified and
// normal mode and between two pairs of directories, its output directory
// taken away, its input directory made unreadable and its printer made to
// fail, go off line and be slow. At the end everything written is checked
// against the printer's trace, the response files, the input directories
// and the log; any violation makes the exit status 1. Beside the files, two
// point-of-sale programs send requests over the TCP channel (POSIX, where
// the settings file sets it): whole, cut short before their marker, or left
// before their answer came.
//
//   chaos_soak [SECONDS=180] [SEED=time] [ZENTRADA] [PRINTER_LIBRARY]
//
// The programs default to the ones of its own build. ctest -L soak runs it
// for 120 s (60 s under Wine). The seed fixes the random choices, not the
// timing. A longer run by hand:
//   build/default/bin/chaos_soak 1800 $RANDOM
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "../child_process.h"
#include "../test_files.h"
#include "soak_process.h"
#include "engine/tcp_client.h"
#include "platform/socket.h"

namespace zentrada::soak {
namespace {

using namespace std::chrono_literals;
using testing::ReadBytes;
using testing::WriteBytes;
using SystemClock = std::chrono::system_clock;
using Steady = std::chrono::steady_clock;

const std::string kRecordEnd = "\r\r\n";
const std::string kInterruptedRecord =
    "3|Execu\xE7\xE3o interrompida: esta linha pode ter sido executada e as seguintes n\xE3o foram. Verifique o "
    "estado da impressora.|";
// Commands that take a text first and need no fiscal state; the text is the
// line's unique id, which the printer's trace shows.
const std::vector<std::string> kCommands = {"TORVA_Display_Enviar_Texto",  "TORVA_NaoFiscal_Imprimir_Linha",
                                            "TORVA_Autenticar_Imprimir",   "TORVA_Fiscal_Imprimir_MensagemEX",
                                            "TORVA_Obter_Informacao_Item", "TORVA_Cheque_Imprimir_Endosso",
                                            "TORVA_Config_Operador",       "TORVA_Obter_Mensagem_Erro"};

bool AppendBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << bytes;
    out.flush();
    return static_cast<bool>(out);
}
std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return parts;
        start = end + separator.size();
    }
}
// A time as the agent stamps response names: YYYYMMDD_HHMMSS, local time.
std::string Stamp(SystemClock::time_point t) {
    const std::tm local = LocalTime(SystemClock::to_time_t(t));
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d_%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}
// Q<file id, 6 digits>L<line, 3 digits>
bool IsUid(const std::string& field) {
    if (field.size() != 11 || field[0] != 'Q' || field[7] != 'L') return false;
    for (std::size_t i = 1; i < field.size(); ++i)
        if (i != 7 && (field[i] < '0' || field[i] > '9')) return false;
    return true;
}

struct Line {
    int number;
    std::string uid;
};

// One command file as a point of sale wrote it.
struct CommandFile {
    int id = 0;
    std::string name;  // VENDA1.FPI, COMANDO.FPI
    fs::path directory;
    bool complete = false;  // ends with its marker; else abandoned
    std::string text;
    std::vector<Line> lines;
    SystemClock::time_point startedAt, completedAt;
    std::optional<SystemClock::time_point> goneAt;
    std::string badName;  // what an abandoned file is to be renamed
};

// One request sent over the TCP channel.
struct TcpRequest {
    std::vector<std::string> uids;
    bool whole = false;     // its marker line was sent
    bool answered = false;  // its end line came back
    std::string records;    // what came back before it
};

struct Interval {
    SystemClock::time_point from, to;
};

class Soak {
public:
    Soak(int seconds, unsigned seed, fs::path zentrada, fs::path library)
        : seconds_(seconds), seed_(seed), rng_(seed), zentradaSource_(std::move(zentrada)),
          librarySource_(std::move(library)) {}

    int Run() {
        SetUp();
        std::printf("chaos soak: %d s, seed %u, work directory %s\n", seconds_, seed_, work_.string().c_str());
        std::fflush(stdout);
        StartAgent();
        std::vector<std::thread> writers;
        for (int w = 0; w < 4; ++w) writers.emplace_back([this, w] { Writer(w); });
        if (!kWindows)
            for (int c = 0; c < 2; ++c) writers.emplace_back([this, c] { TcpClient(c); });
        const auto end = Steady::now() + std::chrono::seconds(seconds_);
        while (Steady::now() < end) {
            Chaos();
            Pause(Pick(300, 2500));
        }
        stopWriters_ = true;
        for (auto& writer : writers) writer.join();
        Drain();
        Check();
        return Report();
    }

private:
    // ------------------------------------------------------------- set-up
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    fs::path In(int pair) const { return work_ / (pair == 0 ? "in_a" : "in_b"); }
    fs::path Out(int pair) const { return work_ / (pair == 0 ? "out_a" : "out_b"); }
    static fs::path Away(const fs::path& directory) { return directory.string() + ".away"; }

    void SetUp() {
        const std::string own = std::to_string(seed_) + "-" + std::to_string(testing::ProcessId());
        work_ = fs::temp_directory_path() / ("zentrada-soak-" + own);
        fs::remove_all(work_);
        for (int pair = 0; pair < 2; ++pair) fs::create_directories(In(pair)), fs::create_directories(Out(pair));
        fs::create_directories(work_ / "printer");
        // On Windows the single-instance mutex is named after the executable.
        exe_ = work_ / (kWindows ? "zentrada-soak-" + own + ".exe" : "zentrada");
        fs::copy_file(zentradaSource_, exe_);
        fs::copy_file(librarySource_, work_ / librarySource_.filename());
        trace_ = work_ / "trace.txt";
        {
            platform::Socket probe;
            platform::Listen("127.0.0.1", 0, probe);
            tcpPort_ = platform::LocalPort(probe);
        }
        faults_ = work_ / "falhas.txt";
        environment_ = testing::ChildEnvironment({"LANG=", "LC_", "ZENTRADA_", "TORVA_", "LD_LIBRARY_PATH="},
                                        {"LANG=C.UTF-8", "ZENTRADA_LOCK_DIR=" + work_.string(), "TORVA_MODE=recorder",
                                         "TORVA_TRACE=" + trace_.string(), "TORVA_FAULTS=" + faults_.string(),
                                         "TORVA_PRINTER_DIR=" + (work_ / "printer").string()});
    }

    // -------------------------------------------------------------- agent
    void SetFaults(const std::string& text) {
        // Through a new file, so the printer never reads half of it; on
        // Windows the rename fails while the printer has the file open.
        WriteBytes(faults_.string() + ".new", text);
        std::error_code error;
        for (int i = 0; i < 10; ++i, std::this_thread::sleep_for(20ms))
            if (fs::rename(faults_.string() + ".new", faults_, error), !error) break;
        if (error) WriteBytes(faults_, text);
        if (!text.empty()) ++faultsInjected_;
    }

    // Starts the agent on the current pair and mode, with the settings file
    // or the command line (the settings file is the POSIX host's only).
    void StartAgent() {
        SetFaults("");
        std::vector<std::string> arguments;
        std::string settings = "# soak\r\nTcpPort=" + std::to_string(tcpPort_) + "\r\n";
#if !defined(_WIN32)
        if (Pick(0, 1) == 0) {
            settings += "WorkDirectoryIn=" + In(pair_).string() + "\r\nWorkDirectoryOut = " + Out(pair_).string() +
                        "\r\nSimgleMode=" + (simple_ ? "1" : "0") + "\r\n";
        } else
#endif
        {
            arguments = {"--in", In(pair_).string(), "--out", Out(pair_).string()};
            if (simple_) arguments.push_back("--simple");
        }
        WriteBytes(work_ / "zentrada.conf", settings);
        const std::size_t traced = ReadBytes(trace_).size();
        ++starts_;
        agent_ = std::make_unique<Agent>(exe_, arguments, environment_, work_ / ("agent" + std::to_string(starts_)));
        // Started once the port is open: faults may then come.
        const auto limit = Steady::now() + 20s;
        while (ReadBytes(trace_).find("TORVA_Serial_Abrir_PortaEX|", traced) == std::string::npos) {
            if (agent_->Ended() || Steady::now() > limit) {
                Violation("agent start " + std::to_string(starts_) + " ended with status " +
                          std::to_string(agent_->Status()) + ": " +
                          ReadBytes(work_ / ("agent" + std::to_string(starts_) + ".err")));
                agent_.reset();
                return;
            }
            std::this_thread::sleep_for(20ms);
        }
        startedAt_ = Steady::now();
    }

    // An agent found ended before it was stopped or killed has crashed.
    bool Crashed() {
        if (!agent_->Ended()) return false;
        Violation("the agent ended by itself with status " + std::to_string(agent_->Status()));
        agent_.reset();
        return true;
    }

    void StopAgent() {
        if (!agent_ || Crashed()) return;
        agent_->Interrupt();
        const auto limit = Steady::now() + 60s;
        while (!agent_->Ended() && Steady::now() < limit) std::this_thread::sleep_for(20ms);
        if (!agent_->Ended())
            Violation("the agent did not stop within 60 s of Ctrl+C/SIGINT");
        else if (agent_->Status() != 0)
            Violation("orderly stop ended with status " + std::to_string(agent_->Status()));
        else
            ++orderlyStops_;
        agent_.reset();
    }

    void KillAgent() {
        if (!agent_ || Crashed()) return;
        ++kills_;
        agent_->Kill();
        agent_.reset();
    }

    // Waits, sampling the agent's memory and handles about once a second.
    void Pause(int milliseconds) {
        const auto end = Steady::now() + std::chrono::milliseconds(milliseconds);
        while (Steady::now() < end) {
            if (agent_ && !agent_->Ended() && Steady::now() - lastSample_ > 1s && Steady::now() - startedAt_ > 2s) {
                if (const auto sample = agent_->Measure()) samples_.emplace_back(starts_, *sample);
                lastSample_ = Steady::now();
            }
            std::this_thread::sleep_for(50ms);
        }
    }

    // ------------------------------------------------------------- chaos
    void Restart(bool hard) {
        hard ? KillAgent() : StopAgent();
        if (Pick(0, 9) < 4) simple_ = !simple_, ++modeSwitches_;
        if (Pick(0, 9) < 2) {
            const std::unique_lock gate(gate_);
            pair_ = 1 - pair_, ++pairSwitches_;
        }
        Pause(Pick(100, 1500));
        StartAgent();
    }

    void Chaos() {
        const int roll = Pick(0, 99);
        if (roll < 14) return Restart(false);
        if (roll < 26) return Restart(true);
        if (roll < 44) {
            // A kill while a file runs: every call slowed, the kill within a
            // call's time of a line reaching the printer.
            const int delay = Pick(150, 400);
            SetFaults("delay " + std::to_string(delay) + "\n");
            const std::size_t from = ReadBytes(trace_).size();
            const auto limit = Steady::now() + 8s;
            while (ReadBytes(trace_).find("|Q", from) == std::string::npos && Steady::now() < limit) Pause(20);
            if (Steady::now() < limit) ++midFileKills_;
            std::this_thread::sleep_for(std::chrono::milliseconds(Pick(0, delay + 60)));
            return Restart(true);
        }
        if (roll < 56) {
            const std::string name = kCommands[Pick(0, static_cast<int>(kCommands.size()) - 1)];
            const char* counts[] = {"once", "2", "5", "always"};
            SetFaults("status " + name + " " + std::to_string(Pick(0, 1) ? 16 : 30) + " " + counts[Pick(0, 3)] +
                      "\nstatus * 31 " + std::to_string(Pick(1, 3)) + "\n");
        } else if (roll < 64) {
            SetFaults("offline\n");
        } else if (roll < 70) {
            SetFaults("paper-out\n");
        } else if (roll < 78) {
            SetFaults("delay " + std::to_string(Pick(40, 200)) + "\ndelay TORVA_Autenticar_Imprimir 600\n");
        } else if (roll < 89) {
            // The output directory taken away for a while, its files kept.
            const fs::path out = Out(pair_);
            std::error_code error;
            fs::rename(out, Away(out), error);
            if (error) return;
            const auto from = SystemClock::now();
            Pause(Pick(1500, 4000));
            fs::rename(Away(out), out, error);
            awayIntervals_.push_back({from, SystemClock::now()});
            ++outputRemovals_;
            return;
        } else {
            const std::unique_lock gate(gate_);  // the writers wait meanwhile
            if (!LockDirectory(In(pair_), true)) {
                ++inputLocksSkipped_;
                return;
            }
            ++inputLocks_;
            Pause(Pick(1500, 4000));
            LockDirectory(In(pair_), false);
            return;
        }
        Pause(Pick(1500, 4000));
        SetFaults("");
    }

    // ------------------------------------------------------------ writers
    // Writer 0 writes COMANDO.FPI (simplified mode's file), the others their
    // own VENDA files, each name again only once its last file is gone.
    void Writer(int w) {
        std::mt19937 rng(seed_ * 7919 + static_cast<unsigned>(w));
        auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
        std::vector<std::string> names{"COMANDO.FPI"};
        if (w > 0) names = {"VENDA" + std::to_string(w) + ".FPI", "VENDA" + std::to_string(w + 3) + ".FPI"};
        std::map<std::string, CommandFile*> pending;
        std::map<std::string, Steady::time_point> freeAt;
        while (!stopWriters_) {
            for (auto it = pending.begin(); it != pending.end();) {
                if (NoteGone(*it->second)) {
                    if (w == 0) TagSimpleResponse(*it->second);
                    freeAt[it->first] = Steady::now() + 1500ms;  // a new stamp for the next response
                    it = pending.erase(it);
                } else {
                    ++it;
                }
            }
            const auto name = std::find_if(names.begin(), names.end(), [&](const std::string& n) {
                return !pending.contains(n) && freeAt[n] <= Steady::now();
            });
            if (name == names.end()) {
                std::this_thread::sleep_for(100ms);
                continue;
            }
            pending[*name] = &WriteFile(*name, pick(0, 99) >= 15, rng);
            std::this_thread::sleep_for(std::chrono::milliseconds(pick(100, 1500)));
        }
    }

    CommandFile& WriteFile(const std::string& name, bool complete, std::mt19937& rng) {
        auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
        CommandFile* file;
        {
            const std::lock_guard lock(ledgerMutex_);
            file = &ledger_.emplace_back();
            file->id = static_cast<int>(ledger_.size());
            const std::shared_lock gate(gate_);
            file->directory = In(pair_);
        }
        file->name = name;
        file->complete = complete;
        std::vector<std::string> rows;
        if (pick(0, 2) == 0) rows.push_back("; venda " + std::to_string(file->id));
        if (pick(0, 4) == 0) rows.push_back("/PRE");
        if (pick(0, 2) == 0) rows.push_back("/NOSTOP");
        for (int i = pick(2, 10); i > 0; --i) {
            if (pick(0, 9) == 0) rows.push_back("; item");
            char uid[32];
            std::snprintf(uid, sizeof uid, "Q%06dL%03d", file->id, static_cast<int>(rows.size()) + 1);
            rows.push_back(kCommands[pick(0, static_cast<int>(kCommands.size()) - 1)] + "|" + uid + "|");
            file->lines.push_back({static_cast<int>(rows.size()), uid});
        }
        std::string body;
        for (const auto& row : rows) body += row + "\r\n";
        // In pieces cut anywhere, then the marker alone; an abandoned file
        // stops anywhere before its end.
        const int end = complete ? static_cast<int>(body.size()) : pick(2, static_cast<int>(body.size()) - 1);
        std::vector<std::size_t> cuts{0, static_cast<std::size_t>(end)};
        for (int i = pick(1, 4); i > 0; --i) cuts.push_back(static_cast<std::size_t>(pick(1, end - 1)));
        std::sort(cuts.begin(), cuts.end());
        file->text = body.substr(0, cuts.back()) + (complete ? ".\r\n" : "");
        const fs::path path = file->directory / name;
        file->startedAt = SystemClock::now();
        auto piece = [&](const std::string& bytes) {
            const std::shared_lock gate(gate_);
            if (!AppendBytes(path, bytes)) Violation("writer could not append to " + path.string());
        };
        for (std::size_t i = 1; i < cuts.size(); ++i) {
            piece(body.substr(cuts[i - 1], cuts[i] - cuts[i - 1]));
            std::this_thread::sleep_for(std::chrono::milliseconds(pick(20, 400)));
        }
        if (complete) {
            file->completedAt = SystemClock::now();
            piece(".\r\n");
        } else {
            // Abandoned: aged past the two minutes so the rule fires now.
            const auto when = SystemClock::now() - 4min - std::chrono::microseconds(pick(0, 999999));
            char milliseconds[8];
            std::snprintf(milliseconds, sizeof milliseconds, "%06d",
                          static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               when.time_since_epoch()).count() % 1000));
            std::string stamp = Stamp(when);
            stamp.erase(8, 1);
            file->badName = name.substr(0, name.find('.')) + "_" + stamp + milliseconds + ".bad";
            const std::shared_lock gate(gate_);
            SetLastWriteTime(path, when);
        }
        return *file;
    }

    bool NoteGone(CommandFile& file) {
        const std::lock_guard lock(ledgerMutex_);
        if (file.goneAt) return true;
        std::error_code error;
        if (fs::exists(file.directory / file.name, error) || error) return false;
        file.goneAt = SystemClock::now();
        return true;
    }

    // COMANDO.fpo is every simplified file's answer: once the file is gone,
    // it is kept under that file's id, as a point of sale reads it then.
    void TagSimpleResponse(const CommandFile& file) {
        std::this_thread::sleep_for(500ms);
        for (int pair = 0; pair < 2; ++pair)
            for (const fs::path& out : {Out(pair), Away(Out(pair))}) {
                std::error_code error;
                fs::rename(out / "COMANDO.fpo", out / ("COMANDO.fpo." + std::to_string(file.id)), error);
            }
    }

    // ----------------------------------------------------- TCP clients
    // Requests of one to four lines, each line's text its id (file ids from
    // 500000 on); now and then one cut short before its marker, or one whose
    // client leaves before reading its answer.
    void TcpClient(int c) {
        std::mt19937 rng(seed_ * 104729 + static_cast<unsigned>(c));
        auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
        engine::ChannelClient client;
        bool connected = false;
        while (!stopWriters_) {
            if (!connected && !(connected = client.Connect("127.0.0.1", tcpPort_, 1s))) {
                std::this_thread::sleep_for(100ms);
                continue;
            }
            TcpRequest request;
            const int id = 500000 + c * 100000 + static_cast<int>(tcpRequestCount_++);
            std::string text = "; pedido " + std::to_string(id) + "\r\n";
            for (int line = 2, count = pick(1, 4); line < 2 + count; ++line) {
                char uid[32];
                std::snprintf(uid, sizeof uid, "Q%06dL%03d", id, line);
                request.uids.push_back(uid);
                text += kCommands[static_cast<std::size_t>(pick(0, static_cast<int>(kCommands.size()) - 1))] + "|" +
                        uid + "|\r\n";
            }
            const int how = pick(0, 9);  // 0: cut short; 1: left before the answer; else whole
            request.whole = how != 0;
            const bool sent = client.Send(request.whole ? text + ".\r\n" : text + ".");
            if (sent && how > 1) {
                const auto answer = client.Read(60s);
                request.answered = answer.end.has_value();
                request.records = answer.records;
            }
            const bool answered = request.answered;
            {
                const std::lock_guard lock(ledgerMutex_);
                tcpRequests_.push_back(std::move(request));
            }
            if (!sent || how <= 1 || !answered) {
                client.Close();
                connected = false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(pick(0, 300)));
        }
    }

    void CheckTcp(std::map<std::string, int>& sent) {
        std::size_t unanswered = 0, runSome = 0, kept = 0;
        for (const TcpRequest& request : tcpRequests_) {
            std::size_t run = 0;
            for (const std::string& uid : request.uids) run += sent[uid] > 0;
            if (run > 0) ++runSome, ++tcpRun_;
            if (!request.whole && run > 0) Violation("a request cut short before its marker ran: " + request.uids[0]);
            if (!request.answered) {
                if (run > 0) ++unanswered;
                continue;
            }
            // An answered request: each line sent answered once, in order.
            const auto records = Split(request.records, kRecordEnd);
            std::size_t found = 0;
            for (const std::string& record : records) found += record.starts_with("Line ");
            if (found != run) Violation("request " + request.uids[0] + " answered " + std::to_string(found) +
                                        " records for " + std::to_string(run) + " lines run");
            ++tcpAnswered_;
        }
        // Answers no client got are kept in the output directories.
        for (int pair = 0; pair < 2; ++pair)
            for (const fs::path& out : {Out(pair), Away(Out(pair))}) {
                std::error_code error;
                for (auto it = fs::directory_iterator(out, error); !error && it != fs::directory_iterator(); ++it)
                    if (it->path().filename().string().starts_with("TCP_")) {
                        ++kept;
                        if (!ReadBytes(it->path()).ends_with(kRecordEnd))
                            Violation(it->path().filename().string() + " does not end with 13, 13, 10");
                    }
            }
        tcpKept_ = static_cast<int>(kept);
        if (kept < unanswered)
            Violation(std::to_string(unanswered) + " requests run without their answer, " + std::to_string(kept) +
                      " kept in the output directories");
        if (kept > runSome) Violation(std::to_string(kept) + " answers kept for " + std::to_string(runSome) + " requests run");
        // Requests live in memory and in the journal, never as files.
        if (fs::exists(work_ / (exe_.stem().string() + "_tcp"))) Violation("requests stored in a directory");
    }

    // ------------------------------------------------------------ the end
    // Faults off, normal mode, each pair in turn until its files are gone.
    void Drain() {
        for (const int pair : {pair_, 1 - pair_}) {
            StopAgent();
            SetFaults("");
            pair_ = pair;
            simple_ = false;
            StartAgent();
            const auto limit = Steady::now() + 45s;
            auto waiting = [&] {
                int left = 0;
                for (auto& file : ledger_) left += file.directory == In(pair) && !NoteGone(file);
                return left;
            };
            while (waiting() > 0 && Steady::now() < limit) Pause(200);
            Pause(1000);
        }
        StopAgent();
        const CommandFile* last = nullptr;
        for (const auto& file : ledger_)
            if (file.name == "COMANDO.FPI") last = &file;
        if (last != nullptr) TagSimpleResponse(*last);
    }

    void Violation(const std::string& text) {
        const std::lock_guard lock(violationsMutex_);
        violations_.push_back(text);
    }

    struct Record {
        int line;
        bool interrupted;
    };

    // Every response file, each given to the command file it answers.
    std::map<int, std::vector<std::pair<std::string, std::vector<Record>>>> ReadResponses() {
        std::map<int, std::vector<std::pair<std::string, std::vector<Record>>>> answers;
        for (int pair = 0; pair < 2; ++pair)
            for (const fs::path& out : {Out(pair), Away(Out(pair))}) {
                std::error_code error;
                for (auto it = fs::directory_iterator(out, error); !error && it != fs::directory_iterator(); ++it) {
                    const std::string name = it->path().filename().string();
                    int id = 0;
                    if (name.starts_with("TCP_")) continue;  // a request's (CheckTcp)
                    if (name.rfind("COMANDO.fpo.", 0) == 0) {
                        id = std::stoi(name.substr(12));
                    } else if (name.size() > 20 && name.ends_with(".fpo") && name[name.size() - 20] == '_') {
                        const std::string base = name.substr(0, name.size() - 20),
                                          stamp = name.substr(name.size() - 19, 15);
                        std::vector<int> matches;
                        for (const auto& file : ledger_)
                            if (file.complete && file.name == base + ".FPI" && Stamp(file.completedAt) <= stamp &&
                                stamp <= Stamp(file.goneAt.value_or(SystemClock::now())))
                                matches.push_back(file.id);
                        if (matches.size() != 1) {
                            Violation(name + " answers " + std::to_string(matches.size()) + " of the files written");
                            continue;
                        }
                        id = matches.front();
                    } else {
                        Violation("unexpected file in an output directory: " + name);
                        continue;
                    }
                    const std::string bytes = ReadBytes(it->path());
                    if (!bytes.ends_with(kRecordEnd)) Violation(name + " does not end with 13, 13, 10");
                    std::vector<Record> records;
                    for (const std::string& record : Split(bytes, kRecordEnd)) {
                        if (record.empty()) continue;
                        const std::size_t colon = record.find(": ");
                        if (record.rfind("Line ", 0) != 0 || colon == std::string::npos) {
                            Violation(name + ": not a record: " + record);
                            continue;
                        }
                        records.push_back(
                            {std::stoi(record.substr(5)), record.substr(colon + 2) == kInterruptedRecord});
                    }
                    answers[id].emplace_back(name, records);
                }
            }
        return answers;
    }

    void Check() {
        // The trace: which line of which file reached the printer, how often.
        std::map<std::string, int> sent;
        for (const std::string& call : Split(ReadBytes(trace_), "\n")) {
            if (call.rfind("!overlap|", 0) == 0) Violation("two calls at once: " + call);
            const auto fields = Split(call, "|");
            if (fields.size() > 1 && IsUid(fields[1])) ++sent[fields[1]], ++linesExecuted_;
        }
        // What is left in the input directories, by content.
        std::map<std::string, std::string> left;
        for (int pair = 0; pair < 2; ++pair)
            for (const auto& entry : fs::directory_iterator(In(pair)))
                left[ReadBytes(entry.path())] = entry.path().filename().string();
        const std::string log = ReadBytes(work_ / "Zentrada_log.txt");
        auto answers = ReadResponses();
        CheckTcp(sent);
        for (const auto& file : ledger_) {
            const std::string who = file.name + " #" + std::to_string(file.id);
            const std::string leftAs = left.contains(file.text) ? left[file.text] : "";
            file.complete ? ++completeFiles_ : ++abandonedFiles_;
            std::map<int, int> runs;  // line -> times sent
            std::string doubled;
            for (const Line& line : file.lines)
                if (sent[line.uid] > 0) {
                    runs[line.number] = sent[line.uid];
                    if (sent[line.uid] > 1)
                        doubled += " " + std::to_string(line.number) + "(x" + std::to_string(sent[line.uid]) + ")";
                }
            if (!doubled.empty()) Violation(who + " executed more than once, lines" + doubled);
            // <name up to its first dot>_<YYYYMMDDhhmmss><6 digits>.interrompido
            const std::string stem = file.name.substr(0, file.name.find('.')) + "_";
            const bool interrupted = leftAs.ends_with(".interrompido") && leftAs.rfind(stem, 0) == 0 &&
                                     leftAs.size() == stem.size() + 20 + 13 &&
                                     leftAs.find_first_not_of("0123456789", stem.size()) == stem.size() + 20;
            if (!file.complete) {
                if (!runs.empty()) Violation(who + " has no marker and was executed");
                if (leftAs == file.badName) ++movedBad_;
                else Violation(who + " has no marker and is " + (leftAs.empty() ? "gone" : "there as " + leftAs) +
                               ", not " + file.badName);
                continue;
            }
            if (!runs.empty()) ++filesExecuted_;
            if (interrupted) {
                ++interruptedFiles_;
                if (log.find("renomeado para (" + leftAs + ")") == std::string::npos)
                    Violation(who + " moved to " + leftAs + " without its log line");
            } else if (!leftAs.empty()) {
                Violation(who + (runs.empty() ? " never taken, left as " : " executed, yet left as ") + leftAs);
            } else if (runs.empty()) {
                Violation(who + " lost: never executed, not interrupted, not in its directory");
            }
            // The responses: each record a line of this file that was sent,
            // in order, once; each line sent answered.
            std::map<int, int> answered;
            std::optional<int> interruptedAt;
            for (const auto& [name, records] : answers[file.id]) {
                int previous = 0;
                for (std::size_t i = 0; i < records.size(); ++i) {
                    const Record& record = records[i];
                    const bool ofThisFile = std::any_of(file.lines.begin(), file.lines.end(),
                                                        [&](const Line& l) { return l.number == record.line; });
                    if (!ofThisFile)
                        Violation(name + ": Line " + std::to_string(record.line) + " is no command line of " + who);
                    else if (!record.interrupted && !runs.contains(record.line))
                        Violation(name + ": Line " + std::to_string(record.line) + " answered but never sent");
                    if (record.line < previous) Violation(name + ": records out of order");
                    previous = record.line;
                    if (record.interrupted) {
                        if (i + 1 != records.size()) Violation(name + ": records after the interruption record");
                        interruptedAt = record.line;
                    }
                    ++answered[record.line];
                }
            }
            const bool outputAway = std::any_of(awayIntervals_.begin(), awayIntervals_.end(), [&](const Interval& a) {
                return a.from <= file.goneAt.value_or(SystemClock::now()) && file.startedAt <= a.to;
            });
            for (const auto& [line, count] : answered)
                if (count > 1)
                    Violation(who + ": Line " + std::to_string(line) + " answered " + std::to_string(count) + " times");
            // Every line before the one in flight has reached the printer.
            for (const Line& line : file.lines)
                if (interruptedAt && line.number < *interruptedAt && !runs.contains(line.number))
                    Violation(who + ": interrupted at Line " + std::to_string(*interruptedAt) + ", yet Line " +
                              std::to_string(line.number) + " was never sent");
            int unanswered = 0;
            for (const auto& [line, times] : runs) {
                if (interruptedAt && line > *interruptedAt)
                    Violation(who + ": Line " + std::to_string(line) + " executed after the interrupted line");
                if (!answered.contains(line)) ++unanswered;
            }
            if (unanswered > 0 && outputAway)
                ++unansweredWhileAway_;
            else if (unanswered > 0)
                Violation(who + ": " + std::to_string(unanswered) + " executed line(s) without a record");
            if (interrupted && !interruptedAt && !outputAway)
                Violation(who + " interrupted without its interruption record");
            if (interruptedAt && !interrupted)
                Violation(who + " has an interruption record but was not moved to .interrompido");
        }
        // The log: bounded, and every line ends with 13, 13, 10.
        logBytes_ = log.size();
        const std::size_t events =
            starts_ + ledger_.size() + tcpRequests_.size() + faultsInjected_ + outputRemovals_ + inputLocks_;
        if (logBytes_ > 65536 + 512 * events)
            Violation("log of " + std::to_string(logBytes_) + " bytes for " + std::to_string(events) + " events");
        if (!log.empty() && !log.ends_with(kRecordEnd)) Violation("the log does not end with 13, 13, 10");
        for (std::size_t at = log.find('\n'); at != std::string::npos; at = log.find('\n', at + 1))
            if (at < 2 || log.compare(at - 2, 2, "\r\r") != 0) {
                Violation("a log line does not end with 13, 13, 10");
                break;
            }
        // Memory and handles: flat within each run of the agent.
        std::map<int, std::pair<Sample, Sample>> byRun;
        for (const auto& [run, sample] : samples_) {
            if (!byRun.contains(run)) byRun[run].first = sample;
            byRun[run].second = sample;
            minHandles_ = std::min(minHandles_, sample.handles);
            maxHandles_ = std::max(maxHandles_, sample.handles);
            maxRss_ = std::max(maxRss_, sample.rssKb);
            minRss_ = std::min(minRss_, sample.rssKb);
        }
        for (const auto& [run, span] : byRun) maxGrowth_ = std::max(maxGrowth_, span.second.rssKb - span.first.rssKb);
        if (maxGrowth_ > 1024) Violation("memory grew by " + std::to_string(maxGrowth_) + " kB within one run");
        if (!samples_.empty() && maxHandles_ > minHandles_ + 4)
            Violation("open handles between " + std::to_string(minHandles_) + " and " + std::to_string(maxHandles_));
    }

    int Report() {
        std::printf("files written: %d complete, %d without marker\n", completeFiles_, abandonedFiles_);
        std::printf("files executed: %d; interrupted: %d; moved to .bad: %d; lines executed: %d\n", filesExecuted_,
                    interruptedFiles_, movedBad_, linesExecuted_);
        std::printf("TCP requests: %zu sent, %d run, %d answered, %d answers kept in the output directories\n",
                    tcpRequests_.size(), tcpRun_, tcpAnswered_, tcpKept_);
        std::printf("agent starts: %d; orderly stops: %d; hard kills: %d (%d in the middle of a file)\n", starts_,
                    orderlyStops_, kills_, midFileKills_);
        std::printf("faults injected: %d; mode switches: %d; directory switches: %d\n", faultsInjected_, modeSwitches_,
                    pairSwitches_);
        std::printf("output directory removed: %d times (%d files with lines unanswered meanwhile)\n", outputRemovals_,
                    unansweredWhileAway_);
        std::printf("input directory unreadable: %d times; skipped %d times (Windows, or root, whom permissions "
                    "do not stop)\n", inputLocks_, inputLocksSkipped_);
        std::printf("log: %zu bytes\n", logBytes_);
        if (!samples_.empty())
            std::printf(
                "agent memory: VmRSS %ld..%ld kB, largest growth within a run %ld kB; open handles %d..%d (%zu "
                "samples)\n",
                minRss_, maxRss_, maxGrowth_, minHandles_, maxHandles_, samples_.size());
        if (violations_.empty()) {
            std::printf("no violations\n");
            fs::remove_all(work_);
            return 0;
        }
        std::printf("%zu VIOLATIONS (work directory kept: %s):\n", violations_.size(), work_.string().c_str());
        for (const auto& violation : violations_) std::printf("  - %s\n", violation.c_str());
        return 1;
    }

    const int seconds_;
    const unsigned seed_;
    std::mt19937 rng_;  // the chaos thread's
    const fs::path zentradaSource_, librarySource_;
    fs::path work_, exe_, trace_, faults_;
    std::vector<std::string> environment_;
    std::unique_ptr<Agent> agent_;
    int pair_ = 0;
    bool simple_ = false;
    std::shared_mutex gate_;  // held by the chaos thread while the writers must wait
    std::atomic<bool> stopWriters_{false};
    std::mutex ledgerMutex_;
    std::deque<CommandFile> ledger_;
    std::deque<TcpRequest> tcpRequests_;
    std::atomic<unsigned> tcpRequestCount_{0};
    std::uint16_t tcpPort_ = 0;
    int tcpRun_ = 0, tcpAnswered_ = 0, tcpKept_ = 0;
    std::vector<Interval> awayIntervals_;
    std::vector<std::pair<int, Sample>> samples_;
    Steady::time_point startedAt_, lastSample_;
    std::mutex violationsMutex_;
    std::vector<std::string> violations_;
    int starts_ = 0, orderlyStops_ = 0, kills_ = 0, midFileKills_ = 0, faultsInjected_ = 0, modeSwitches_ = 0,
        pairSwitches_ = 0, outputRemovals_ = 0, inputLocks_ = 0, inputLocksSkipped_ = 0;
    int completeFiles_ = 0, abandonedFiles_ = 0, filesExecuted_ = 0, interruptedFiles_ = 0, movedBad_ = 0,
        linesExecuted_ = 0, unansweredWhileAway_ = 0;
    std::size_t logBytes_ = 0;
    long minRss_ = 1L << 30, maxRss_ = 0, maxGrowth_ = 0;
    int minHandles_ = 1 << 20, maxHandles_ = 0;
};

}  // namespace
}  // namespace zentrada::soak

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 180;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10))
                                   : static_cast<unsigned>(std::time(nullptr));
    try {
        zentrada::soak::Soak soak(seconds, seed, argc > 3 ? argv[3] : ZENTRADA_EXE,
                              argc > 4 ? argv[4] : VIRTUAL_PRINTER_LIB);
        return soak.Run();
    } catch (const std::exception& error) {
        std::printf("chaos soak stopped: %s\n", error.what());
        return 2;
    }
}
