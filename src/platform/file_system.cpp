#include "platform/file_system.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32

// Windows: the runtime's streams with 64-bit positions and their buffering.
class OsFile final : public OpenFile {
public:
    explicit OsFile(std::FILE* f) : f_(f) {}
    void adopt(std::FILE* f) { f_ = f; }
    ~OsFile() override {
        if (f_) std::fclose(f_);
    }
    bool read(std::uint64_t position, void* buffer, std::size_t length) override {
        return f_ && _fseeki64(f_, static_cast<__int64>(position), SEEK_SET) == 0 &&
               std::fread(buffer, 1, length, f_) == length;
    }
    std::int64_t readNext(void* buffer, std::size_t length) override {
        if (!f_ || _fseeki64(f_, next_, SEEK_SET) != 0) return -1;
        std::size_t n = std::fread(buffer, 1, length, f_);
        if (n == 0 && std::ferror(f_)) return -1;
        next_ += static_cast<__int64>(n);
        return static_cast<std::int64_t>(n);
    }
    bool write(std::uint64_t position, const void* buffer, std::size_t length) override {
        return f_ && _fseeki64(f_, static_cast<__int64>(position), SEEK_SET) == 0 &&
               std::fwrite(buffer, 1, length, f_) == length;
    }
    bool size(std::uint64_t& out) override {
        if (!f_ || _fseeki64(f_, 0, SEEK_END) != 0) return false;
        __int64 n = _ftelli64(f_);
        if (n < 0) return false;
        out = static_cast<std::uint64_t>(n);
        return true;
    }
    bool flush() override { return f_ && std::fflush(f_) == 0; }
    bool close() override {
        if (!f_) return false;
        bool ok = std::fclose(f_) == 0;
        f_ = nullptr;
        return ok;
    }

private:
    std::FILE* f_;
    __int64 next_ = 0;
};

// The handle first: a file must not be created that nothing owns.
FileHandle openStream(const std::string& path, const char* mode) {
    auto file = std::make_unique<OsFile>(nullptr);
    std::FILE* f = std::fopen(path.c_str(), mode);
    if (!f) return nullptr;
    file->adopt(f);
    return file;
}

class OsFileSystem final : public FileSystem {
public:
    FileHandle open(const std::string& path, OpenMode mode) override {
        return openStream(path, mode == OpenMode::read ? "rb" : "r+b");
    }
    FileHandle create(const std::string& path, CreateMode mode, bool& existed) override {
        errno = 0;
        FileHandle f = openStream(path, mode == CreateMode::replace ? "wb" : "wbx");
        existed = !f && mode == CreateMode::createNew && errno == EEXIST;
        return f;
    }
    bool remove(const std::string& path) override { return std::remove(path.c_str()) == 0; }
    Lookup identity(const std::string& path, FileIdentity& out) override {
        HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            DWORD e = GetLastError();
            return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? Lookup::missing : Lookup::failed;
        }
        BY_HANDLE_FILE_INFORMATION info;
        bool ok = GetFileInformationByHandle(h, &info) != 0;
        CloseHandle(h);
        if (!ok) return Lookup::failed;
        out.device = info.dwVolumeSerialNumber;
        out.inode = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
        return Lookup::found;
    }
};

#else

static_assert(sizeof(off_t) == 8, "64-bit file positions are required");

// POSIX: positioned transfers on the descriptor, repeated until the whole
// length is done (a signal may cut a transfer short). Small writes that
// follow each other are gathered into one, so a writer that pads every
// subfile to its block does not pay a system call per piece; large ones go
// straight through.
class OsFile final : public OpenFile {
public:
    explicit OsFile(int fd) : fd_(fd) {}
    void adopt(int fd) { fd_ = fd; }
    ~OsFile() override {
        if (fd_ >= 0) {
            writePending();
            ::close(fd_);
        }
    }
    bool read(std::uint64_t position, void* buffer, std::size_t length) override {
        if (!writePending()) return false;
        auto* p = static_cast<char*>(buffer);
        while (length > 0) {
            if (fd_ < 0 || position > static_cast<std::uint64_t>(INT64_MAX)) return false;
            ssize_t n = ::pread(fd_, p, length, static_cast<off_t>(position));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            p += n;
            position += static_cast<std::uint64_t>(n);
            length -= static_cast<std::size_t>(n);
        }
        return fd_ >= 0;
    }
    std::int64_t readNext(void* buffer, std::size_t length) override {
        for (;;) {
            ssize_t n = fd_ >= 0 ? ::read(fd_, buffer, length) : -1;
            if (n < 0 && errno == EINTR) continue;
            return n;
        }
    }
    bool write(std::uint64_t position, const void* buffer, std::size_t length) override {
        if (fd_ < 0) return false;
        const auto* p = static_cast<const char*>(buffer);
        if (length >= kDirect) return writePending() && writeAll(position, p, length);
        if (!pending_.empty() && (position != pendingAt_ + pending_.size() || pending_.size() + length > kGather) &&
            !writePending())
            return false;
        if (pending_.empty()) {
            pending_.reserve(kGather);
            pendingAt_ = position;
        }
        pending_.insert(pending_.end(), p, p + length);
        return true;
    }
    bool size(std::uint64_t& out) override {
        // Seeking tells a pipe or terminal (no size) from a file.
        off_t n = fd_ >= 0 && writePending() ? ::lseek(fd_, 0, SEEK_END) : -1;
        if (n < 0) return false;
        out = static_cast<std::uint64_t>(n);
        return true;
    }
    bool flush() override { return fd_ >= 0 && writePending(); }
    bool close() override {
        if (fd_ < 0) return false;
        bool ok = writePending();
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 && ok;
    }

private:
    static constexpr std::size_t kGather = 1 << 20;
    static constexpr std::size_t kDirect = 64 << 10;

    bool writeAll(std::uint64_t position, const char* p, std::size_t length) {
        while (length > 0) {
            if (position > static_cast<std::uint64_t>(INT64_MAX)) return false;
            ssize_t n = ::pwrite(fd_, p, length, static_cast<off_t>(position));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            p += n;
            position += static_cast<std::uint64_t>(n);
            length -= static_cast<std::size_t>(n);
        }
        return true;
    }

    // What was gathered goes out; it is dropped either way, so a failure is
    // reported once.
    bool writePending() {
        if (pending_.empty()) return true;
        bool ok = writeAll(pendingAt_, pending_.data(), pending_.size());
        pending_.clear();
        return ok;
    }

    int fd_;
    std::vector<char> pending_;
    std::uint64_t pendingAt_ = 0;
};

FileHandle openDescriptor(const std::string& path, int flags, mode_t mode = 0) {
    // The handle first: a file must not be created that nothing owns.
    auto file = std::make_unique<OsFile>(-1);
    int fd;
    do fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return nullptr;
    file->adopt(fd);
    return file;
}

class OsFileSystem final : public FileSystem {
public:
    FileHandle open(const std::string& path, OpenMode mode) override {
        return openDescriptor(path, mode == OpenMode::read ? O_RDONLY : O_RDWR);
    }
    FileHandle create(const std::string& path, CreateMode mode, bool& existed) override {
        // O_EXCL never truncates and never follows a link, dangling or not.
        int flags = O_WRONLY | O_CREAT | (mode == CreateMode::replace ? O_TRUNC : O_EXCL);
        errno = 0;
        FileHandle f = openDescriptor(path, flags, 0666);
        existed = !f && mode == CreateMode::createNew && errno == EEXIST;
        return f;
    }
    bool remove(const std::string& path) override { return ::unlink(path.c_str()) == 0; }
    Lookup identity(const std::string& path, FileIdentity& out) override {
        struct stat st;
        if (::stat(path.c_str(), &st) != 0)
            return errno == ENOENT || errno == ENOTDIR ? Lookup::missing : Lookup::failed;
        out.device = static_cast<std::uint64_t>(st.st_dev);
        out.inode = static_cast<std::uint64_t>(st.st_ino);
        return Lookup::found;
    }
};

#endif

OsFileSystem osFileSystem;
FileSystem* current = &osFileSystem;

}  // namespace

FileSystem& fileSystem() { return *current; }

FileSystem* installFileSystem(FileSystem* fs) {
    FileSystem* before = current == &osFileSystem ? nullptr : current;
    current = fs ? fs : &osFileSystem;
    return before;
}
