// What the chaos soak needs from the operating system: the agent as a child
// process that can be stopped in order (SIGINT, Ctrl+C) or killed hard
// (SIGKILL, TerminateProcess), its memory and open handles where /proc tells
// them, and an input directory made unreadable (POSIX only).
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace zentrada::soak {

namespace fs = std::filesystem;

struct Sample {
    long rssKb = 0;
    int handles = 0;
};

class Agent {
public:
    Agent(const fs::path& program, const std::vector<std::string>& arguments,
          const std::vector<std::string>& environment, const fs::path& outputStem) {
#if defined(_WIN32)
        ShareConsole();
        std::string commandLine = "\"" + program.string() + "\"";
        for (const auto& argument : arguments) commandLine += " \"" + argument + "\"";
        std::string block;
        for (const auto& variable : environment) block += variable + '\0';
        block += '\0';
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        const HANDLE out = CreateFileA((outputStem.string() + ".out").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        const HANDLE err = CreateFileA((outputStem.string() + ".err").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out;
        startup.hStdError = err;
        PROCESS_INFORMATION created{};
        // Same console as this process, so its Ctrl+C reaches the agent.
        if (CreateProcessA(program.string().c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, block.data(),
                           nullptr, &startup, &created)) {
            process_ = created.hProcess;
            CloseHandle(created.hThread);
        }
        CloseHandle(out);
        CloseHandle(err);
#else
        std::vector<char*> argv{const_cast<char*>(program.c_str())}, envp;
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        for (const auto& variable : environment) envp.push_back(const_cast<char*>(variable.c_str()));
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        const std::string out = outputStem.string() + ".out", err = outputStem.string() + ".err";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
#endif
    }
    ~Agent() {
        if (!Ended()) Kill();
#if defined(_WIN32)
        if (process_ != nullptr) CloseHandle(process_);
#endif
    }
    Agent(const Agent&) = delete;
    Agent& operator=(const Agent&) = delete;

    bool Started() const {
#if defined(_WIN32)
        return process_ != nullptr;
#else
        return pid_ > 0;
#endif
    }
    // Whether it has ended; its exit status is then in status_ (1000 + the
    // signal when a signal ended it).
    bool Ended() {
        if (status_ >= 0 || !Started()) return true;
#if defined(_WIN32)
        DWORD code = 0;
        if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0 || !GetExitCodeProcess(process_, &code)) return false;
        status_ = static_cast<int>(code);
#else
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
#endif
        return true;
    }
    int Status() const { return status_; }

    void Interrupt() {
#if defined(_WIN32)
        GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
#else
        kill(pid_, SIGINT);
#endif
    }
    // A hard kill, waited for: nothing of the agent runs after it.
    void Kill() {
        if (Ended()) return;
#if defined(_WIN32)
        TerminateProcess(process_, 9);
        WaitForSingleObject(process_, 10000);
#else
        kill(pid_, SIGKILL);
        int status = 0;
        if (waitpid(pid_, &status, 0) == pid_) status_ = 1000 + SIGKILL;
#endif
        Ended();
    }

    // Resident memory and open descriptors, from /proc; nothing elsewhere.
    std::optional<Sample> Measure() const {
#if defined(_WIN32)
        return std::nullopt;
#else
        const fs::path proc = "/proc/" + std::to_string(pid_);
        std::ifstream status(proc / "status");
        Sample sample;
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmRSS:", 0) == 0) sample.rssKb = std::stol(line.substr(6));
        std::error_code error;
        for (auto it = fs::directory_iterator(proc / "fd", error); !error && it != fs::directory_iterator();
             it.increment(error))
            ++sample.handles;
        if (sample.rssKb == 0 || error) return std::nullopt;
        return sample;
#endif
    }

private:
#if defined(_WIN32)
    static BOOL WINAPI Swallow(DWORD) { return TRUE; }
    // A console of this process's own for the agents to share; its Ctrl+C is
    // swallowed here.
    static void ShareConsole() {
        static const bool attached = [] {
            const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE), err = GetStdHandle(STD_ERROR_HANDLE);
            FreeConsole();
            AllocConsole();
            SetStdHandle(STD_OUTPUT_HANDLE, out);
            SetStdHandle(STD_ERROR_HANDLE, err);
            SetConsoleCtrlHandler(Swallow, TRUE);
            return true;
        }();
        (void)attached;
    }
    HANDLE process_ = nullptr;
#else
    pid_t pid_ = -1;
#endif
    int status_ = -1;
};

// Makes a directory unreadable (or readable again). False where that cannot
// be done: on Windows, and for root, whom permissions do not stop.
inline bool LockDirectory(const fs::path& directory, bool locked) {
#if defined(_WIN32)
    (void)directory;
    (void)locked;
    return false;
#else
    if (locked && geteuid() == 0) return false;
    return chmod(directory.c_str(), locked ? 0 : 0755) == 0;
#endif
}

// Sets a file's last-write time to the microsecond (the C++ library's own
// setter keeps whole seconds on Windows).
inline bool SetLastWriteTime(const fs::path& path, std::chrono::system_clock::time_point when) {
#if defined(_WIN32)
    const HANDLE file = CreateFileW(path.wstring().c_str(), FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    // 100 ns units since 1601-01-01.
    const long long ticks =
        std::chrono::duration_cast<std::chrono::microseconds>(when.time_since_epoch()).count() * 10 +
        116444736000000000LL;
    const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    const bool set = SetFileTime(file, nullptr, nullptr, &time) != 0;
    CloseHandle(file);
    return set;
#else
    std::error_code error;
    fs::last_write_time(path, std::chrono::file_clock::from_sys(when), error);
    return !error;
#endif
}

#if defined(_WIN32)
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

inline std::tm LocalTime(std::time_t t) {
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return local;
}

}  // namespace zentrada::soak
