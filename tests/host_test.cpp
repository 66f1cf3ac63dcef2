// The headless host: its command line, its terminal text, and the real
// zentrada binary run as a process in a directory of its own.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
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
}

TEST(HostOptions, ErrorsQuoteTheOffendingArgument) {
    for (const auto& [arguments, named] :
         {std::pair{Arguments{"--bogus"}, "--bogus"}, {Arguments{"-in", "/a"}, "-in"},
          {Arguments{"start_minimized"}, "start_minimized"}, {Arguments{"--in=/a"}, "--in=/a"},
          {Arguments{"--simple", "--in"}, "--in"}, {Arguments{"--out"}, "--out"},
          {Arguments{"--driver"}, "--driver"}}) {
        SCOPED_TRACE(named);
        EXPECT_NE(std::string::npos, shell::ParseHostOptions(arguments).error.find(named));
    }
}

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

// ---------------------------------------------------------------- processes

std::string ReadFile(const fs::path& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

void WriteFile(const fs::path& path, std::string_view bytes) { std::ofstream(path, std::ios::binary) << bytes; }

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 20s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// A zentrada process, its standard output and error going to files.
class Agent {
public:
    Agent(const fs::path& program, const std::vector<std::string>& arguments,
          const std::vector<std::string>& environment, const std::string& outputStem)
        : out_(outputStem + ".out"), err_(outputStem + ".err") {
        std::vector<char*> argv{const_cast<char*>(program.c_str())}, envp;
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        for (const auto& variable : environment) envp.push_back(const_cast<char*>(variable.c_str()));
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_GT(pid_, 0);
    }
    ~Agent() {
        if (pid_ > 0 && !Ended()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    bool Ended() { return status_ >= 0 || (pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == pid_); }
    void Signal(int signal) { kill(pid_, signal); }
    // The exit status, or -1 when the process did not exit by itself in time.
    int Wait() { return WaitFor([&] { return Ended(); }, 30s) && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1; }
    std::string Out() const { return ReadFile(out_); }
    std::string Err() const { return ReadFile(err_); }

private:
    std::string out_, err_;
    pid_t pid_ = -1;
    int status_ = -1;
};

// Each test runs copies of zentrada (and the virtual printer when asked) in
// a fresh directory, so the log, the settings files, the default in/out
// directories and the lock are the test's own.
class HostProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "zentrada_host_test_XXXXXX").string();
        ASSERT_NE(nullptr, mkdtemp(pattern.data()));
        dir_ = pattern;
        executable_ = Install(ZENTRADA_EXE, "zentrada");
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir_);
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
        for (char** variable = environ; *variable != nullptr; ++variable) {
            const std::string_view text(*variable);
            if (!text.starts_with("LANG=") && !text.starts_with("LC_") && !text.starts_with("ZENTRADA_") &&
                !text.starts_with("TORVA_") && !text.starts_with("LD_LIBRARY_PATH="))
                environment.emplace_back(text);
        }
        environment.push_back("LANG=C.UTF-8");
        environment.push_back("ZENTRADA_LOCK_DIR=" + dir_.string());
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

    fs::path dir_;
    fs::path executable_;
    int started_ = 0;
};

TEST_F(HostProcessTest, CommandLineAloneNeverStartsTheAgent) {
    auto version = Start({"--version"});
    EXPECT_EQ(0, version->Wait());
    EXPECT_EQ("zentrada " ZENTRADA_VERSION "\n", version->Out());

    auto help = Start({"--help"});
    EXPECT_EQ(0, help->Wait());
    for (const char* option : {"--in", "--out", "--simple", "--driver", "--help", "--version"})
        EXPECT_NE(std::string::npos, help->Out().find(option)) << option;
    EXPECT_NE(std::string::npos, help->Out().find("op\xC3\xA7\xC3\xB5" "es")) << "UTF-8 under C.UTF-8";
    auto helpInC = Start({"--help"}, {"LC_ALL=C"});
    EXPECT_EQ(0, helpInC->Wait());
    EXPECT_NE(std::string::npos, helpInC->Out().find("op\xE7\xF5" "es")) << "bytes as they are under C";

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
    EXPECT_EQ("Erro!: Erro ao carregar a biblioteca de alto n\xC3\xADvel!\nO programa ser\xC3\xA1 finalizado.\n",
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
    EXPECT_EQ("Zentrada - Erro!: Erro de comunica\xC3\xA7\xC3\xA3o com a impressora. Processo paralizado.\n",
              agent->Err());
    EXPECT_EQ("Thread encerrada, erro de comunica\xE7\xE3o com a impressora.", LastLogMessage());
}

TEST_F(HostProcessTest, SigtermStopsTheAgentInOrder) {
    InstallVirtualPrinter();
    const fs::path out = Directory("out");
    auto agent = Start({});
    ASSERT_TRUE(DropAndWaitUntilTaken(Directory("in"), "PING.FPI")) << agent->Err();
    EXPECT_FALSE(fs::is_empty(out));

    agent->Signal(SIGTERM);
    EXPECT_EQ(0, agent->Wait());
    EXPECT_EQ("", agent->Err());
    EXPECT_EQ("Thread encerrada normalmente.", LastLogMessage());
}

TEST_F(HostProcessTest, StopRequestedWhileStartingIsNotLost) {
    InstallVirtualPrinter();
    auto agent = Start({});
    std::this_thread::sleep_for(100ms);  // within the worker's start pause
    agent->Signal(SIGINT);
    EXPECT_EQ(0, agent->Wait());
    EXPECT_EQ("Thread encerrada normalmente.", LastLogMessage());
}

TEST_F(HostProcessTest, SecondInstanceOfTheSameNameIsRefusedWith3) {
    InstallVirtualPrinter();
    Directory("out");
    auto first = Start({});
    ASSERT_TRUE(DropAndWaitUntilTaken(Directory("in"), "PING.FPI")) << first->Err();

    // The same name in another directory is refused all the same.
    auto second = Start({}, {}, Install(executable_, fs::path("elsewhere") / "zentrada"));
    EXPECT_EQ(3, second->Wait());
    EXPECT_EQ("Aplicativo em Execu\xC3\xA7\xC3\xA3o: Voc\xC3\xAA j\xC3\xA1 est\xC3\xA1 executando este aplicativo.\n"
              "Por favor, feche o outro programa antes de execut\xC3\xA1-lo novamente.\n",
              second->Err());
    EXPECT_FALSE(first->Ended());

    // Another name runs beside it.
    const fs::path otherIn = Directory("caixa2_in"), otherOut = Directory("caixa2_out");
    auto other = Start({"--in", otherIn.string(), "--out", otherOut.string()}, {},
                       Install(executable_, "zentrada-caixa2"));
    EXPECT_TRUE(DropAndWaitUntilTaken(otherIn, "PING.FPI")) << other->Err();
    EXPECT_FALSE(fs::is_empty(otherOut));

    other->Signal(SIGTERM);
    first->Signal(SIGINT);
    EXPECT_EQ(0, other->Wait());
    EXPECT_EQ(0, first->Wait());
}

TEST_F(HostProcessTest, SettingsFileChoosesDirectoriesAndModeAndOptionsOverrideIt) {
    InstallVirtualPrinter();
    const fs::path posIn = Directory("pos_in"), posOut = Directory("pos_out"), cliOut = Directory("cli_out");
    WriteFile(dir_ / "zentrada.conf", "# caixa de teste\r\nWorkDirectoryIn=" + posIn.string() +
                                          "\r\nWorkDirectoryOut = " + posOut.string() + "\r\nSimgleMode=1\r\n");
    WriteFile(posIn / "OUTRO.FPI", "TORVA_Obter_Estado_Impressora|\r\n.\r\n");
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
    auto traced = [&](const char* line) { return ReadFile(trace).find(line) != std::string::npos; };
    WriteFile(dir_ / "InterfaceTorva.conf", "Log=2\r\n");
    auto agent = Start({}, {"TORVA_TRACE=" + trace.string()});
    EXPECT_TRUE(WaitFor([&] { return traced("TORVA_Sys_Log||2000|\n"); })) << agent->Err();
    WriteFile(dir_ / "InterfaceTorva.conf", "Log=1\r\n");
    EXPECT_TRUE(WaitFor([&] { return traced("TORVA_Sys_Log||1000|\n"); }));

    agent->Signal(SIGTERM);
    EXPECT_EQ(0, agent->Wait());
}

}  // namespace
}  // namespace zentrada
