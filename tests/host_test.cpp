// The headless host: its command line, its terminal text, and the real
// zentrada binary run as a process in a directory of its own.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/posix/terminal.h"
#include "shell/host_options.h"

extern char** environ;

namespace zentrada {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// ---------------------------------------------------------------- options

shell::ParsedCommandLine Parse(std::vector<std::string_view> arguments) {
    return shell::ParseHostOptions(arguments);
}

TEST(HostOptions, NoArgumentsRunWithTheSettingsFile) {
    const auto parsed = Parse({});
    EXPECT_TRUE(parsed.error.empty());
    EXPECT_EQ(shell::HostOptions::Action::Run, parsed.options.action);
    EXPECT_FALSE(parsed.options.inputDirectory);
    EXPECT_FALSE(parsed.options.outputDirectory);
    EXPECT_FALSE(parsed.options.driverLibrary);
    EXPECT_FALSE(parsed.options.simpleMode);
}

TEST(HostOptions, EachOptionTakesItsValue) {
    const auto parsed = Parse({"--simple", "--in", "/pdv/in", "--driver", "./libX.so", "--out", "--in"});
    ASSERT_TRUE(parsed.error.empty());
    EXPECT_EQ("/pdv/in", parsed.options.inputDirectory.value_or(""));
    EXPECT_EQ("--in", parsed.options.outputDirectory.value_or(""));  // a value may look like an option
    EXPECT_EQ("./libX.so", parsed.options.driverLibrary.value_or(""));
    EXPECT_TRUE(parsed.options.simpleMode);
    EXPECT_EQ("/b", Parse({"--in", "/a", "--in", "/b"}).options.inputDirectory.value_or(""));
    EXPECT_EQ("", Parse({"--out", ""}).options.outputDirectory.value_or("unset"));
}

TEST(HostOptions, HelpAndVersionWinOverWhatFollows) {
    EXPECT_EQ(shell::HostOptions::Action::ShowHelp, Parse({"--in", "/a", "--help", "--bogus"}).options.action);
    EXPECT_EQ(shell::HostOptions::Action::ShowVersion, Parse({"--version", "--in"}).options.action);
    EXPECT_TRUE(Parse({"--help", "--bogus"}).error.empty());
}

TEST(HostOptions, UnknownOptionsAndMissingValuesAreErrors) {
    struct Case {
        std::vector<std::string_view> arguments;
        std::string_view named;  // what the message must quote
    };
    for (const Case& bad : {Case{{"--bogus"}, "--bogus"}, Case{{"-in", "/a"}, "-in"},
                            Case{{"start_minimized"}, "start_minimized"}, Case{{"--in=/a"}, "--in=/a"},
                            Case{{"--simple", "--in"}, "--in"}, Case{{"--out"}, "--out"},
                            Case{{"--driver"}, "--driver"}, Case{{"--help=1"}, "--help=1"}}) {
        const auto parsed = Parse(bad.arguments);
        SCOPED_TRACE(bad.named);
        EXPECT_NE(std::string::npos, parsed.error.find(bad.named));
    }
}

TEST(HostOptions, VersionLineNamesTheProjectVersion) {
    EXPECT_EQ("zentrada " ZENTRADA_VERSION, shell::VersionLine());
}

// ---------------------------------------------------------------- cp1252

TEST(Cp1252ToUtf8, ConvertsPortugueseLettersAndThePunctuationRange) {
    EXPECT_EQ("N\xC3\xBAmero de par\xC3\xA2metros", platform::Cp1252ToUtf8("N\xFAmero de par\xE2metros"));
    EXPECT_EQ("Aplicativo em Execu\xC3\xA7\xC3\xA3o", platform::Cp1252ToUtf8("Aplicativo em Execu\xE7\xE3o"));
    EXPECT_EQ("\xE2\x82\xAC", platform::Cp1252ToUtf8("\x80"));          // euro sign
    EXPECT_EQ("\xE2\x80\x9C" "a\xE2\x80\x9D", platform::Cp1252ToUtf8("\x93" "a\x94"));  // quotes
    EXPECT_EQ("\xC5\xB8", platform::Cp1252ToUtf8("\x9F"));              // Y with diaeresis
    EXPECT_EQ("\xC2\x81", platform::Cp1252ToUtf8("\x81"));              // unused byte
    EXPECT_EQ("\xC2\xA0\xC3\xBF", platform::Cp1252ToUtf8("\xA0\xFF"));
    EXPECT_EQ(std::string("a\0b\r\n", 5), platform::Cp1252ToUtf8(std::string_view("a\0b\r\n", 5)));
}

TEST(Cp1252ToUtf8, EveryByteBecomesOneWellFormedCharacter) {
    for (int byte = 0; byte < 256; ++byte) {
        const std::string utf8 = platform::Cp1252ToUtf8(std::string(1, static_cast<char>(byte)));
        SCOPED_TRACE(byte);
        ASSERT_FALSE(utf8.empty());
        const auto lead = static_cast<unsigned char>(utf8[0]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        ASSERT_EQ(length, utf8.size());
        for (std::size_t i = 1; i < utf8.size(); ++i)
            EXPECT_EQ(0x80, static_cast<unsigned char>(utf8[i]) & 0xC0);
    }
}

// ---------------------------------------------------------------- processes

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Puts a command file in place at once, as a point of sale should.
void DropCommandFile(const fs::path& directory, const std::string& name, std::string_view bytes) {
    const fs::path staging = directory / (name + ".tmp");
    WriteFile(staging, bytes);
    fs::rename(staging, directory / name);
}

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit = 20s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// A running or finished zentrada with its standard output and error in files.
class AgentProcess {
public:
    AgentProcess(const fs::path& executable, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment, const fs::path& outputStem)
        : stdout_(outputStem.string() + ".stdout"), stderr_(outputStem.string() + ".stderr") {
        std::vector<char*> argv{const_cast<char*>(executable.c_str())};
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (const auto& variable : environment) envp.push_back(const_cast<char*>(variable.c_str()));
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, stdout_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, stderr_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid_, executable.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    AgentProcess(const AgentProcess&) = delete;
    AgentProcess& operator=(const AgentProcess&) = delete;
    ~AgentProcess() {
        if (pid_ > 0 && !status_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    bool Started() const { return pid_ > 0; }
    bool Running() { return pid_ > 0 && !Poll(); }
    void Signal(int signal) { kill(pid_, signal); }
    // The exit status, or -1 when the process did not exit normally in time.
    int Wait(std::chrono::milliseconds limit = 30s) {
        if (!WaitFor([&] { return Poll(); }, limit)) return -1;
        return WIFEXITED(*status_) ? WEXITSTATUS(*status_) : -1;
    }
    std::string Out() const { return ReadFile(stdout_); }
    std::string Err() const { return ReadFile(stderr_); }

private:
    bool Poll() {
        if (status_) return true;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
        status_ = status;
        return true;
    }

    std::string stdout_;
    std::string stderr_;
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// A fresh directory holding copies of zentrada and, when asked, the virtual
// printer, so that the log, the settings files and the default in/out
// directories are this test's own.
class HostProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "zentrada_host_test_XXXXXX").string();
        ASSERT_NE(nullptr, mkdtemp(pattern.data()));
        dir_ = pattern;
        executable_ = InstallAgent("zentrada");
    }
    void TearDown() override {
        std::error_code ignored;
        if (!HasFailure()) fs::remove_all(dir_, ignored);
    }

    fs::path InstallAgent(const std::string& name) {
        const fs::path target = dir_ / name;
        fs::copy_file(ZENTRADA_EXE, target);
        return target;
    }
    void InstallVirtualPrinter() {
        fs::copy_file(VIRTUAL_PRINTER_LIB, dir_ / fs::path(VIRTUAL_PRINTER_LIB).filename());
    }
    fs::path MakeDirectory(const std::string& name) {
        fs::create_directories(dir_ / name);
        return dir_ / name;
    }

    // The caller's environment without what would steer the child, plus the
    // test's own lock directory and locale.
    std::vector<std::string> Environment(const std::vector<std::string>& extra = {}) const {
        std::vector<std::string> environment;
        for (char** variable = environ; *variable != nullptr; ++variable) {
            const std::string_view text(*variable);
            bool steering = false;
            for (const std::string_view name :
                 {"LANG=", "LC_ALL=", "LC_CTYPE=", "LANGUAGE=", "ZENTRADA_LOCK_DIR=", "TORVA_SCRIPT=",
                  "TORVA_TRACE=", "LD_LIBRARY_PATH="})
                steering = steering || text.starts_with(name);
            if (!steering) environment.emplace_back(text);
        }
        environment.push_back("LANG=C.UTF-8");
        environment.push_back("ZENTRADA_LOCK_DIR=" + dir_.string());
        environment.insert(environment.end(), extra.begin(), extra.end());
        return environment;
    }

    std::unique_ptr<AgentProcess> Start(const std::vector<std::string>& arguments,
                                        const std::vector<std::string>& extraEnvironment = {},
                                        const fs::path& executable = {}) {
        const fs::path program = executable.empty() ? executable_ : executable;
        auto process = std::make_unique<AgentProcess>(program, arguments, Environment(extraEnvironment),
                                                      dir_ / (program.filename().string() + "." +
                                                              std::to_string(++processCount_)));
        EXPECT_TRUE(process->Started());
        return process;
    }

    std::string Log() const { return ReadFile(dir_ / "Zentrada_log.txt"); }

    // Drops a command file and waits until the agent has taken it away,
    // which shows that the agent's worker runs its loop.
    bool DropAndWaitUntilTaken(const fs::path& inputDirectory, const std::string& name) {
        DropCommandFile(inputDirectory, name, "TORVA_Obter_Estado_Impressora|\r\n.\r\n");
        return WaitFor([&] { return !fs::exists(inputDirectory / name); });
    }

    fs::path dir_;
    fs::path executable_;
    int processCount_ = 0;
};

// The message of the last log line: its time stamp and ending (13, 13, 10)
// taken away.
std::string LastLogMessage(const std::string& log) {
    constexpr std::string_view kEnd = "\r\r\n";
    if (!log.ends_with(kEnd)) return "(log does not end with 13, 13, 10)";
    std::string_view line = std::string_view(log).substr(0, log.size() - kEnd.size());
    if (const auto previous = line.rfind(kEnd); previous != std::string_view::npos)
        line.remove_prefix(previous + kEnd.size());
    const auto separator = line.find(" - ");
    return std::string(separator == std::string_view::npos ? line : line.substr(separator + 3));
}

TEST_F(HostProcessTest, VersionAndHelpPrintAndExitWithoutStartingTheAgent) {
    auto version = Start({"--version"});
    EXPECT_EQ(0, version->Wait());
    EXPECT_EQ("zentrada " ZENTRADA_VERSION "\n", version->Out());

    auto help = Start({"--help"});
    EXPECT_EQ(0, help->Wait());
    const std::string usage = help->Out();
    for (const char* option : {"--in", "--out", "--simple", "--driver", "--help", "--version"})
        EXPECT_NE(std::string::npos, usage.find(option)) << option;
    EXPECT_NE(std::string::npos, usage.find("op\xC3\xA7\xC3\xB5" "es")) << "UTF-8 under C.UTF-8";

    auto helpInC = Start({"--help"}, {"LC_ALL=C"});
    EXPECT_EQ(0, helpInC->Wait());
    EXPECT_NE(std::string::npos, helpInC->Out().find("op\xE7\xF5" "es")) << "bytes as they are under C";

    EXPECT_FALSE(fs::exists(dir_ / "Zentrada_log.txt"));
}

TEST_F(HostProcessTest, BadCommandLineExitsWith64) {
    auto unknown = Start({"--bogus"});
    EXPECT_EQ(64, unknown->Wait());
    EXPECT_NE(std::string::npos, unknown->Err().find("--bogus"));
    EXPECT_EQ("", unknown->Out());

    auto missing = Start({"--in"});
    EXPECT_EQ(64, missing->Wait());
    EXPECT_NE(std::string::npos, missing->Err().find("--in"));

    EXPECT_FALSE(fs::exists(dir_ / "Zentrada_log.txt"));
}

TEST_F(HostProcessTest, MissingDriverLibraryExitsWith1) {
    auto agent = Start({});  // no library beside it nor on the library path
    EXPECT_EQ(1, agent->Wait());
    EXPECT_EQ("Erro!: Erro ao carregar a biblioteca de alto n\xC3\xADvel!\n"
              "O programa ser\xC3\xA1 finalizado.\n",
              agent->Err());
    const std::string log = Log();
    EXPECT_NE(std::string::npos,
              log.find(" - Carregando DLL\r\r\nErro! Dll InterfaceTorva n\xE3o encontrada.\r\r\n"))
        << log;
}

TEST_F(HostProcessTest, PortThatCannotBeOpenedExitsWith2) {
    InstallVirtualPrinter();
    WriteFile(dir_ / "script.txt", "TORVA_Serial_Abrir_PortaEX|5|\n");
    auto agent = Start({}, {"TORVA_SCRIPT=" + (dir_ / "script.txt").string()});
    EXPECT_EQ(2, agent->Wait());
    EXPECT_EQ("Zentrada - Erro!: Erro de comunica\xC3\xA7\xC3\xA3o com a impressora. Processo paralizado.\n",
              agent->Err());
    EXPECT_EQ("Thread encerrada, erro de comunica\xE7\xE3o com a impressora.", LastLogMessage(Log()));
}

TEST_F(HostProcessTest, SigtermStopsTheAgentInOrder) {
    InstallVirtualPrinter();
    const fs::path in = MakeDirectory("in");
    MakeDirectory("out");
    auto agent = Start({});
    ASSERT_TRUE(DropAndWaitUntilTaken(in, "PING.FPI")) << agent->Err();
    EXPECT_FALSE(fs::is_empty(dir_ / "out"));

    agent->Signal(SIGTERM);
    EXPECT_EQ(0, agent->Wait());
    EXPECT_EQ("", agent->Err());
    EXPECT_EQ("Thread encerrada normalmente.", LastLogMessage(Log()));
}

TEST_F(HostProcessTest, StopRequestedWhileStartingIsNotLost) {
    InstallVirtualPrinter();
    auto agent = Start({});
    std::this_thread::sleep_for(100ms);  // within the worker's start pause
    agent->Signal(SIGINT);
    EXPECT_EQ(0, agent->Wait());
    EXPECT_EQ("Thread encerrada normalmente.", LastLogMessage(Log()));
}

TEST_F(HostProcessTest, SecondInstanceOfTheSameNameIsRefusedWith3) {
    InstallVirtualPrinter();
    const fs::path in = MakeDirectory("in");
    MakeDirectory("out");
    auto first = Start({});
    ASSERT_TRUE(DropAndWaitUntilTaken(in, "PING.FPI")) << first->Err();

    // Same base name, other directory: refused all the same.
    fs::create_directories(dir_ / "elsewhere");
    const fs::path sameName = dir_ / "elsewhere" / "zentrada";
    fs::copy_file(executable_, sameName);
    auto second = Start({}, {}, sameName);
    EXPECT_EQ(3, second->Wait());
    EXPECT_EQ("Aplicativo em Execu\xC3\xA7\xC3\xA3o: Voc\xC3\xAA j\xC3\xA1 est\xC3\xA1 executando este aplicativo.\n"
              "Por favor, feche o outro programa antes de execut\xC3\xA1-lo novamente.\n",
              second->Err());
    EXPECT_TRUE(first->Running());

    // Another name runs beside it.
    const fs::path otherIn = MakeDirectory("caixa2_in");
    const fs::path otherOut = MakeDirectory("caixa2_out");
    auto other = Start({"--in", otherIn.string(), "--out", otherOut.string()}, {}, InstallAgent("zentrada-caixa2"));
    EXPECT_TRUE(DropAndWaitUntilTaken(otherIn, "PING.FPI")) << other->Err();
    EXPECT_FALSE(fs::is_empty(otherOut));

    other->Signal(SIGTERM);
    first->Signal(SIGINT);
    EXPECT_EQ(0, other->Wait());
    EXPECT_EQ(0, first->Wait());
}

TEST_F(HostProcessTest, SettingsFileChoosesDirectoriesAndModeAndOptionsOverrideIt) {
    InstallVirtualPrinter();
    const fs::path posIn = MakeDirectory("pos_in");
    const fs::path posOut = MakeDirectory("pos_out");
    const fs::path cliOut = MakeDirectory("cli_out");
    WriteFile(dir_ / "zentrada.conf", "# caixa de teste\r\n"
                                      "WorkDirectoryIn=" + posIn.string() + "\r\n"
                                      "WorkDirectoryOut = " + posOut.string() + "\r\n"
                                      "SimgleMode=1\r\n");
    DropCommandFile(posIn, "OUTRO.FPI", "TORVA_Obter_Estado_Impressora|\r\n.\r\n");
    auto agent = Start({"--out", cliOut.string()});
    ASSERT_TRUE(DropAndWaitUntilTaken(posIn, "COMANDO.FPI")) << agent->Err();

    EXPECT_TRUE(fs::exists(cliOut / "COMANDO.fpo"));
    EXPECT_TRUE(fs::is_empty(posOut));
    EXPECT_TRUE(fs::exists(posIn / "OUTRO.FPI")) << "simplified mode reads COMANDO.FPI only";

    agent->Signal(SIGTERM);
    EXPECT_EQ(0, agent->Wait());
}

TEST_F(HostProcessTest, DriverLogSettingIsReadFromItsFileAtEveryIdlePoll) {
    InstallVirtualPrinter();
    const fs::path trace = dir_ / "trace.txt";
    WriteFile(dir_ / "InterfaceTorva.conf", "Log=2\r\n");
    auto agent = Start({}, {"TORVA_TRACE=" + trace.string()});
    EXPECT_TRUE(WaitFor([&] { return ReadFile(trace).find("TORVA_Sys_Log||2000|\n") != std::string::npos; }))
        << agent->Err();

    WriteFile(dir_ / "InterfaceTorva.conf", "Log=1\r\n");
    EXPECT_TRUE(WaitFor([&] { return ReadFile(trace).find("TORVA_Sys_Log||1000|\n") != std::string::npos; }));

    agent->Signal(SIGTERM);
    EXPECT_EQ(0, agent->Wait());
}

}  // namespace
}  // namespace zentrada
