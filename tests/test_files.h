// Temporary directories and byte-exact file helpers for the tests.
#pragma once

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace zentrada::testing {

namespace fs = std::filesystem;

inline int ProcessId() {
#if defined(_WIN32)
    return _getpid();
#else
    return static_cast<int>(::getpid());
#endif
}

// Sets an environment variable of this process, or removes it (empty value).
inline void SetEnvironment(const char* name, const std::string& value) {
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    if (value.empty()) unsetenv(name);
    else setenv(name, value.c_str(), 1);
#endif
}

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        static int counter = 0;
        path_ = fs::temp_directory_path() /
                ("zentrada-test-" + std::to_string(ProcessId()) + "-" + std::to_string(++counter));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Lines joined with CR LF, as a Windows program writes a command file.
inline std::string CrLf(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

// Moves a file's last-write time into the past.
inline void AgeFile(const fs::path& path, std::chrono::minutes age) {
    fs::last_write_time(path, fs::file_time_type::clock::now() - age);
}

// Names of the files of a directory matching a prefix and a suffix.
inline std::vector<std::string> FilesLike(const fs::path& dir, const std::string& prefix, const std::string& suffix) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(prefix) && name.ends_with(suffix)) names.push_back(name);
    }
    return names;
}

// A file that cannot be deleted while this object holds it: on Windows it
// is held open without delete sharing, elsewhere made immutable (chattr +i,
// which needs a file system and rights that allow it).
class UndeletableFile {
public:
    explicit UndeletableFile(const std::string& path) : path_(path) {
#if defined(_WIN32)
        handle_ = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        held_ = handle_ != INVALID_HANDLE_VALUE;
#else
        held_ = std::system(("chattr +i '" + path + "' 2>/dev/null").c_str()) == 0;
#endif
    }
    ~UndeletableFile() { Release(); }
    UndeletableFile(const UndeletableFile&) = delete;
    UndeletableFile& operator=(const UndeletableFile&) = delete;

    bool Held() const { return held_; }
    void Release() {
        if (!held_) return;
        held_ = false;
#if defined(_WIN32)
        CloseHandle(handle_);
#else
        [[maybe_unused]] const int ignored = std::system(("chattr -i '" + path_ + "'").c_str());
#endif
    }

private:
    std::string path_;
    bool held_ = false;
#if defined(_WIN32)
    HANDLE handle_ = INVALID_HANDLE_VALUE;
#endif
};

#ifdef VIRTUAL_PRINTER_DIR
// The virtual printer's library, or one of its test variants.
inline std::string PrinterLibrary(const std::string& variant = "") {
#if defined(_WIN32)
    return std::string(VIRTUAL_PRINTER_DIR) + "/InterfaceTorva" + variant + ".dll";
#else
    return std::string(VIRTUAL_PRINTER_DIR) + "/libInterfaceTorva" + variant + ".so";
#endif
}
#endif

}  // namespace zentrada::testing
