// The headless host: its command line, its terminal text, and the real
// console host run as a process in a directory of its own.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "child_process.h"
#include "engine/tcp_client.h"
#include "platform/socket.h"
#include "platform/platform.h"
#include "resources/texts.h"
#include "shell/host_options.h"
#include "test_files.h"
#if !defined(_WIN32)
#include "platform/posix/terminal.h"
#endif

namespace zentrada {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Arguments = std::vector<std::string_view>;

TEST(HostOptions, TakesValuesAndStopsAtHelpOrVersion) {
    const auto parsed = shell::ParseHostOptions(
        Arguments{"--simple", "--in", "/a", "--driver", "./libX.so", "--out", "--in", "--in", "/b"});
    ASSERT_EQ("", parsed.error);
    EXPECT_EQ(shell::HostOptions::Action::Run, parsed.options.action);
    EXPECT_EQ("/b", parsed.options.inputDirectory.value_or(""));     // the last one counts
    EXPECT_EQ("--in", parsed.options.outputDirectory.value_or(""));  // a value may look like an option
    EXPECT_EQ("./libX.so", parsed.options.driverLibrary.value_or(""));
    EXPECT_TRUE(parsed.options.simpleMode);
    EXPECT_FALSE(shell::ParseHostOptions(Arguments{}).options.inputDirectory);

    const auto help = shell::ParseHostOptions(Arguments{"--in", "/a", "--help", "--bogus"});
    EXPECT_EQ("", help.error);
    EXPECT_EQ(shell::HostOptions::Action::ShowHelp, help.options.action);
    EXPECT_EQ(shell::HostOptions::Action::ShowVersion,
              shell::ParseHostOptions(Arguments{"--version", "--in"}).options.action);

    // --check takes every argument after it as a file.
    const auto check = shell::ParseHostOptions(Arguments{"--simple", "--check", "A.FPI", "--help", "--in"});
    EXPECT_EQ("", check.error);
    EXPECT_EQ(shell::HostOptions::Action::Check, check.options.action);
    EXPECT_EQ((std::vector<std::string>{"A.FPI", "--help", "--in"}), check.options.checkFiles);
}

TEST(HostOptions, ErrorsQuoteTheOffendingArgument) {
    for (const auto& [arguments, named] :
         {std::pair{Arguments{"--bogus"}, "--bogus"}, {Arguments{"-in", "/a"}, "-in"},
          {Arguments{"start_minimized"}, "start_minimized"}, {Arguments{"--in=/a"}, "--in=/a"},
          {Arguments{"--simple", "--in"}, "--in"}, {Arguments{"--out"}, "--out"},
          {Arguments{"--driver"}, "--driver"}, {Arguments{"--in", "/a", "--check"}, "--check"}}) {
        SCOPED_TRACE(named);
        EXPECT_NE(std::string::npos, shell::ParseHostOptions(arguments).error.find(named));
    }
}

#if !defined(_WIN32)
TEST(Cp1252ToUtf8, ConvertsLettersAndThePunctuationRange) {
    EXPECT_EQ("N\xC3\xBAmero de par\xC3\xA2metros", platform::Cp1252ToUtf8("N\xFAmero de par\xE2metros"));
    EXPECT_EQ("\xE2\x82\xAC", platform::Cp1252ToUtf8("\x80"));                          // euro sign
    EXPECT_EQ("\xE2\x80\x9C" "a\xE2\x80\x9D", platform::Cp1252ToUtf8("\x93" "a\x94"));  // quotes
    EXPECT_EQ("\xC5\xB8\xC2\x81", platform::Cp1252ToUtf8("\x9F\x81"));  // last of the range, an unused byte
    EXPECT_EQ("\xC2\xA0\xC3\xBF", platform::Cp1252ToUtf8("\xA0\xFF"));
    EXPECT_EQ(std::string("a\0\r\n", 4), platform::Cp1252ToUtf8(std::string_view("a\0\r\n", 4)));
    // Every byte gives one well-formed character.
    for (int byte = 0; byte < 256; ++byte) {
        const std::string utf8 = platform::Cp1252ToUtf8(std::string(1, static_cast<char>(byte)));
        const auto lead = static_cast<unsigned char>(utf8.at(0));
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        ASSERT_EQ(length, utf8.size()) << byte;
        for (std::size_t i = 1; i < utf8.size(); ++i) EXPECT_EQ(0x80, utf8[i] & 0xC0) << byte;
    }
}
#endif

// ---------------------------------------------------------------- processes

std::string ReadFile(const fs::path& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

void WriteFile(const fs::path& path, std::string_view bytes) { std::ofstream(path, std::ios::binary) << bytes; }

using testing::ChildProcess;
using testing::WaitFor;

// What the host writes to a file for a cp1252 text: UTF-8 under the tests'
// UTF-8 locale on POSIX; on Windows the bytes themselves, lines ending with
// CR LF.
std::string TerminalText(std::string_view text) {
#if defined(_WIN32)
    std::string bytes;
    for (const char c : text) {
        if (c == '\n') bytes += '\r';
        bytes += c;
    }
    return bytes;
#else
    return platform::Cp1252ToUtf8(text);
#endif
}

// An executable's file name for a stem.
std::string ExecutableName(const std::string& stem) {
#if defined(_WIN32)
    return stem + ".exe";
#else
    return stem;
#endif
}

// The host's settings and the driver's Log value where the host reads them:
// files beside the executable on POSIX, the machine's registry keys on
// Windows. On Windows a test leaves alone a machine whose keys exist (it
// skips) and removes the keys it made.
class MachineSettings {
public:
    explicit MachineSettings(const fs::path& directory) : directory_(directory) {}
    ~MachineSettings() {
#if defined(_WIN32)
        for (const auto& key : made_) RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
#endif
    }
    MachineSettings(const MachineSettings&) = delete;
    MachineSettings& operator=(const MachineSettings&) = delete;

    // False when the settings cannot be stored without touching the
    // machine's own.
    bool Store(const fs::path& in, const fs::path& out, bool simpleMode, const fs::path& metrics = {},
               std::uint16_t tcpPort = 0) {
#if defined(_WIN32)
        const HKEY key = MakeKey(kSettingsKey);
        if (key == nullptr) return false;
        SetText(key, "WorkDirectoryIn", in.string());
        SetText(key, "WorkDirectoryOut", out.string());
        const BYTE flag = simpleMode ? 1 : 0;
        RegSetValueExA(key, "SimgleMode", 0, REG_BINARY, &flag, 1);
        if (!metrics.empty()) SetText(key, "MetricsDirectory", metrics.string());
        const DWORD port = tcpPort;
        if (tcpPort != 0) RegSetValueExA(key, "TcpPort", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&port), sizeof port);
        RegCloseKey(key);
#else
        WriteFile(directory_ / "zentrada.conf", "# caixa de teste\r\nWorkDirectoryIn=" + in.string() +
                                                     "\r\nWorkDirectoryOut = " + out.string() +
                                                     "\r\nSimgleMode=" + (simpleMode ? "1" : "0") + "\r\n" +
                                                     (metrics.empty() ? "" : "MetricsDirectory=" + metrics.string() + "\n") +
                                                     (tcpPort == 0 ? "" : "TcpPort=" + std::to_string(tcpPort) + "\n"));
#endif
        return true;
    }
    bool StoreDriverLog(int level) {
#if defined(_WIN32)
        const HKEY key = made_.size() == 1 && made_.front() == kDriverKey ? OpenMade(kDriverKey) : MakeKey(kDriverKey);
        if (key == nullptr) return false;
        const DWORD value = static_cast<DWORD>(level);
        RegSetValueExA(key, "Log", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
        RegCloseKey(key);
#else
        WriteFile(directory_ / "InterfaceTorva.conf", "Log=" + std::to_string(level) + "\r\n");
#endif
        return true;
    }

private:
#if defined(_WIN32)
    static constexpr char kSettingsKey[] = "SOFTWARE\\TORVA\\Zentrada";
    static constexpr char kDriverKey[] = "SOFTWARE\\TORVA\\InterfaceTorva";
    HKEY MakeKey(const char* path) {
        HKEY key = nullptr;
        DWORD disposition = 0;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition) !=
            ERROR_SUCCESS)
            return nullptr;
        if (disposition != REG_CREATED_NEW_KEY) {
            RegCloseKey(key);
            return nullptr;
        }
        made_.emplace_back(path);
        return key;
    }
    HKEY OpenMade(const char* path) {
        HKEY key = nullptr;
        return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS ? key : nullptr;
    }
    static void SetText(HKEY key, const char* name, const std::string& text) {
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                       static_cast<DWORD>(text.size()));
    }
    std::vector<std::string> made_;
#endif
    fs::path directory_;
};

class Agent : public ChildProcess {
public:
    std::string Out() const { return ReadFile(out_); }
    std::string Err() const { return ReadFile(err_); }
    Agent(const fs::path& program, const std::vector<std::string>& arguments,
          const std::vector<std::string>& environment, const std::string& outputStem)
        : ChildProcess(program, arguments, environment, outputStem + ".out", outputStem + ".err"),
          out_(outputStem + ".out"),
          err_(outputStem + ".err") {
        EXPECT_TRUE(Started()) << program;
    }

private:
    std::string out_, err_;
};

// Each test runs copies of zentrada (and the virtual printer when asked) in
// a fresh directory, so the log, the settings files, the default in/out
// directories and the lock are the test's own.
class HostProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The agent's processes get the recording library alone.
        testing::SetEnvironment("TORVA_MODE", "recorder");
        // On Windows the single-instance mutex is named after the
        // executable, for the whole session: a name of this test's own.
#if defined(_WIN32)
        name_ = ExecutableName("zentrada-console-" + std::to_string(testing::ProcessId()));
#endif
        executable_ = Install(ZENTRADA_EXE, name_);
    }

    fs::path Install(const fs::path& file, const fs::path& name) {
        fs::create_directories((dir_ / name).parent_path());
        fs::copy_file(file, dir_ / name);
        return dir_ / name;
    }
    void InstallVirtualPrinter() { Install(VIRTUAL_PRINTER_LIB, fs::path(VIRTUAL_PRINTER_LIB).filename()); }
    fs::path Directory(const std::string& name) {
        fs::create_directories(dir_ / name);
        return dir_ / name;
    }

    std::unique_ptr<Agent> Start(const std::vector<std::string>& arguments, std::vector<std::string> environment = {},
                                 fs::path program = {}) {
        // What would steer the child is replaced by the test's own values.
        environment.push_back("LANG=C.UTF-8");
        environment.push_back("ZENTRADA_LOCK_DIR=" + dir_.string());
        environment = testing::ChildEnvironment(
            {"LANG=", "LC_", "ZENTRADA_", "TORVA_", "LD_LIBRARY_PATH=", "NOTIFY_SOCKET=", "WATCHDOG_"}, environment);
        if (program.empty()) program = executable_;
        return std::make_unique<Agent>(program, arguments, environment,
                                       (dir_ / program.filename()).string() + std::to_string(++started_));
    }

    // Drops a command file, renamed into place as a point of sale should, and
    // waits until the agent has taken it: its worker then runs its loop.
    static bool DropAndWaitUntilTaken(const fs::path& in, const std::string& name) {
        WriteFile(in / (name + ".tmp"), "TORVA_Obter_Estado_Impressora|\r\n.\r\n");
        fs::rename(in / (name + ".tmp"), in / name);
        return WaitFor([&] { return !fs::exists(in / name); });
    }

    std::string Log() const { return ReadFile(dir_ / "Zentrada_log.txt"); }
    // The last log line's message: no time stamp, no ending (13, 13, 10).
    std::string LastLogMessage() const {
        const std::string log = Log();
        if (!log.ends_with("\r\r\n")) return "(log does not end with 13, 13, 10)";
        const std::string line = log.substr(0, log.size() - 3);
        const auto start = line.rfind("\r\r\n");
        const std::string last = start == std::string::npos ? line : line.substr(start + 3);
        return last.substr(last.find(" - ") == std::string::npos ? 0 : last.find(" - ") + 3);
    }

    testing::TempDir root_;
    const fs::path dir_ = root_.Path();
    std::string name_ = "zentrada";
    fs::path executable_;
    int started_ = 0;
};

TEST_F(HostProcessTest, CommandLineAloneNeverStartsTheAgent) {
    auto version = Start({"--version"});
    EXPECT_EQ(0, version->Wait());
    EXPECT_EQ(TerminalText("zentrada " ZENTRADA_VERSION "\n"), version->Out());

    auto help = Start({"--help"});
    EXPECT_EQ(0, help->Wait());
    for (const char* option : {"--in", "--out", "--simple", "--driver", "--check", "--status", "--help", "--version"})
        EXPECT_NE(std::string::npos, help->Out().find(option)) << option;
    EXPECT_NE(std::string::npos, help->Out().find(TerminalText("op\xE7\xF5" "es")));
#if !defined(_WIN32)
    auto helpInC = Start({"--help"}, {"LC_ALL=C"});
    EXPECT_EQ(0, helpInC->Wait());
    EXPECT_NE(std::string::npos, helpInC->Out().find("op\xE7\xF5" "es")) << "bytes as they are under C";
#endif

    auto unknown = Start({"--bogus"});
    EXPECT_EQ(64, unknown->Wait());
    EXPECT_NE(std::string::npos, unknown->Err().find("--bogus"));
    EXPECT_EQ("", unknown->Out());
    auto missing = Start({"--in"});
    EXPECT_EQ(64, missing->Wait());
    EXPECT_NE(std::string::npos, missing->Err().find("--in"));

    // --check reads the files only and says so on standard output.
    WriteFile(dir_ / "VENDA.FPI", "NOPE|\r\n.\r\n");
    auto check = Start({"--check", (dir_ / "VENDA.FPI").string()});
    EXPECT_EQ(6, check->Wait());
    EXPECT_NE(std::string::npos,
              check->Out().find(TerminalText("Linha 1: \"NOPE\" (0 par\xE2metros): responderia Line 1: 3|Erro no "
                                             "comando. Nome de comando n\xE3o existente.|\n")))
        << check->Out();
    auto checkWithoutFile = Start({"--check"});
    EXPECT_EQ(64, checkWithoutFile->Wait());
    EXPECT_NE(std::string::npos, checkWithoutFile->Err().find("--check"));

    // A directory longer than the agent takes is refused, never cut.
    const std::string tooLong = (dir_ / std::string(platform::kMaxDirectoryLength, 'd')).string();
    for (const char* option : {"--in", "--out"}) {
        auto refused = Start({option, tooLong});
        EXPECT_EQ(5, refused->Wait()) << option;
        EXPECT_EQ(TerminalText("Erro!: Diret\xF3rio com mais de " + std::to_string(platform::kMaxDirectoryLength) +
                               " caracteres, n\xE3o utilizado: " + tooLong + "\n"),
                  refused->Err());
    }

    EXPECT_FALSE(fs::exists(dir_ / "Zentrada_log.txt"));
}

TEST_F(HostProcessTest, MissingDriverLibraryExitsWith1) {
    auto agent = Start({});  // no library beside it nor on the library path
    EXPECT_EQ(1, agent->Wait());
    EXPECT_EQ(TerminalText("Erro!: Erro ao carregar a biblioteca de alto n\xEDvel!\nO programa ser\xE1 finalizado.\n"),
              agent->Err());
    EXPECT_NE(std::string::npos,
              Log().find(" - Carregando DLL\r\r\nErro! Dll InterfaceTorva n\xE3o encontrada.\r\r\n"))
        << Log();
}

TEST_F(HostProcessTest, PortThatCannotBeOpenedExitsWith2) {
    InstallVirtualPrinter();
    WriteFile(dir_ / "script.txt", "TORVA_Serial_Abrir_PortaEX|5|\n");
    auto agent = Start({}, {"TORVA_SCRIPT=" + (dir_ / "script.txt").string()});
    EXPECT_EQ(2, agent->Wait());
    EXPECT_EQ(TerminalText("Zentrada - Erro!: Erro de comunica\xE7\xE3o com a impressora. Processo paralizado.\n"),
              agent->Err());
    EXPECT_EQ("Thread encerrada, erro de comunica\xE7\xE3o com a impressora.", LastLogMessage());
}

TEST_F(HostProcessTest, SigtermStopsTheAgentInOrder) {
    InstallVirtualPrinter();
    const fs::path out = Directory("out");
    auto agent = Start({});
    ASSERT_TRUE(DropAndWaitUntilTaken(Directory("in"), "PING.FPI")) << agent->Err();
    EXPECT_FALSE(fs::is_empty(out));

    agent->Terminate();
    EXPECT_EQ(0, agent->Wait());
    EXPECT_EQ("", agent->Err());
    EXPECT_EQ("Thread encerrada normalmente.", LastLogMessage());
}

// The running agent's status, beside it and in the monitoring directory, as
// --status tells it to a person and to scripts through its exit status.
TEST_F(HostProcessTest, StatusFollowsTheAgentAndThePrinter) {
    InstallVirtualPrinter();
    const fs::path in = Directory("in"), out = Directory("out"), metrics = dir_ / "textfile";
    MachineSettings settings(dir_);
    if (!settings.Store(in, out, false, metrics)) GTEST_SKIP() << "this machine has settings of its own";
    const fs::path status = dir_ / (fs::path(name_).stem().string() + "_estado.prom");
    const auto says = [&](const char* sample) { return ReadFile(status).find(sample) != std::string::npos; };
    auto report = [&](int expected, const char* first) {
        auto shown = Start({"--status"});
        EXPECT_EQ(expected, shown->Wait()) << shown->Out();
        EXPECT_TRUE(shown->Out().starts_with(TerminalText(first))) << shown->Out();
    };
    report(2, "Agente: n\xE3o est\xE1 em execu\xE7\xE3o; estado n\xE3o encontrado");

    auto agent = Start({});
    ASSERT_TRUE(DropAndWaitUntilTaken(in, "PING.FPI")) << agent->Err();
    EXPECT_TRUE(WaitFor([&] { return says("\nzentrada_printer_online 1\n"); })) << ReadFile(status);
    EXPECT_TRUE(says("\nzentrada_files_answered_total 1\n"));
    report(0, "Agente: em execu\xE7\xE3o desde ");
    // The monitoring directory appears after the start: the status follows.
    fs::create_directories(metrics);
    EXPECT_TRUE(WaitFor([&] { return fs::exists(metrics / (fs::path(name_).stem().string() + ".prom")); }));

    WriteFile(dir_ / "falhas.txt", "offline\n");
    EXPECT_TRUE(WaitFor([&] { return says("\nzentrada_printer_online 0\n"); })) << ReadFile(status);
    report(1, "Agente: em execu\xE7\xE3o desde ");

    agent->Terminate();
    EXPECT_EQ(0, agent->Wait());
    EXPECT_TRUE(says("\nzentrada_agent_running 0\n"));
    report(2, "Agente: parado desde ");
    EXPECT_NE(std::string::npos, Log().find("MetricsDirectory")) << "the missing directory is logged";
}

#if !defined(_WIN32)
// Run by a service manager, the agent says on the socket NOTIFY_SOCKET names
// that it is ready once the port is open, that it is alive as often as
// WATCHDOG_USEC asks, and that it is stopping.
TEST_F(HostProcessTest, TellsTheServiceManagerReadyAliveAndStopping) {
    InstallVirtualPrinter();
    Directory("in");
    Directory("out");
    const std::string name = "zentrada-notify-" + std::to_string(testing::ProcessId());
    const int manager = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    name.copy(address.sun_path + 1, name.size());  // abstract: "@name" to the agent
    ASSERT_EQ(0, bind(manager, reinterpret_cast<sockaddr*>(&address),
                      static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())));
    std::vector<std::string> heard;
    const auto listen = [&](const std::string& until) {
        for (int i = 0; i < 100 && std::find(heard.begin(), heard.end(), until) == heard.end(); ++i) {
            pollfd ready{manager, POLLIN, 0};
            if (poll(&ready, 1, 100) != 1) continue;
            char message[256];
            const ssize_t got = recv(manager, message, sizeof message, 0);
            if (got > 0) heard.emplace_back(message, static_cast<std::size_t>(got));
        }
        return std::find(heard.begin(), heard.end(), until) != heard.end();
    };
    auto agent = Start({}, {"NOTIFY_SOCKET=@" + name, "WATCHDOG_USEC=200000"});
    EXPECT_TRUE(listen("READY=1")) << agent->Err();
    heard.clear();
    EXPECT_TRUE(listen("WATCHDOG=1"));
    heard.clear();
    EXPECT_TRUE(listen("WATCHDOG=1")) << "alive more than once";
    agent->Terminate();
    EXPECT_EQ(0, agent->Wait());
    EXPECT_TRUE(listen("STOPPING=1"));
    close(manager);
}

// SIGHUP: the settings' directories are taken at the next scan, without a
// restart (systemctl reload).
TEST_F(HostProcessTest, SighupTakesNewDirectoriesWithoutARestart) {
    InstallVirtualPrinter();
    const fs::path first = Directory("first"), second = Directory("second"), out = Directory("out");
    MachineSettings settings(dir_);
    settings.Store(first, out, false);
    auto agent = Start({});
    ASSERT_TRUE(DropAndWaitUntilTaken(first, "UM.FPI")) << agent->Err();
    settings.Store(second, out, false);
    kill(agent->Pid(), SIGHUP);
    EXPECT_TRUE(DropAndWaitUntilTaken(second, "DOIS.FPI")) << Log();
    EXPECT_NE(std::string::npos, Log().find("Configura\xE7\xF5" "es lidas novamente"));
    agent->Terminate();
    EXPECT_EQ(0, agent->Wait());
}
#endif

#if defined(_WIN32)
// Installed as the Windows service, the agent runs with nobody at the
// console: started by the service manager it takes files from the stored
// directories; stopped, it finishes in order before it says it has stopped;
// removed, it is gone. Each step says what it did, with its exit status.
TEST_F(HostProcessTest, ServiceInstallsRunsStopsInOrderAndIsRemoved) {
    InstallVirtualPrinter();
    const fs::path in = Directory("in"), out = Directory("out");
    MachineSettings settings(dir_);
    if (!settings.Store(dir_ / "elsewhere", out, false)) GTEST_SKIP() << "this machine has settings of its own";
    const SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    ASSERT_NE(nullptr, manager);
    if (const SC_HANDLE existing = OpenServiceA(manager, "Zentrada", SERVICE_QUERY_STATUS)) {
        CloseServiceHandle(existing);
        CloseServiceHandle(manager);
        GTEST_SKIP() << "this machine has a Zentrada service of its own";
    }
    auto install = Start({"--install-service", "--in", in.string()});
    ASSERT_EQ(0, install->Wait()) << install->Err();
    EXPECT_NE(std::string::npos, install->Out().find(TerminalText("Servi\xE7o Zentrada instalado"))) << install->Out();
    auto again = Start({"--install-service"});
    EXPECT_EQ(7, again->Wait());
    EXPECT_NE(std::string::npos, again->Err().find(TerminalText("j\xE1 est\xE1 instalado"))) << again->Err();

    const SC_HANDLE service = OpenServiceA(manager, "Zentrada", SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS);
    ASSERT_NE(nullptr, service);
    const auto state = [&] {
        SERVICE_STATUS status{};
        return QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
    };
    ASSERT_TRUE(StartServiceA(service, 0, nullptr)) << GetLastError();
    EXPECT_TRUE(DropAndWaitUntilTaken(in, "PING.FPI")) << Log();
    EXPECT_FALSE(fs::is_empty(out));
    SERVICE_STATUS status{};
    EXPECT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_TRUE(WaitFor([&] { return state() == SERVICE_STOPPED; }));
    EXPECT_EQ("Thread encerrada normalmente.", LastLogMessage());
    CloseServiceHandle(service);
    CloseServiceHandle(manager);

    auto remove = Start({"--uninstall-service"});
    EXPECT_EQ(0, remove->Wait()) << remove->Err();
    auto removeAgain = Start({"--uninstall-service"});
    EXPECT_EQ(7, removeAgain->Wait());
    EXPECT_NE(std::string::npos, removeAgain->Err().find(TerminalText("n\xE3o est\xE1 instalado"))) << removeAgain->Err();
    auto notByTheManager = Start({"--service"});
    EXPECT_EQ(64, notByTheManager->Wait());
}
#endif

TEST_F(HostProcessTest, StopRequestedWhileStartingIsNotLost) {
    InstallVirtualPrinter();
    auto agent = Start({});
    // The worker's first log line comes after the stop requests are taken
    // over and before its 500 ms start pause: stopped then, it is starting.
    for (int i = 0; i < 1000 && Log().find("Thread iniciada.") == std::string::npos; ++i)
        std::this_thread::sleep_for(5ms);
    agent->Interrupt();
    EXPECT_EQ(0, agent->Wait());
    EXPECT_EQ("Thread encerrada normalmente.", LastLogMessage());
}

TEST_F(HostProcessTest, SecondInstanceOfTheSameNameIsRefusedWith3) {
    InstallVirtualPrinter();
    Directory("out");
    auto first = Start({});
    ASSERT_TRUE(DropAndWaitUntilTaken(Directory("in"), "PING.FPI")) << first->Err();

    // The same name in another directory is refused all the same.
    auto second = Start({}, {}, Install(executable_, fs::path("elsewhere") / name_));
    EXPECT_EQ(3, second->Wait());
    EXPECT_EQ(TerminalText("Aplicativo em Execu\xE7\xE3o: Voc\xEA j\xE1 est\xE1 executando este aplicativo.\n"
                           "Por favor, feche o outro programa antes de execut\xE1-lo novamente.\n"),
              second->Err());
    EXPECT_FALSE(first->Ended());

    // Another name runs beside it.
    const fs::path otherIn = Directory("caixa2_in"), otherOut = Directory("caixa2_out");
    auto other = Start({"--in", otherIn.string(), "--out", otherOut.string()}, {},
                       Install(executable_, ExecutableName("zentrada-caixa2-" + std::to_string(testing::ProcessId()))));
    EXPECT_TRUE(DropAndWaitUntilTaken(otherIn, "PING.FPI")) << other->Err();
    EXPECT_FALSE(fs::is_empty(otherOut));

    other->Terminate();
    first->Interrupt();
    EXPECT_EQ(0, other->Wait());
    EXPECT_EQ(0, first->Wait());
}

TEST_F(HostProcessTest, StoredSettingsChooseDirectoriesAndModeAndOptionsOverrideThem) {
    InstallVirtualPrinter();
    const fs::path posIn = Directory("pos_in"), posOut = Directory("pos_out"), cliOut = Directory("cli_out");
    MachineSettings settings(dir_);
    if (!settings.Store(posIn, posOut, true)) GTEST_SKIP() << "this machine has settings of its own";
    WriteFile(posIn / "OUTRO.FPI", "TORVA_Obter_Estado_Impressora|\r\n.\r\n");
    auto agent = Start({"--out", cliOut.string()});
    ASSERT_TRUE(DropAndWaitUntilTaken(posIn, "COMANDO.FPI")) << agent->Err();

    EXPECT_TRUE(fs::exists(cliOut / "COMANDO.fpo"));
    EXPECT_TRUE(fs::is_empty(posOut));
    EXPECT_TRUE(fs::exists(posIn / "OUTRO.FPI")) << "simplified mode reads COMANDO.FPI only";
    agent->Terminate();
    EXPECT_EQ(0, agent->Wait());
}

TEST_F(HostProcessTest, DriverLogSettingIsReadAtEveryIdlePoll) {
    InstallVirtualPrinter();
    const fs::path trace = dir_ / "trace.txt";
    auto traced = [&](const char* line) { return ReadFile(trace).find(line) != std::string::npos; };
    MachineSettings settings(dir_);
    if (!settings.StoreDriverLog(2)) GTEST_SKIP() << "this machine has a driver log setting of its own";
    auto agent = Start({}, {"TORVA_TRACE=" + trace.string()});
    EXPECT_TRUE(WaitFor([&] { return traced("TORVA_Sys_Log||2000|\n"); })) << agent->Err();
    settings.StoreDriverLog(1);
    EXPECT_TRUE(WaitFor([&] { return traced("TORVA_Sys_Log||1000|\n"); }));

    agent->Terminate();
    EXPECT_EQ(0, agent->Wait());
}

// Killed while the printer holds the sale's second line, and started again
// over other directories: the first line is never sent twice, and the sale's
// response file says which line may have run.
TEST_F(HostProcessTest, AFileCutShortByAKillIsNeverRunAgain) {
    InstallVirtualPrinter();
    const fs::path in = Directory("in"), out = Directory("out"), trace = dir_ / "trace.txt";
    const fs::path faults = dir_ / "falhas.txt", journal = dir_ / (fs::path(name_).stem().string() + "_em_execucao.txt");
    WriteFile(faults, "stuck TORVA_Fiscal_Cancelar_Item\n");
    const std::vector<std::string> environment = {"TORVA_MODE=recorder", "TORVA_TRACE=" + trace.string(),
                                                  "TORVA_FAULTS=" + faults.string()};
    auto agent = Start({"--in", in.string(), "--out", out.string()}, environment);
    WriteFile(in / "VENDA.tmp", "; venda\r\nTORVA_Fiscal_Imprimir_MensagemEX|um|\r\nTORVA_Fiscal_Cancelar_Item|2|\r\n"
                                "TORVA_Fiscal_Fechar_CupomEX|\r\n.\r\n");
    fs::rename(in / "VENDA.tmp", in / "VENDA.FPI");
    ASSERT_TRUE(WaitFor([&] { return ReadFile(journal).find("linha 3\n") != std::string::npos; })) << agent->Err();
    agent->Kill();

    WriteFile(faults, "");
    auto again = Start({"--in", Directory("in2").string(), "--out", Directory("out2").string()}, environment);
    EXPECT_TRUE(WaitFor([&] { return Log().find("(VENDA.FPI) interrompido") != std::string::npos; })) << Log();
    again->Terminate();
    EXPECT_EQ(0, again->Wait());

    const std::string calls = ReadFile(trace);
    auto callsOf = [&calls](const std::string& name) {
        std::size_t count = 0;
        for (auto at = calls.find(name); at != std::string::npos; at = calls.find(name, at + 1)) ++count;
        return count;
    };
    EXPECT_EQ(1u, callsOf("TORVA_Fiscal_Imprimir_MensagemEX|"));
    EXPECT_EQ(0u, callsOf("TORVA_Fiscal_Cancelar_Item|"));
    EXPECT_EQ(0u, callsOf("TORVA_Fiscal_Fechar_CupomEX|"));
    const auto responses = testing::FilesLike(out, "VENDA_", ".fpo");
    ASSERT_EQ(1u, responses.size());
    const std::string response = ReadFile(out / responses[0]);
    EXPECT_TRUE(response.starts_with("Line 2: 0|")) << response;
    EXPECT_TRUE(response.ends_with(std::string("\r\r\nLine 3: 3|") + texts::kLineInterrupted + "|\r\r\n")) << response;
    EXPECT_FALSE(fs::exists(in / "VENDA.FPI"));
    EXPECT_EQ(1u, testing::FilesLike(in, "VENDA_", ".interrompido").size());
}

}  // namespace
}  // namespace zentrada

namespace zentrada {
namespace {

// Killed while the printer holds a request's second line, and started again:
// the request is put right as a file cut short is, its first line never runs
// twice, and its answers, with the interruption record, are kept in the
// output directory under the connection's name; `--send` then runs a sale.
TEST_F(HostProcessTest, ARequestCutShortByAKillIsPutRightAndNeverRunAgain) {
    InstallVirtualPrinter();
    const fs::path in = Directory("in"), out = Directory("out"), trace = dir_ / "trace.txt";
    const fs::path faults = dir_ / "falhas.txt", journal = dir_ / (fs::path(name_).stem().string() + "_em_execucao.txt");
    std::uint16_t port = 0;
    {
        platform::Socket probe;
        ASSERT_EQ(platform::ListenResult::Listening, platform::Listen("127.0.0.1", 0, probe));
        port = platform::LocalPort(probe);
    }
    MachineSettings settings(dir_);
    if (!settings.Store(in, out, false, {}, port)) GTEST_SKIP() << "this machine has settings of its own";
    WriteFile(faults, "stuck TORVA_Fiscal_Cancelar_Item\n");
    const std::vector<std::string> environment = {"TORVA_MODE=recorder", "TORVA_TRACE=" + trace.string(),
                                                  "TORVA_FAULTS=" + faults.string()};
    auto agent = Start({}, environment);
    ASSERT_TRUE(WaitFor([&] { return Log().find("Canal TCP escutando") != std::string::npos; })) << agent->Err();
    engine::ChannelClient client;
    ASSERT_TRUE(client.Connect("127.0.0.1", port, 5s));
    ASSERT_TRUE(client.Send("TORVA_Fiscal_Imprimir_MensagemEX|um|\r\nTORVA_Fiscal_Cancelar_Item|2|\r\n"
                            "TORVA_Fiscal_Fechar_CupomEX|\r\n.\r\n"));
    ASSERT_TRUE(WaitFor([&] { return ReadFile(journal).find("linha 2\n") != std::string::npos; })) << agent->Err();
    EXPECT_EQ("Line 1: 0|\r\r\n", client.Read(2s).records) << "the first record, as it is written";
    agent->Kill();
    client.Close();

    WriteFile(faults, "");
    auto again = Start({}, environment);
    ASSERT_TRUE(WaitFor([&] { return Log().find("Canal TCP escutando", Log().find("interrompido")) != std::string::npos; }))
        << Log();
    const auto kept = testing::FilesLike(out, "TCP_127.0.0.1_", ".fpo");
    ASSERT_EQ(1u, kept.size());
    EXPECT_EQ(std::string("Line 1: 0|\r\r\nLine 2: 3|") + texts::kLineInterrupted + "|\r\r\n", ReadFile(out / kept[0]));
    EXPECT_NE(std::string::npos, Log().find("n\xE3o entregues ao cliente")) << Log();

    WriteFile(dir_ / "VENDA.FPI", "TORVA_Fiscal_Imprimir_MensagemEX|dois|\r\n.\r\n");
    auto send = Start({"--send", "127.0.0.1:" + std::to_string(port), (dir_ / "VENDA.FPI").string()});
    EXPECT_EQ(0, send->Wait());
    EXPECT_EQ("Line 1: 0|\r\r\n", send->Out());
    again->Terminate();
    EXPECT_EQ(0, again->Wait());

    const std::string calls = ReadFile(trace);
    EXPECT_EQ(std::string::npos, calls.find("|um|", calls.find("|um|") + 1)) << "never twice";
    EXPECT_EQ(std::string::npos, calls.find("Cancelar_Item|2|"));
    EXPECT_EQ(std::string::npos, calls.find("Fechar_CupomEX"));
    EXPECT_NE(std::string::npos, calls.find("|dois|"));
}

}  // namespace
}  // namespace zentrada
