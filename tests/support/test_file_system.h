// An in-memory file system for tests. Files are keyed by the path exactly as
// given, every call is logged and can be made to fail, and files behave like
// a disk behind a cache: a failed write lands its first half, and a failed
// flush or close loses what was written since the last successful one.
// Not thread-safe: operations are numbered in call order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"

enum class OpKind { open, create, remove, identity, read, write, size, flush, close };

struct Operation {
    OpKind kind;
    std::string path;
    bool readOnlyHandle = false;  // on a handle from open(read), or the open(read) call itself
    bool failed = false;          // the call reported failure, injected or not
};

class TestFileSystem : public FileSystem {
public:
    TestFileSystem();
    ~TestFileSystem() override;
    TestFileSystem(const TestFileSystem&) = delete;
    TestFileSystem& operator=(const TestFileSystem&) = delete;

    // Setting up and inspecting; none of these is an operation. addFile adds
    // or replaces a file (a new file as far as identity() is concerned).
    void addFile(const std::string& path, std::vector<std::uint8_t> bytes);
    // A read-only file of `size` bytes that reads as zero past `prefix`.
    void addSparseFile(const std::string& path, std::vector<std::uint8_t> prefix, std::uint64_t size);
    // Every later create() of `path` makes a file that takes writes anywhere
    // but stores only the bytes below `keep`; reads past them fail.
    void makeSink(const std::string& path, std::size_t keep = 65536);
    bool has(const std::string& path) const;
    // What a reader would see (of a sparse file or sink, the stored bytes).
    std::vector<std::uint8_t> bytes(const std::string& path) const;  // std::out_of_range if missing
    std::vector<std::string> paths() const;  // sorted
    // The size of the file last created at a makeSink() path, even after its removal.
    std::uint64_t sinkLength(const std::string& path) const;

    // Operation n (numbered from 1) fails, and with `andAfter` every one after
    // it too. Replaces any earlier fault and resets faultFired().
    void failAt(std::size_t n, bool andAfter = false);
    bool faultFired() const;
    void clearFault();  // no more failures; faultFired() is false again
    const std::vector<Operation>& log() const;
    std::size_t operations() const { return log().size(); }

    FileHandle open(const std::string& path, OpenMode mode) override;
    FileHandle create(const std::string& path, CreateMode mode, bool& existed) override;
    bool remove(const std::string& path) override;
    Lookup identity(const std::string& path, FileIdentity& out) override;

private:
    struct File;
    struct State;
    class Handle;
    std::shared_ptr<State> state_;  // shared with the handles, which may outlive this object
};

// Installs a file system for the scope's lifetime, then puts the previous one
// back. The file system must outlive the scope.
class ScopedFileSystem {
public:
    explicit ScopedFileSystem(FileSystem& fs) : previous_(installFileSystem(&fs)) {}
    ~ScopedFileSystem() { installFileSystem(previous_); }
    ScopedFileSystem(const ScopedFileSystem&) = delete;
    ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

private:
    FileSystem* previous_;
};

// A test file system installed for its own lifetime.
struct InstalledFileSystem : TestFileSystem {
    ScopedFileSystem scope{*this};
};
