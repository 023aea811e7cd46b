// File and memory operations that print their own message when they fail and
// report the failure to the caller. None of them ends the process.
#pragma once

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/message.h"
#include "platform/file_system.h"

// Sizes a buffer; prints the out-of-memory message and returns false when it
// cannot be had.
template <class T>
bool allocChecked(std::vector<T>& buffer, std::size_t count);

void reportAllocError();
void reportWriteError(const std::string& name);
void reportWriteError(FileText name);
void reportReadError(const std::string& name);
void reportSeekError(const std::string& name);
void reportOpenError(const std::string& name);
void reportReadStructureError(const std::string& name);
void reportWriteStructureError(const std::string& name);

// Opens a file ("Open error" on failure).
FileHandle openChecked(const std::string& path, OpenMode mode);

// Exact positioned transfers ("Read error" / "Write error" on failure).
bool readChecked(OpenFile& file, const std::string& path, std::uint64_t position, void* buffer, std::size_t length);
bool writeChecked(OpenFile& file, const std::string& path, std::uint64_t position, const void* buffer,
                  std::size_t length);

// Closes a written file: "Write error" when what was written may be lost.
bool closeChecked(FileHandle& file, const std::string& path);

// Where outputs go, and the files they must never replace.
struct OutputPlace {
    std::string dir;                   // empty: names are used as they are
    std::vector<FileIdentity> inputs;  // the run's input files
};

// The full name of an output: the directory, a separator where it has none
// at its end, the name.
std::string outputPath(const OutputPlace& place, const std::string& name);

// Whether the output directory holds a file of this name (and, when `same`
// is given, whether that file is this one): 1 yes, 0 no, -1 when the look-up
// failed ("Create output file error" printed: the output cannot be made
// safely).
int outputHasFile(const OutputPlace& place, const std::string& name, const FileIdentity* same = nullptr);

// The one way an output is created. An output that would replace one of the
// inputs is refused ("Output file is one of the input files"), as is one
// whose file cannot be looked up; with createNew an existing name is never
// truncated or followed ("Output file already exist", with *existed set, so
// the caller can tell it from a real failure; quietExisting leaves the
// message to the caller). fullPath receives the name used.
FileHandle createOutput(const OutputPlace& place, const std::string& name, CreateMode mode, std::string& fullPath,
                        bool* existed = nullptr, bool quietExisting = false);

// An output that counts only when it is finished whole: unless finish(true)
// closed it successfully, it is removed, also when the run unwinds after an
// allocation failure. A half-written file would look whole to a later run.
class PendingOutput {
public:
    PendingOutput() = default;
    PendingOutput(FileHandle file, std::string path) : file_(std::move(file)), path_(std::move(path)) {}
    PendingOutput(PendingOutput&& other) noexcept = default;
    PendingOutput& operator=(PendingOutput&& other) noexcept;
    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;
    ~PendingOutput() { discard(); }

    explicit operator bool() const { return file_ != nullptr; }
    OpenFile& file() { return *file_; }
    const std::string& path() const { return path_; }

    // Closes the file; keeps it when `whole` and the close succeeded ("Write
    // error" otherwise), removes it otherwise. True when the file was kept.
    bool finish(bool whole);

private:
    void discard() noexcept;
    FileHandle file_;
    std::string path_;
};

// Creates (or replaces) an output and writes all of `bytes` into it; a file
// that cannot be written whole is removed. False (message printed) on any
// failure.
bool writeWholeOutput(const OutputPlace& place, const std::string& name, const void* bytes, std::size_t size);

template <class T>
bool allocChecked(std::vector<T>& buffer, std::size_t count) {
    try {
        buffer.resize(count);
        return true;
    } catch (const std::bad_alloc&) {
        reportAllocError();
        return false;
    } catch (const std::length_error&) {
        reportAllocError();
        return false;
    }
}
