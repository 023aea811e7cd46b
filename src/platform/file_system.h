// Every file operation of a run goes through this interface: the program's
// own code never reaches an operating-system handle. Besides the real file
// system, tests install one that holds files in memory and fails on request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Which file a path names: device and inode (POSIX) or their equivalent.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// One open file. Transfers are positioned and exact: the caller keeps the
// position, and a short read or write is a failure. Small writes may be
// gathered and reach the file at the next flush(), close() or other transfer,
// where a failure to write them is reported; large transfers go straight
// through.
class OpenFile {
public:
    virtual ~OpenFile() = default;
    virtual bool read(std::uint64_t position, void* buffer, std::size_t length) = 0;
    // Reads on from where the last readNext ended (the start at first), for
    // files that may be pipes: the bytes read, 0 at the end, -1 on failure.
    virtual std::int64_t readNext(void* buffer, std::size_t length) = 0;
    virtual bool write(std::uint64_t position, const void* buffer, std::size_t length) = 0;
    virtual bool size(std::uint64_t& out) = 0;
    virtual bool flush() = 0;
    // Releases the file; false when what was written may not have reached it.
    // Every call after close() fails.
    virtual bool close() = 0;
};

// Closes on destruction, without a report; call close() where it matters.
using FileHandle = std::unique_ptr<OpenFile>;

enum class OpenMode { read, update };

// What a look-up of a path found; `failed` is neither: the caller cannot
// know whether the file is there.
enum class Lookup { found, missing, failed };
enum class CreateMode {
    replace,    // truncate an existing file
    createNew,  // fail when the name exists in any form (never follows a link)
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual FileHandle open(const std::string& path, OpenMode mode) = 0;
    // On failure `existed` tells whether createNew found the name taken.
    virtual FileHandle create(const std::string& path, CreateMode mode, bool& existed) = 0;
    virtual bool remove(const std::string& path) = 0;
    // Whether a path names a file now (following links), and which one.
    virtual Lookup identity(const std::string& path, FileIdentity& out) = 0;
};

// The file system of the run: the operating system's unless a test installed
// another one.
FileSystem& fileSystem();

// Installs `fs` (nullptr: the operating system's again); returns the one
// installed before.
FileSystem* installFileSystem(FileSystem* fs);
