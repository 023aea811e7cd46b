// The small file handle every file of the program goes through, and the
// platform's 64-bit positioning.
#pragma once

#include <cstdint>
#include <cstdio>

// Owns a C stream; closes it on destruction. close() reports whether the
// final flush and close succeeded.
class File {
public:
    File() = default;
    explicit File(std::FILE* f) : f_(f) {}
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept : f_(other.f_) { other.f_ = nullptr; }
    File& operator=(File&& other) noexcept;
    ~File();

    std::FILE* get() const { return f_; }
    bool isOpen() const { return f_ != nullptr; }
    explicit operator bool() const { return f_ != nullptr; }
    bool close();

private:
    std::FILE* f_ = nullptr;
};

// fopen with the platform's large-file support.
File platformOpen(const char* path, const char* mode);

// Creates a new file for binary writing; fails when the name already exists
// in any form (file, directory, dangling link). existed tells that case apart.
File platformCreateNew(const char* path, bool& existed);

// fseek/ftell with 64-bit positions; 0 on success like fseek.
int platformSeek(std::FILE* f, std::int64_t offset, int origin);
std::int64_t platformTell(std::FILE* f);

// Whether two paths name the same existing file (same device and inode).
bool platformSameFile(const char* a, const char* b);
