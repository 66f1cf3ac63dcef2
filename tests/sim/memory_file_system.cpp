#include "tests/sim/memory_file_system.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <utility>

namespace zentrada::testing {
namespace {

using platform::FileEntry;
using platform::LocalTime;

constexpr std::size_t kAll = std::string::npos;
constexpr std::int64_t kNsPerMs = 1'000'000;
constexpr std::int64_t kStepNs = MemoryFileSystem::kStep.count() * kNsPerMs;

struct ContentOp {
    bool truncate = false;   // else an append
    std::uint64_t size = 0;  // of a truncate
    std::string bytes;       // of an append
    std::int64_t ns = 0;     // when it was made
};

struct Inode {
    std::string durable;
    std::int64_t durableNs = 0;
    std::vector<ContentOp> pending;
    std::string content;  // durable with pending applied
    std::int64_t ns = 0;  // last write
    bool born = true;     // its create is on disk
};

enum class DirOpKind { Create, Link, Rename, Remove };

struct DirOp {
    DirOpKind kind{};
    std::string name;
    std::string from;  // of a rename
    std::uint64_t inode = 0;
};

using Names = std::map<std::string, std::uint64_t>;

struct Directory {
    Names durable;
    std::vector<DirOp> pending;
    Names names;  // durable with pending applied
    bool writable = true;
};

struct Handle {
    std::uint64_t inode = 0;
    std::string path;
    std::string directory;
};

// A directory or file with pending operations, and the ways a disk may hold
// them: how many operations it kept, and how many bytes of the last one
// when that is an append (kAll: every byte).
struct Choice {
    std::string directory;  // empty for a file
    std::uint64_t inode = 0;
    std::vector<std::pair<std::size_t, std::size_t>> ways;
};

void Apply(std::string& content, const ContentOp& op, std::size_t keep = kAll) {
    if (!op.truncate) {
        content.append(op.bytes, 0, keep);
    } else if (content.size() > op.size) {
        content.resize(static_cast<std::size_t>(op.size));
    }
}

void Apply(Names& names, const DirOp& op) {
    switch (op.kind) {
    case DirOpKind::Rename:
        names.erase(op.from);
        [[fallthrough]];
    case DirOpKind::Create:
    case DirOpKind::Link:
        names[op.name] = op.inode;
        break;
    case DirOpKind::Remove:
        names.erase(op.name);
        break;
    }
}

std::int64_t ToNs(const LocalTime& t) {
    using namespace std::chrono;
    const sys_days day{year{t.year} / t.month / t.day};
    const auto at = day.time_since_epoch() + hours{t.hour} + minutes{t.minute} + seconds{t.second} +
                    milliseconds{t.millisecond};
    return duration_cast<nanoseconds>(at).count();
}

LocalTime ToLocal(std::int64_t ns) {
    using namespace std::chrono;
    const sys_time<nanoseconds> at{nanoseconds{ns}};
    const sys_days day = floor<days>(at);
    const year_month_day date{day};
    const hh_mm_ss time{floor<milliseconds>(at - day)};
    const auto i = [](auto value) { return static_cast<int>(value); };
    return {i(date.year()),           i(static_cast<unsigned>(date.month())), i(static_cast<unsigned>(date.day())),
            i(time.hours().count()),  i(time.minutes().count()),              i(time.seconds().count()),
            i(time.subseconds().count())};
}

// A directory's name without trailing separators, so "/out/" is "/out".
std::string DirectoryKey(std::string directory) {
    while (directory.size() > 1 && (directory.back() == '/' || directory.back() == '\\')) directory.pop_back();
    return directory;
}

struct Place {
    std::string directory;
    std::string name;
};

Place Split(const std::string& path) {
    const auto at = path.find_last_of("/\\");
    if (at == std::string::npos) return {".", path};
    return {at == 0 ? path.substr(0, 1) : DirectoryKey(path.substr(0, at)), path.substr(at + 1)};
}

std::string Escape(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", u);
        out += c == '"' || c == '\\' ? std::string{'\\', c}
               : u < 0x20 || u >= 0x7f ? std::string(hex)
                                       : std::string(1, c);
    }
    return out;
}

// The ways of a file's pending operations. Every byte cut of an append, or
// only a few when `sampled`.
std::vector<std::pair<std::size_t, std::size_t>> WaysOf(const std::vector<ContentOp>& ops, bool sampled) {
    std::vector<std::pair<std::size_t, std::size_t>> ways{{0, kAll}};
    for (std::size_t i = 0; i < ops.size(); ++i) {
        const std::size_t length = ops[i].truncate ? 0 : ops[i].bytes.size();
        std::set<std::size_t> cuts;  // 0 bytes is the same as the operation lost
        if (sampled) {
            for (const std::size_t cut : {std::size_t{1}, length / 2, length - 1}) {
                if (cut >= 1 && cut < length) cuts.insert(cut);
            }
        } else {
            for (std::size_t cut = 1; cut < length; ++cut) cuts.insert(cut);
        }
        for (const std::size_t cut : cuts) ways.emplace_back(i + 1, cut);
        ways.emplace_back(i + 1, kAll);
    }
    return ways;
}

// How many states the choices make, or `limit + 1` when more than `limit`.
std::size_t Product(const std::vector<Choice>& units, std::size_t limit) {
    std::size_t product = 1;
    for (const Choice& unit : units) {
        if (product > limit / unit.ways.size()) return limit + 1;
        product *= unit.ways.size();
    }
    return product;
}

}  // namespace

struct MemoryFileSystem::State {
    std::map<std::string, Directory> directories;
    std::map<std::uint64_t, Inode> inodes;  // never dropped: an open handle
                                            // or a durable name may need one
    std::map<std::intptr_t, Handle> handles;
    std::vector<std::string> operations;
    std::size_t cut = SIZE_MAX;
    std::int64_t clockNs = 0;
    std::uint64_t nextInode = 1;
    std::intptr_t nextHandle = 3;

    State& Tick() {
        clockNs += kStepNs;
        return *this;
    }
    bool Dead() const { return operations.size() >= cut; }

    // Takes the next operation index, unless the power is cut.
    bool Step(std::string description) {
        if (Dead()) return false;
        operations.push_back(std::move(description));
        return true;
    }

    Directory* Find(const std::string& key) {
        const auto found = directories.find(key);
        return found == directories.end() ? nullptr : &found->second;
    }

    // The directory of a file about to be changed; nullptr when it may not
    // be or the power is cut.
    Directory* Writable(const Place& place) {
        Directory* directory = Find(place.directory);
        return directory != nullptr && directory->writable && !place.name.empty() && !Dead() ? directory : nullptr;
    }

    const Inode* File(const std::string& path) const {
        const Place place = Split(path);
        const auto directory = directories.find(place.directory);
        if (directory == directories.end()) return nullptr;
        const auto name = directory->second.names.find(place.name);
        return name == directory->second.names.end() ? nullptr : &inodes.at(name->second);
    }

    void Record(Directory& directory, DirOp op) {
        Apply(directory.names, op);
        directory.pending.push_back(std::move(op));
    }

    void Change(Inode& inode, ContentOp op) {
        op.ns = inode.ns = clockNs;
        Apply(inode.content, op);
        inode.pending.push_back(std::move(op));
    }

    // The steps of the calls: false when the power is cut.
    bool Truncate(Inode& inode, const std::string& path, std::uint64_t size) {
        if (inode.content.size() <= size) return true;
        if (!Step("truncate " + path + " to " + std::to_string(size))) return false;
        Change(inode, {true, size, {}, 0});
        return true;
    }

    bool Write(Inode& inode, const std::string& path, std::string_view bytes) {
        if (bytes.empty()) return true;
        if (!Step("append " + std::to_string(bytes.size()) + " bytes to " + path)) return false;
        Change(inode, {false, 0, std::string(bytes), 0});
        return true;
    }

    bool Sync(Inode& inode, const std::string& path, bool durable) {
        if (!durable) return true;
        if (!Step("sync " + path)) return false;
        inode.durable = inode.content;
        inode.durableNs = inode.ns;
        inode.pending.clear();
        return true;
    }

    bool SyncDirectory(Directory& directory, const std::string& key) {
        if (!Step("sync dir " + key)) return false;
        for (const DirOp& op : directory.pending) {
            Apply(directory.durable, op);
            if (op.kind == DirOpKind::Create) inodes.at(op.inode).born = true;
        }
        directory.pending.clear();
        return true;
    }

    // The directories of a move, when both may change and `from` is there.
    bool Movable(const Place& from, const Place& to, Directory*& source, Directory*& target) {
        source = Writable(from);
        target = Writable(to);
        return source != nullptr && target != nullptr && source->names.count(from.name) != 0;
    }

    // The file at `place`, created when missing, else emptied when `empty`;
    // 0 when the power is cut.
    std::uint64_t OpenOrCreate(Directory& directory, const Place& place, const std::string& path, bool empty) {
        const auto found = directory.names.find(place.name);
        if (found != directory.names.end()) {
            return !empty || Truncate(inodes.at(found->second), path, 0) ? found->second : 0;
        }
        if (!Step("create " + path)) return 0;
        const std::uint64_t id = nextInode++;
        Inode& inode = inodes[id];
        inode.born = false;
        inode.ns = inode.durableNs = clockNs;
        Record(directory, {DirOpKind::Create, place.name, {}, id});
        return id;
    }

    std::string Dump() const {
        std::string out;
        for (const auto& [key, directory] : directories) {
            out += key + (directory.writable ? "" : " (read-only)");
            if (!directory.pending.empty()) out += " (" + std::to_string(directory.pending.size()) + " pending)";
            out += '\n';
            for (const auto& [name, id] : directory.names) {
                const Inode& inode = inodes.at(id);
                out += "  " + name + ": " + std::to_string(inode.content.size()) + " bytes";
                if (!inode.pending.empty()) out += " (" + std::to_string(inode.pending.size()) + " pending)";
                out += " \"" + Escape(inode.content) + "\"\n";
            }
        }
        return out;
    }

    // The disk after a power cut that kept, of each unit, the way `picks`
    // names; what no unit names had nothing pending.
    std::unique_ptr<State> After(const std::vector<Choice>& units, const std::vector<std::size_t>& picks) const {
        std::map<std::string, std::size_t> directoryKept;
        std::map<std::uint64_t, std::pair<std::size_t, std::size_t>> fileKept;
        for (std::size_t i = 0; i < units.size(); ++i) {
            const auto way = units[i].ways[picks[i]];
            if (units[i].directory.empty()) {
                fileKept[units[i].inode] = way;
            } else {
                directoryKept[units[i].directory] = way.first;
            }
        }
        std::set<std::uint64_t> born;
        for (const auto& [id, inode] : inodes) {
            if (inode.born) born.insert(id);
        }
        auto out = std::make_unique<State>();
        out->clockNs = clockNs + 1000 * kNsPerMs;  // a restart takes time
        out->nextInode = nextInode;
        for (const auto& [key, directory] : directories) {
            Directory& copy = out->directories[key];
            copy.writable = directory.writable;
            copy.durable = directory.durable;
            const auto kept = directoryKept.find(key);
            for (std::size_t i = 0; kept != directoryKept.end() && i < kept->second; ++i) {
                const DirOp& op = directory.pending[i];
                Apply(copy.durable, op);
                if (op.kind == DirOpKind::Create) born.insert(op.inode);
            }
        }
        for (auto& [key, directory] : out->directories) {
            // A name whose file's create was lost points nowhere.
            std::erase_if(directory.durable, [&](const auto& entry) { return born.count(entry.second) == 0; });
            directory.names = directory.durable;
            for (const auto& [name, id] : directory.names) {
                if (out->inodes.count(id) != 0) continue;
                const Inode& inode = inodes.at(id);
                Inode& copy = out->inodes[id];
                copy.durable = inode.durable;
                copy.durableNs = inode.durableNs;
                const auto kept = fileKept.find(id);
                const std::size_t count = kept == fileKept.end() ? 0 : kept->second.first;
                for (std::size_t i = 0; i < count; ++i) {
                    Apply(copy.durable, inode.pending[i], i + 1 == count ? kept->second.second : kAll);
                    copy.durableNs = inode.pending[i].ns;
                }
                copy.content = copy.durable;
                copy.ns = copy.durableNs;
            }
        }
        return out;
    }
};

LocalTime MemoryFileSystem::DefaultStart() { return {2026, 12, 8, 10, 0, 0, 0}; }

MemoryFileSystem::MemoryFileSystem(const LocalTime& start) : s_(std::make_unique<State>()) {
    s_->clockNs = ToNs(start);
}

MemoryFileSystem::MemoryFileSystem(std::unique_ptr<State> state) : s_(std::move(state)) {}

MemoryFileSystem::MemoryFileSystem(const MemoryFileSystem& other) {
    std::lock_guard lock(other.mutex_);
    s_ = std::make_unique<State>(*other.s_);
}

MemoryFileSystem::MemoryFileSystem(MemoryFileSystem&& other) noexcept {
    std::lock_guard lock(other.mutex_);
    s_ = std::move(other.s_);
}

MemoryFileSystem& MemoryFileSystem::operator=(const MemoryFileSystem& other) {
    if (this != &other) {
        std::scoped_lock lock(mutex_, other.mutex_);
        s_ = std::make_unique<State>(*other.s_);
    }
    return *this;
}

MemoryFileSystem& MemoryFileSystem::operator=(MemoryFileSystem&& other) noexcept {
    if (this != &other) {
        std::scoped_lock lock(mutex_, other.mutex_);
        s_ = std::move(other.s_);
    }
    return *this;
}

MemoryFileSystem::~MemoryFileSystem() = default;

std::vector<FileEntry> MemoryFileSystem::ListFiles(const std::string& directory) {
    std::lock_guard lock(mutex_);
    State& s = s_->Tick();
    std::vector<FileEntry> files;
    if (const Directory* found = s.Find(DirectoryKey(directory))) {
        for (const auto& [name, id] : found->names) {
            const Inode& inode = s.inodes.at(id);
            files.push_back({name, ToLocal(inode.ns), inode.ns, inode.content.size()});
        }
    }
    return files;
}

std::optional<FileEntry> MemoryFileSystem::FindFile(const std::string& path) {
    std::lock_guard lock(mutex_);
    const Inode* inode = s_->Tick().File(path);
    if (inode == nullptr) return std::nullopt;
    return FileEntry{Split(path).name, ToLocal(inode->ns), inode->ns, inode->content.size()};
}

std::optional<std::string> MemoryFileSystem::ReadFileBytes(const std::string& path) {
    std::lock_guard lock(mutex_);
    const Inode* inode = s_->Tick().File(path);
    if (inode == nullptr) return std::nullopt;
    return inode->content;
}

std::optional<std::string> MemoryFileSystem::ReadFileRange(const std::string& path, std::uint64_t offset,
                                                           std::size_t count) {
    std::lock_guard lock(mutex_);
    const Inode* inode = s_->Tick().File(path);
    if (inode == nullptr) return std::nullopt;
    if (offset >= inode->content.size()) return std::string();
    return inode->content.substr(static_cast<std::size_t>(offset), count);
}

bool MemoryFileSystem::WriteFileBytes(const std::string& path, std::string_view bytes, bool truncate,
                                      bool durable) {
    std::lock_guard lock(mutex_);
    State& s = s_->Tick();
    const Place place = Split(path);
    Directory* directory = s.Writable(place);
    const std::uint64_t id = directory == nullptr ? 0 : s.OpenOrCreate(*directory, place, path, truncate);
    if (id == 0) return false;
    Inode& inode = s.inodes.at(id);
    // As on POSIX, a file written anew and through has its name synced too.
    return s.Write(inode, path, bytes) && s.Sync(inode, path, durable) &&
           (!durable || !truncate || s.SyncDirectory(*directory, place.directory));
}

bool MemoryFileSystem::SyncDirectoryOf(const std::string& path) {
    std::lock_guard lock(mutex_);
    State& s = s_->Tick();
    const Place place = Split(path);
    Directory* directory = s.Find(place.directory);
    return directory != nullptr && s.SyncDirectory(*directory, place.directory);
}

bool MemoryFileSystem::TruncateFile(const std::string& path, std::uint64_t size, bool durable) {
    std::lock_guard lock(mutex_);
    State& s = s_->Tick();
    const Place place = Split(path);
    Directory* directory = s.Writable(place);
    if (directory == nullptr || directory->names.count(place.name) == 0) return false;
    Inode& inode = s.inodes.at(directory->names.at(place.name));
    return s.Truncate(inode, path, size) && s.Sync(inode, path, durable);
}

bool MemoryFileSystem::MoveFileNoReplace(const std::string& from, const std::string& to) {
    std::lock_guard lock(mutex_);
    State& s = s_->Tick();
    const Place source = Split(from);
    const Place target = Split(to);
    Directory* sourceDirectory = nullptr;
    Directory* targetDirectory = nullptr;
    if (!s.Movable(source, target, sourceDirectory, targetDirectory)) return false;
    const std::uint64_t id = sourceDirectory->names.at(source.name);
    const auto existing = targetDirectory->names.find(target.name);
    // A link and an unlink: the power may go between the two. A target that
    // is the source's own link is a move cut short there, finished now.
    if (existing != targetDirectory->names.end() && existing->second != id) return false;
    if (existing == targetDirectory->names.end()) {
        if (!s.Step("link " + from + " to " + to)) return false;
        s.Record(*targetDirectory, {DirOpKind::Link, target.name, {}, id});
    }
    if (!s.Step("unlink " + from)) return false;
    s.Record(*sourceDirectory, {DirOpKind::Remove, source.name, {}, id});
    return true;
}

bool MemoryFileSystem::MoveFileReplacing(const std::string& from, const std::string& to) {
    std::lock_guard lock(mutex_);
    State& s = s_->Tick();
    const Place source = Split(from);
    const Place target = Split(to);
    Directory* sourceDirectory = nullptr;
    Directory* targetDirectory = nullptr;
    if (!s.Movable(source, target, sourceDirectory, targetDirectory)) return false;
    if (sourceDirectory == targetDirectory && source.name == target.name) return true;
    const std::uint64_t id = sourceDirectory->names.at(source.name);
    if (!s.Step("rename " + from + " over " + to)) return false;
    if (sourceDirectory == targetDirectory) {
        s.Record(*targetDirectory, {DirOpKind::Rename, target.name, source.name, id});
    } else {
        s.Record(*targetDirectory, {DirOpKind::Link, target.name, {}, id});
        s.Record(*sourceDirectory, {DirOpKind::Remove, source.name, {}, id});
    }
    return true;
}

bool MemoryFileSystem::RemoveFile(const std::string& path) {
    std::lock_guard lock(mutex_);
    State& s = s_->Tick();
    const Place place = Split(path);
    Directory* directory = s.Writable(place);
    if (directory == nullptr || directory->names.count(place.name) == 0 || !s.Step("remove " + path)) return false;
    s.Record(*directory, {DirOpKind::Remove, place.name, {}, directory->names.at(place.name)});
    return true;
}

bool MemoryFileSystem::FileExists(const std::string& path) {
    std::lock_guard lock(mutex_);
    State& s = s_->Tick();
    return s.File(path) != nullptr || s.directories.count(DirectoryKey(path)) != 0;
}

std::intptr_t MemoryFileSystem::OpenAppend(const std::string& path) {
    std::lock_guard lock(mutex_);
    State& s = s_->Tick();
    const Place place = Split(path);
    Directory* directory = s.Writable(place);
    const std::uint64_t id = directory == nullptr ? 0 : s.OpenOrCreate(*directory, place, path, true);
    if (id == 0) return -1;
    const std::intptr_t handle = s.nextHandle++;
    s.handles[handle] = {id, path, place.directory};
    return handle;
}

bool MemoryFileSystem::Append(std::intptr_t handle, std::string_view bytes, bool durable) {
    std::lock_guard lock(mutex_);
    State& s = s_->Tick();
    const auto found = s.handles.find(handle);
    if (found == s.handles.end()) return false;
    const Handle& open = found->second;
    const Directory* directory = s.Find(open.directory);
    if (directory == nullptr || !directory->writable || s.Dead()) return false;
    Inode& inode = s.inodes.at(open.inode);
    return s.Write(inode, open.path, bytes) && s.Sync(inode, open.path, durable);
}

void MemoryFileSystem::CloseAppend(std::intptr_t handle) {
    std::lock_guard lock(mutex_);
    s_->Tick().handles.erase(handle);
}

LocalTime MemoryFileSystem::Now() {
    std::lock_guard lock(mutex_);
    return ToLocal(s_->Tick().clockNs);
}

void MemoryFileSystem::AddDirectory(const std::string& directory) {
    std::lock_guard lock(mutex_);
    s_->directories.try_emplace(DirectoryKey(directory));
}

void MemoryFileSystem::DropDirectory(const std::string& directory) {
    std::lock_guard lock(mutex_);
    s_->directories.erase(DirectoryKey(directory));
}

void MemoryFileSystem::SetWritable(const std::string& directory, bool writable) {
    std::lock_guard lock(mutex_);
    if (Directory* found = s_->Find(DirectoryKey(directory))) found->writable = writable;
}

bool MemoryFileSystem::Put(const std::string& path, std::string_view bytes) {
    std::lock_guard lock(mutex_);
    State& s = *s_;
    const Place place = Split(path);
    Directory* directory = s.Find(place.directory);
    if (directory == nullptr || place.name.empty()) return false;
    const auto found = directory->names.find(place.name);
    const std::uint64_t id = found == directory->names.end() ? s.nextInode++ : found->second;
    Inode& inode = s.inodes[id];
    inode.durable = inode.content = std::string(bytes);
    inode.durableNs = inode.ns = s.clockNs;
    inode.pending.clear();
    inode.born = true;
    directory->names[place.name] = directory->durable[place.name] = id;
    return true;
}

std::optional<std::string> MemoryFileSystem::Get(const std::string& path) const {
    std::lock_guard lock(mutex_);
    const Inode* inode = s_->File(path);
    if (inode == nullptr) return std::nullopt;
    return inode->content;
}

std::vector<std::string> MemoryFileSystem::Names(const std::string& directory) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    if (const Directory* found = s_->Find(DirectoryKey(directory))) {
        for (const auto& entry : found->names) names.push_back(entry.first);
    }
    return names;
}

std::string MemoryFileSystem::Dump() const {
    std::lock_guard lock(mutex_);
    return s_->Dump();
}

void MemoryFileSystem::SetClock(const LocalTime& moment) {
    std::lock_guard lock(mutex_);
    s_->clockNs = ToNs(moment);
}

void MemoryFileSystem::Advance(std::chrono::milliseconds by) {
    std::lock_guard lock(mutex_);
    s_->clockNs += by.count() * kNsPerMs;
}

std::size_t MemoryFileSystem::OperationCount() const {
    std::lock_guard lock(mutex_);
    return s_->operations.size();
}

std::string MemoryFileSystem::Describe(std::size_t index) const {
    std::lock_guard lock(mutex_);
    if (index >= s_->operations.size()) return "no operation " + std::to_string(index);
    return s_->operations[index];
}

void MemoryFileSystem::CutPowerAt(std::size_t index) {
    std::lock_guard lock(mutex_);
    s_->cut = index;
}

bool MemoryFileSystem::PowerIsCut() const {
    std::lock_guard lock(mutex_);
    return s_->Dead();
}

std::vector<MemoryFileSystem> MemoryFileSystem::PowerCutStates(std::size_t maxStates, std::uint64_t seed) const {
    std::lock_guard lock(mutex_);
    const State& s = *s_;
    const std::size_t limit = std::max<std::size_t>(maxStates, 2);
    // Files no name can reach after the cut make no difference.
    std::set<std::uint64_t> reachable;
    for (const auto& [key, directory] : s.directories) {
        for (const auto& entry : directory.durable) reachable.insert(entry.second);
        for (const DirOp& op : directory.pending) reachable.insert(op.inode);
    }
    std::vector<Choice> units;
    const auto gather = [&](bool sampled) {
        units.clear();
        for (const auto& [key, directory] : s.directories) {
            if (directory.pending.empty()) continue;
            Choice& unit = units.emplace_back(Choice{key, 0, {}});
            for (std::size_t kept = 0; kept <= directory.pending.size(); ++kept) unit.ways.emplace_back(kept, kAll);
        }
        for (const auto& [id, inode] : s.inodes) {
            if (inode.pending.empty() || reachable.count(id) == 0) continue;
            units.push_back({{}, id, WaysOf(inode.pending, sampled)});
        }
    };
    gather(false);
    if (Product(units, limit) > limit) gather(true);

    // States that differ only in what no name reaches any more are one.
    std::vector<MemoryFileSystem> states;
    std::set<std::string> seen;
    const auto add = [&](const std::vector<std::size_t>& pick) {
        if (states.size() >= limit) return;
        auto state = s.After(units, pick);
        if (seen.insert(state->Dump()).second) states.push_back(MemoryFileSystem(std::move(state)));
    };
    const std::vector<std::size_t> none(units.size(), 0);
    std::vector<std::size_t> all(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) all[i] = units[i].ways.size() - 1;
    add(none);
    add(all);
    for (std::size_t i = 0; i < units.size(); ++i) {
        auto pick = all;
        pick[i] = 0;
        add(pick);
    }
    if (Product(units, limit) <= limit) {
        // Every combination, counted like the digits of a number.
        for (auto pick = none;;) {
            add(pick);
            std::size_t i = 0;
            while (i < pick.size() && ++pick[i] == units[i].ways.size()) pick[i++] = 0;
            if (i == pick.size()) break;
        }
    } else {
        // mt19937_64 and a plain modulo give the same sample on every
        // standard library.
        std::mt19937_64 random(seed);
        for (std::size_t tries = 0; states.size() < limit && tries < 20 * limit; ++tries) {
            auto pick = none;
            for (std::size_t i = 0; i < units.size(); ++i) pick[i] = random() % units[i].ways.size();
            add(pick);
        }
    }
    return states;
}

}  // namespace zentrada::testing
