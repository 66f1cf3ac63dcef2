// Temporary directories and byte-exact file helpers for the tests.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace zentrada::testing {

namespace fs = std::filesystem;

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        static int counter = 0;
        path_ = fs::temp_directory_path() /
                ("zentrada-test-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
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

#ifdef VIRTUAL_PRINTER_DIR
// The virtual printer's library, or one of its test variants.
inline std::string PrinterLibrary(const std::string& variant = "") {
    return std::string(VIRTUAL_PRINTER_DIR) + "/libInterfaceTorva" + variant + ".so";
}
#endif

}  // namespace zentrada::testing
