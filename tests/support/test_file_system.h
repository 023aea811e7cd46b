// An in-memory file system for tests. Files are keyed by the path exactly as
// given, every call is counted and logged, any call can be made to fail, and
// files behave like a disk behind a cache: a failed flush or close loses what
// was written since the last successful one.
//
// Not thread-safe: operations are numbered in call order.
#pragma once

#include <cstddef>
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

class TestFileSystem final : public FileSystem {
public:
    TestFileSystem();
    ~TestFileSystem() override;
    TestFileSystem(const TestFileSystem&) = delete;
    TestFileSystem& operator=(const TestFileSystem&) = delete;

    // Setting up and inspecting; none of these is an operation.

    // Adds or replaces a file (a new file as far as identity() is concerned).
    void addFile(const std::string& path, std::vector<std::uint8_t> bytes);
    // A file of `size` bytes (at least the prefix) that reads as zero past
    // `prefix`, without holding them. Writes into it fail.
    void addSparseFile(const std::string& path, std::vector<std::uint8_t> prefix, std::uint64_t size);
    // Every later create() of `path` makes a file that accepts writes of any
    // position and length but stores only the bytes below `keep`; reads
    // reaching past what it stored fail.
    void makeSink(const std::string& path, std::size_t keep = 65536);

    bool has(const std::string& path) const;
    // What a reader would see now; for a sparse file or a sink only the bytes
    // it stores. Throws std::out_of_range for a missing path.
    std::vector<std::uint8_t> bytes(const std::string& path) const;
    std::vector<std::string> paths() const;  // sorted

    // Of the file last created at a makeSink() path, even after its removal:
    // its size (the highest end written, unless a failed flush or close took
    // the file back) and the bytes its successful or partly landed writes
    // carried. 0 before the first create; std::out_of_range if not a sink.
    std::uint64_t sinkLength(const std::string& path) const;
    std::uint64_t sinkBytesWritten(const std::string& path) const;

    // Operation n (numbered from 1) fails, and with `andAfter` every one
    // after it too. Replaces any earlier fault and resets faultFired().
    void failAt(std::size_t n, bool andAfter = false);
    bool faultFired() const;
    void clearFault();  // no more failures; faultFired() is false again

    const std::vector<Operation>& log() const;
    std::size_t operations() const;

    FileHandle open(const std::string& path, OpenMode mode) override;
    FileHandle create(const std::string& path, CreateMode mode, bool& existed) override;
    bool remove(const std::string& path) override;
    Lookup identity(const std::string& path, FileIdentity& out) override;

private:
    struct FileRecord;
    struct State;
    class Handle;

    // Shared with the handles, which may outlive this object.
    std::shared_ptr<State> state_;
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
