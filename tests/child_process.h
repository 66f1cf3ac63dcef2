// A program run as a child process for the tests, its standard output and
// error going to files, and the stop requests a user makes sent to it:
// SIGINT and SIGTERM on POSIX, Ctrl+C and Ctrl+Break through the console on
// Windows.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace zentrada::testing {

inline bool WaitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// This process's environment less the variables whose names start with one
// of `dropped`, then `added` ("NAME=value" each).
inline std::vector<std::string> ChildEnvironment(const std::vector<std::string>& dropped,
                                                 const std::vector<std::string>& added) {
    std::vector<std::string> environment;
    auto keep = [&](std::string_view text) {
        for (const auto& prefix : dropped)
            if (text.starts_with(prefix)) return;
        environment.emplace_back(text);
    };
#if defined(_WIN32)
    char* block = GetEnvironmentStringsA();
    for (const char* variable = block; *variable != '\0'; variable += std::string_view(variable).size() + 1)
        keep(variable);
    FreeEnvironmentStringsA(block);
#else
    for (char** variable = environ; *variable != nullptr; ++variable) keep(*variable);
#endif
    environment.insert(environment.end(), added.begin(), added.end());
    return environment;
}

class ChildProcess {
public:
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment, const std::string& outPath, const std::string& errPath) {
#if defined(_WIN32)
        AttachTestConsole();
        std::string commandLine = Quote(program.string());
        for (const auto& argument : arguments) commandLine += " " + Quote(argument);
        std::string block;
        for (const auto& variable : environment) block += variable + '\0';
        block += '\0';
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        const HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        const HANDLE err = CreateFileA(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out;
        startup.hStdError = err;
        PROCESS_INFORMATION created{};
        // No new process group and no new console: the child shares this
        // process's console, so the console's Ctrl+C and Ctrl+Break reach it.
        if (CreateProcessA(program.string().c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, block.data(),
                           nullptr, &startup, &created)) {
            process_ = created.hProcess;
            CloseHandle(created.hThread);
        }
        CloseHandle(out);
        CloseHandle(err);
        started_ = process_ != nullptr;
#else
        std::vector<char*> argv{const_cast<char*>(program.c_str())}, envp;
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        for (const auto& variable : environment) envp.push_back(const_cast<char*>(variable.c_str()));
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        started_ = pid_ > 0;
#endif
    }
    ~ChildProcess() {
        if (!started_) return;
#if defined(_WIN32)
        if (!Ended()) {
            TerminateProcess(process_, 9);
            WaitForSingleObject(process_, 10000);
        }
        CloseHandle(process_);
#else
        if (!Ended()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
#endif
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return started_; }

    bool Ended() {
        if (exitStatus_ >= 0 || !started_) return true;
#if defined(_WIN32)
        DWORD code = 0;
        if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0 || !GetExitCodeProcess(process_, &code)) return false;
        exitStatus_ = static_cast<int>(code);
#else
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
#endif
        return true;
    }

    // The exit status, or -1 when the process did not end in time.
    int Wait() { return WaitFor([&] { return Ended(); }, std::chrono::seconds(30)) ? exitStatus_ : -1; }

    // What a user at the terminal does: Ctrl+C (SIGINT).
    void Interrupt() {
#if defined(_WIN32)
        GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
#else
        kill(pid_, SIGINT);
#endif
    }
    // What a service manager does: SIGTERM. On Windows Ctrl+C again: Wine
    // does not pass a generated Ctrl+Break on, and the host handles both
    // alike.
    void Terminate() {
#if defined(_WIN32)
        GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
#else
        kill(pid_, SIGTERM);
#endif
    }

    // What a crash, a power cut or the task manager does: the process ends
    // at once, in whatever it was doing.
    void Kill() {
        if (Ended()) return;
#if defined(_WIN32)
        TerminateProcess(process_, 9);
#else
        kill(pid_, SIGKILL);
#endif
        Wait();
    }
    // The exit status once Ended(), 1000 + the signal when one ended it;
    // -1 before.
    int Status() const { return exitStatus_; }
#if !defined(_WIN32)
    pid_t Pid() const { return pid_; }
#endif

private:
#if defined(_WIN32)
    static std::string Quote(const std::string& argument) {
        return argument.find_first_of(" \t") == std::string::npos && !argument.empty() ? argument
                                                                                         : "\"" + argument + "\"";
    }
    static BOOL WINAPI SwallowConsoleControl(DWORD) { return TRUE; }
    // A console of this process's own, for the children to share; its Ctrl+C
    // and Ctrl+Break are swallowed here. The test's own output keeps going
    // where it went.
    static void AttachTestConsole() {
        static const bool attached = [] {
            const HANDLE in = GetStdHandle(STD_INPUT_HANDLE), out = GetStdHandle(STD_OUTPUT_HANDLE),
                         err = GetStdHandle(STD_ERROR_HANDLE);
            FreeConsole();
            AllocConsole();
            SetStdHandle(STD_OUTPUT_HANDLE, out);
            SetStdHandle(STD_ERROR_HANDLE, err);
            (void)in;
            SetConsoleCtrlHandler(SwallowConsoleControl, TRUE);
            return true;
        }();
        (void)attached;
    }
    HANDLE process_ = nullptr;
#else
    pid_t pid_ = -1;
#endif
    bool started_ = false;
    int exitStatus_ = -1;
};

}  // namespace zentrada::testing
