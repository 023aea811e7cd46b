#include "platform/file.h"

#include <cerrno>

#include <sys/stat.h>

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (f_) std::fclose(f_);
        f_ = other.f_;
        other.f_ = nullptr;
    }
    return *this;
}

File::~File() {
    if (f_) std::fclose(f_);
}

bool File::close() {
    if (!f_) return true;
    bool ok = std::fflush(f_) == 0;
    ok = std::fclose(f_) == 0 && ok;
    f_ = nullptr;
    return ok;
}

File platformOpen(const char* path, const char* mode) { return File(std::fopen(path, mode)); }

File platformCreateNew(const char* path, bool& existed) {
    errno = 0;
    // "x" (C11) opens with O_CREAT|O_EXCL: never truncates and never follows a link.
    std::FILE* f = std::fopen(path, "wbx");
    existed = f == nullptr && errno == EEXIST;
    return File(f);
}

#ifdef _WIN32
int platformSeek(std::FILE* f, std::int64_t offset, int origin) { return _fseeki64(f, offset, origin); }
std::int64_t platformTell(std::FILE* f) { return _ftelli64(f); }
#else
int platformSeek(std::FILE* f, std::int64_t offset, int origin) {
    static_assert(sizeof(off_t) == 8, "64-bit file positions are required");
    return fseeko(f, static_cast<off_t>(offset), origin);
}
std::int64_t platformTell(std::FILE* f) { return ftello(f); }
#endif

#ifdef _WIN32
bool platformSameFile(const char* a, const char* b) {
    char fa[_MAX_PATH], fb[_MAX_PATH];
    if (!_fullpath(fa, a, sizeof fa) || !_fullpath(fb, b, sizeof fb)) return false;
    struct _stat64 sa, sb;
    if (_stat64(fa, &sa) != 0 || _stat64(fb, &sb) != 0) return false;
    return _stricmp(fa, fb) == 0;
}
#else
bool platformSameFile(const char* a, const char* b) {
    struct stat sa, sb;
    if (stat(a, &sa) != 0 || stat(b, &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}
#endif
