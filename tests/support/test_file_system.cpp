#include "support/test_file_system.h"

#include <algorithm>
#include <limits>
#include <map>
#include <stdexcept>
#include <utility>

namespace {

// A plain file refuses to grow past this: a test that means to write more
// wants a sink, and a failed write is kinder than exhausting memory.
constexpr std::uint64_t kPlainFileLimit = std::uint64_t{1} << 30;

enum class FileKind { plain, sparse, sink };

// A file's contents: `stored` holds its leading bytes. Past them a sparse file
// reads as zero up to `length`; a sink did not keep them. For a plain file
// both agree.
struct Content {
    std::vector<std::uint8_t> stored;
    std::uint64_t length = 0;
};

}  // namespace

struct TestFileSystem::FileRecord {
    FileKind kind = FileKind::plain;
    std::uint64_t inode = 0;
    std::size_t keep = 0;  // sink: bytes below this are stored
    Content current;       // what readers see
    Content durable;       // as of the last successful flush or close
    std::uint64_t bytesWritten = 0;

    // The file's bytes as far as they can be read back.
    std::uint64_t readableEnd() const { return kind == FileKind::sink ? current.stored.size() : current.length; }

    bool read(std::uint64_t position, std::uint8_t* out, std::size_t length) const {
        std::uint64_t end = readableEnd();
        if (position > end || length > end - position) return false;
        std::size_t fromStored = 0;
        if (position < current.stored.size()) {
            fromStored = static_cast<std::size_t>(std::min<std::uint64_t>(length, current.stored.size() - position));
            std::copy_n(current.stored.begin() + static_cast<std::ptrdiff_t>(position), fromStored, out);
        }
        std::fill_n(out + fromStored, length - fromStored, std::uint8_t{0});
        return true;
    }

    // Lands the bytes; false (and nothing changed) when the file cannot take them.
    bool write(std::uint64_t position, const std::uint8_t* in, std::size_t length) {
        if (kind == FileKind::sparse) return false;
        if (position > std::numeric_limits<std::uint64_t>::max() - length) return false;
        if (length == 0) return true;
        std::uint64_t end = position + length;
        if (kind == FileKind::plain && end > kPlainFileLimit) return false;
        std::uint64_t storedEnd = kind == FileKind::sink ? std::min<std::uint64_t>(end, keep) : end;
        if (storedEnd > current.stored.size()) current.stored.resize(static_cast<std::size_t>(storedEnd));
        if (position < storedEnd) {
            std::copy_n(in, static_cast<std::size_t>(storedEnd - position),
                        current.stored.begin() + static_cast<std::ptrdiff_t>(position));
        }
        current.length = std::max(current.length, end);
        bytesWritten += length;
        return true;
    }

    // Empties the file in place (same identity) as a created one.
    void truncate(FileKind newKind, std::size_t newKeep) {
        kind = newKind;
        keep = newKeep;
        current = Content{};
        durable = Content{};
        bytesWritten = 0;
    }
};

struct TestFileSystem::State {
    struct Sink {
        std::size_t keep = 0;
        std::shared_ptr<FileRecord> file;  // the one last created there
    };

    std::map<std::string, std::shared_ptr<FileRecord>> files;
    std::map<std::string, Sink> sinks;
    std::uint64_t nextInode = 1;
    std::vector<Operation> log;
    bool faultArmed = false;
    std::size_t faultAt = 0;
    bool faultAndAfter = false;
    bool faultFired = false;

    // Counts and logs a call; true when it is to fail.
    bool begin(OpKind kind, const std::string& path, bool readOnlyHandle) {
        log.push_back(Operation{kind, path, readOnlyHandle, false});
        std::size_t n = log.size();
        bool faulted = faultArmed && (n == faultAt || (faultAndAfter && n > faultAt));
        if (faulted) faultFired = true;
        return faulted;
    }

    // Records how the call begun last came out.
    bool end(bool ok) {
        log.back().failed = !ok;
        return ok;
    }
    FileHandle end(FileHandle handle) {
        end(handle != nullptr);
        return handle;
    }

    std::shared_ptr<FileRecord> newFile(const std::string& path) {
        auto file = std::make_shared<FileRecord>();
        file->inode = nextInode++;
        files[path] = file;
        return file;
    }

    const FileRecord& file(const std::string& path) const {
        auto it = files.find(path);
        if (it == files.end()) throw std::out_of_range("TestFileSystem: no file " + path);
        return *it->second;
    }

    const Sink& sink(const std::string& path) const {
        auto it = sinks.find(path);
        if (it == sinks.end()) throw std::out_of_range("TestFileSystem: no sink " + path);
        return it->second;
    }
};

class TestFileSystem::Handle final : public OpenFile {
public:
    enum class Access { read, readWrite, write };

    Handle(std::shared_ptr<State> state, std::shared_ptr<FileRecord> file, std::string path, Access access)
        : state_(std::move(state)), file_(std::move(file)), path_(std::move(path)), access_(access) {}

    bool read(std::uint64_t position, void* buffer, std::size_t length) override {
        bool faulted = begin(OpKind::read);
        if (faulted || !open_ || access_ == Access::write) return state_->end(false);
        return state_->end(file_->read(position, static_cast<std::uint8_t*>(buffer), length));
    }

    std::int64_t readNext(void* buffer, std::size_t length) override {
        bool faulted = begin(OpKind::read);
        const std::uint64_t end = file_->readableEnd();
        const std::size_t n = static_cast<std::size_t>(next_ < end ? std::min<std::uint64_t>(length, end - next_) : 0);
        if (faulted || !open_ || access_ == Access::write || !file_->read(next_, static_cast<std::uint8_t*>(buffer), n)) {
            state_->end(false);
            return -1;
        }
        next_ += n;
        state_->end(true);
        return static_cast<std::int64_t>(n);
    }

    bool write(std::uint64_t position, const void* buffer, std::size_t length) override {
        bool faulted = begin(OpKind::write);
        if (!open_ || access_ == Access::read) return state_->end(false);
        const auto* in = static_cast<const std::uint8_t*>(buffer);
        // A write cut short by a fault still lands its first half.
        if (faulted) {
            file_->write(position, in, length / 2);
            return state_->end(false);
        }
        return state_->end(file_->write(position, in, length));
    }

    bool size(std::uint64_t& out) override {
        bool faulted = begin(OpKind::size);
        if (faulted || !open_) return state_->end(false);
        out = file_->current.length;
        return state_->end(true);
    }

    bool flush() override {
        bool faulted = begin(OpKind::flush);
        if (!open_) return state_->end(false);
        settle(!faulted);
        return state_->end(!faulted);
    }

    bool close() override {
        bool faulted = begin(OpKind::close);
        if (!open_) return state_->end(false);
        open_ = false;
        settle(!faulted);
        return state_->end(!faulted);
    }

private:
    bool begin(OpKind kind) { return state_->begin(kind, path_, access_ == Access::read); }

    // A writer's successful flush makes what readers see durable; a failed
    // one loses what was not. A reader has nothing to flush.
    void settle(bool ok) {
        if (access_ == Access::read) return;
        if (ok) {
            file_->durable = file_->current;
        } else {
            file_->current = file_->durable;
        }
    }

    std::shared_ptr<State> state_;
    std::shared_ptr<FileRecord> file_;
    std::string path_;
    Access access_;
    bool open_ = true;
    std::uint64_t next_ = 0;  // where readNext goes on
};

TestFileSystem::TestFileSystem() : state_(std::make_shared<State>()) {}
TestFileSystem::~TestFileSystem() = default;

void TestFileSystem::addFile(const std::string& path, std::vector<std::uint8_t> bytes) {
    auto file = state_->newFile(path);
    file->current.length = bytes.size();
    file->current.stored = std::move(bytes);
    file->durable = file->current;
}

void TestFileSystem::addSparseFile(const std::string& path, std::vector<std::uint8_t> prefix, std::uint64_t size) {
    auto file = state_->newFile(path);
    file->kind = FileKind::sparse;
    file->current.length = std::max<std::uint64_t>(size, prefix.size());
    file->current.stored = std::move(prefix);
    file->durable = file->current;
}

void TestFileSystem::makeSink(const std::string& path, std::size_t keep) {
    state_->sinks[path] = State::Sink{keep, {}};
}

bool TestFileSystem::has(const std::string& path) const { return state_->files.count(path) != 0; }

std::vector<std::uint8_t> TestFileSystem::bytes(const std::string& path) const {
    return state_->file(path).current.stored;
}

std::vector<std::string> TestFileSystem::paths() const {
    std::vector<std::string> out;
    for (const auto& entry : state_->files) out.push_back(entry.first);
    return out;
}

std::uint64_t TestFileSystem::sinkLength(const std::string& path) const {
    const State::Sink& sink = state_->sink(path);
    return sink.file ? sink.file->current.length : 0;
}

std::uint64_t TestFileSystem::sinkBytesWritten(const std::string& path) const {
    const State::Sink& sink = state_->sink(path);
    return sink.file ? sink.file->bytesWritten : 0;
}

void TestFileSystem::failAt(std::size_t n, bool andAfter) {
    state_->faultArmed = true;
    state_->faultAt = n;
    state_->faultAndAfter = andAfter;
    state_->faultFired = false;
}

bool TestFileSystem::faultFired() const { return state_->faultFired; }

void TestFileSystem::clearFault() {
    state_->faultArmed = false;
    state_->faultFired = false;
}

const std::vector<Operation>& TestFileSystem::log() const { return state_->log; }

std::size_t TestFileSystem::operations() const { return state_->log.size(); }

FileHandle TestFileSystem::open(const std::string& path, OpenMode mode) {
    bool readOnly = mode == OpenMode::read;
    bool faulted = state_->begin(OpKind::open, path, readOnly);
    auto it = state_->files.find(path);
    if (faulted || it == state_->files.end()) return state_->end(FileHandle{});
    auto access = readOnly ? Handle::Access::read : Handle::Access::readWrite;
    return state_->end(std::make_unique<Handle>(state_, it->second, path, access));
}

FileHandle TestFileSystem::create(const std::string& path, CreateMode mode, bool& existed) {
    existed = false;
    if (state_->begin(OpKind::create, path, false)) return state_->end(FileHandle{});
    auto it = state_->files.find(path);
    if (it != state_->files.end() && mode == CreateMode::createNew) {
        existed = true;
        return state_->end(FileHandle{});
    }
    auto file = it != state_->files.end() ? it->second : state_->newFile(path);
    auto sink = state_->sinks.find(path);
    if (sink != state_->sinks.end()) {
        file->truncate(FileKind::sink, sink->second.keep);
        sink->second.file = file;
    } else {
        file->truncate(FileKind::plain, 0);
    }
    // Write-only, as the operating system's created files are.
    return state_->end(std::make_unique<Handle>(state_, file, path, Handle::Access::write));
}

bool TestFileSystem::remove(const std::string& path) {
    if (state_->begin(OpKind::remove, path, false)) return state_->end(false);
    return state_->end(state_->files.erase(path) != 0);
}

Lookup TestFileSystem::identity(const std::string& path, FileIdentity& out) {
    if (state_->begin(OpKind::identity, path, false)) {
        state_->end(false);
        return Lookup::failed;
    }
    auto it = state_->files.find(path);
    if (it == state_->files.end()) {
        state_->end(false);
        return Lookup::missing;
    }
    out = FileIdentity{1, it->second->inode};
    state_->end(true);
    return Lookup::found;
}
