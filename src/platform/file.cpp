#include "platform/file.h"

#include <cerrno>

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
