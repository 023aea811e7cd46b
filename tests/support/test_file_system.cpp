#include "support/test_file_system.h"

#include <algorithm>
#include <map>
#include <utility>

// A plain file refuses to grow past this: a test that means to write more
// wants a sink, and a failed write is kinder than exhausting memory.
constexpr std::uint64_t kPlainFileLimit = std::uint64_t{1} << 30;

struct TestFileSystem::File {
    std::uint64_t inode = 0;
    enum Kind { plain, sparse, sink } kind = plain;
    std::uint64_t keep = kPlainFileLimit;  // bytes below this are stored
    // `stored` holds the leading bytes: past them a sparse file reads as zero
    // up to `length`, a sink did not keep them.
    struct Content {
        std::vector<std::uint8_t> stored;
        std::uint64_t length = 0;
    } now, flushed;  // what readers see; as of the last successful flush or close

    std::uint64_t readableEnd() const { return kind == sink ? now.stored.size() : now.length; }

    bool read(std::uint64_t at, std::uint8_t* out, std::size_t n) const {
        if (at > readableEnd() || n > readableEnd() - at) return false;
        const std::size_t have = at < now.stored.size() ? std::min<std::size_t>(n, now.stored.size() - at) : 0;
        std::copy_n(now.stored.data() + (have ? at : 0), have, out);
        std::fill_n(out + have, n - have, std::uint8_t{0});
        return true;
    }

    // Lands the bytes; false, with nothing changed, when the file cannot take them.
    bool write(std::uint64_t at, const std::uint8_t* in, std::size_t n) {
        if (kind == sparse || at > UINT64_MAX - n || (kind == plain && at + n > keep)) return false;
        if (n == 0) return true;
        const std::uint64_t storedEnd = std::min(at + n, keep);
        if (storedEnd > now.stored.size()) now.stored.resize(storedEnd);
        if (at < storedEnd) std::copy_n(in, storedEnd - at, now.stored.data() + at);
        now.length = std::max(now.length, at + n);
        return true;
    }
};

struct TestFileSystem::State {
    std::map<std::string, std::shared_ptr<File>> files;
    std::map<std::string, std::pair<std::size_t, std::shared_ptr<File>>> sinks;  // keep, the file last created
    std::uint64_t inodes = 0;
    std::vector<Operation> log;
    std::size_t faultFrom = 0, faultTo = 0;  // the operations that fail: none while faultTo is 0
    bool faultFired = false;

    // Logs a call; true when it is to fail.
    bool begin(OpKind kind, const std::string& path, bool readOnly) {
        log.push_back({kind, path, readOnly, false});
        const bool faulted = faultFrom <= log.size() && log.size() <= faultTo;
        faultFired = faultFired || faulted;
        return faulted;
    }

    // Records how the call begun last came out.
    template <class Result>
    Result end(Result result) {
        log.back().failed = !result;
        return result;
    }

    // The file at `path` emptied: the same file if `sameFile` and there is one.
    std::shared_ptr<File> fresh(const std::string& path, bool sameFile) {
        std::shared_ptr<File>& file = files[path];
        const std::uint64_t inode = file && sameFile ? file->inode : ++inodes;
        if (!file || !sameFile) file = std::make_shared<File>();
        *file = File();
        file->inode = inode;
        return file;
    }
};

class TestFileSystem::Handle final : public OpenFile {
public:
    enum Access { reader, updater, writer };

    Handle(std::shared_ptr<State> state, std::shared_ptr<File> file, std::string path, Access access)
        : state_(std::move(state)), file_(std::move(file)), path_(std::move(path)), access_(access) {}

    bool read(std::uint64_t position, void* buffer, std::size_t length) override {
        return state_->end(usable(OpKind::read) && access_ != writer &&
                           file_->read(position, static_cast<std::uint8_t*>(buffer), length));
    }

    std::int64_t readNext(void* buffer, std::size_t length) override {
        const std::uint64_t end = file_->readableEnd();
        const std::size_t n = next_ < end ? static_cast<std::size_t>(std::min<std::uint64_t>(length, end - next_)) : 0;
        if (!read(next_, buffer, n)) return -1;
        next_ += n;
        return static_cast<std::int64_t>(n);
    }

    bool write(std::uint64_t position, const void* buffer, std::size_t length) override {
        const bool faulted = state_->begin(OpKind::write, path_, access_ == reader);
        if (!open_ || access_ == reader) return state_->end(false);
        // A write cut short by a fault still lands its first half.
        const auto* in = static_cast<const std::uint8_t*>(buffer);
        return state_->end(file_->write(position, in, faulted ? length / 2 : length) && !faulted);
    }

    bool size(std::uint64_t& out) override {
        if (!usable(OpKind::size)) return state_->end(false);
        out = file_->now.length;
        return state_->end(true);
    }

    bool flush() override { return settle(OpKind::flush); }
    bool close() override { return settle(OpKind::close); }

private:
    bool usable(OpKind kind) { return !state_->begin(kind, path_, access_ == reader) && open_; }

    // A writer's successful flush or close makes what readers see durable; a
    // failed one loses what was not. A reader has nothing to flush.
    bool settle(OpKind kind) {
        const bool faulted = state_->begin(kind, path_, access_ == reader);
        if (!open_) return state_->end(false);
        open_ = kind != OpKind::close;
        if (access_ != reader && faulted) file_->now = file_->flushed;
        if (access_ != reader && !faulted) file_->flushed = file_->now;
        return state_->end(!faulted);
    }

    std::shared_ptr<State> state_;
    std::shared_ptr<File> file_;
    std::string path_;
    Access access_;
    bool open_ = true;
    std::uint64_t next_ = 0;  // where readNext goes on
};

TestFileSystem::TestFileSystem() : state_(std::make_shared<State>()) {}
TestFileSystem::~TestFileSystem() = default;

void TestFileSystem::addFile(const std::string& path, std::vector<std::uint8_t> bytes) {
    addSparseFile(path, std::move(bytes), 0);
    state_->files[path]->kind = File::plain;  // nothing past its bytes, and it takes writes
}

void TestFileSystem::addSparseFile(const std::string& path, std::vector<std::uint8_t> prefix, std::uint64_t size) {
    File& file = *state_->fresh(path, false);
    file.kind = File::sparse;
    file.now.length = std::max<std::uint64_t>(size, prefix.size());
    file.now.stored = std::move(prefix);
    file.flushed = file.now;
}

void TestFileSystem::makeSink(const std::string& path, std::size_t keep) { state_->sinks[path] = {keep, nullptr}; }

bool TestFileSystem::has(const std::string& path) const { return state_->files.count(path) != 0; }

std::vector<std::uint8_t> TestFileSystem::bytes(const std::string& path) const {
    return state_->files.at(path)->now.stored;
}

std::vector<std::string> TestFileSystem::paths() const {
    std::vector<std::string> out;
    for (const auto& entry : state_->files) out.push_back(entry.first);
    return out;
}

std::uint64_t TestFileSystem::sinkLength(const std::string& path) const {
    const auto& file = state_->sinks.at(path).second;
    return file ? file->now.length : 0;
}

void TestFileSystem::failAt(std::size_t n, bool andAfter) {
    state_->faultFrom = n;
    state_->faultTo = andAfter ? SIZE_MAX : n;
    state_->faultFired = false;
}

bool TestFileSystem::faultFired() const { return state_->faultFired; }

void TestFileSystem::clearFault() { failAt(0); }

const std::vector<Operation>& TestFileSystem::log() const { return state_->log; }

FileHandle TestFileSystem::open(const std::string& path, OpenMode mode) {
    const bool reading = mode == OpenMode::read;
    const bool faulted = state_->begin(OpKind::open, path, reading);
    const auto it = state_->files.find(path);
    if (faulted || it == state_->files.end()) return state_->end(FileHandle{});
    return state_->end(std::make_unique<Handle>(state_, it->second, path, reading ? Handle::reader : Handle::updater));
}

FileHandle TestFileSystem::create(const std::string& path, CreateMode mode, bool& existed) {
    const bool faulted = state_->begin(OpKind::create, path, false);
    existed = !faulted && has(path) && mode == CreateMode::createNew;
    if (faulted || existed) return state_->end(FileHandle{});
    std::shared_ptr<File> file = state_->fresh(path, true);
    if (auto sink = state_->sinks.find(path); sink != state_->sinks.end()) {
        file->kind = File::sink;
        file->keep = sink->second.first;
        sink->second.second = file;
    }
    // Write-only, as the operating system's created files are.
    return state_->end(std::make_unique<Handle>(state_, file, path, Handle::writer));
}

bool TestFileSystem::remove(const std::string& path) {
    return state_->end(!state_->begin(OpKind::remove, path, false) && state_->files.erase(path) != 0);
}

Lookup TestFileSystem::identity(const std::string& path, FileIdentity& out) {
    const bool faulted = state_->begin(OpKind::identity, path, false);
    const auto it = state_->files.find(path);
    if (!state_->end(!faulted && it != state_->files.end())) return faulted ? Lookup::failed : Lookup::missing;
    out = FileIdentity{1, it->second->inode};
    return Lookup::found;
}
