#include "common/file_ops.h"

#include "common/message.h"
#include "platform/path.h"

namespace {

constexpr Msg kAllocError{"Out of memeory.\n", "Brak pamieci operacyjnej.\n"};
constexpr Msg kOpenError{"Open error, file %s.\n", "Błąd otwarcia pliku %s.\n"};
constexpr Msg kReadError{"Read error, file %s.\n", "Błąd odczytu pliku %s.\n"};
constexpr Msg kWriteError{"Write error, file %s.\n", "Błąd zapisu pliku %s.\n"};
constexpr Msg kSeekError{"Seek error, file %s.\n", "Błąd seek, plik %s.\n"};
constexpr Msg kOutputExists{"Output file already exist, file %s.\n", "Plik wyjściowy już istnieje, plik %s.\n"};
constexpr Msg kCreateError{"Create output file error, file %s.\n", "Błąd utworzenia pliku wyjścioweg %s.\n"};
constexpr Msg kReadStructureError{"Read structure error, file %s.\n", "Błąd odczytu struktury, plik %s.\n"};
constexpr Msg kWriteStructureError{"Write structure error, file %s.\n", "Błąd zapisu struktury, plik %s.\n"};
constexpr Msg kOutputIsInput{"Output file is one of the input files, file %s.\n",
                             "Plik wyjściowy jest jednym z plików wejściowych, plik %s.\n"};

}  // namespace

void reportAllocError() { say(kAllocError); }
void reportWriteError(const std::string& name) { say(kWriteError, name); }
void reportWriteError(FileText name) { say(kWriteError, name); }
void reportReadError(const std::string& name) { say(kReadError, name); }
void reportSeekError(const std::string& name) { say(kSeekError, name); }
void reportOpenError(const std::string& name) { say(kOpenError, name); }
void reportReadStructureError(const std::string& name) { say(kReadStructureError, name); }
void reportWriteStructureError(const std::string& name) { say(kWriteStructureError, name); }

FileHandle openChecked(const std::string& path, OpenMode mode) {
    FileHandle f = fileSystem().open(path, mode);
    if (!f) reportOpenError(path);
    return f;
}

bool readChecked(OpenFile& file, const std::string& path, std::uint64_t position, void* buffer, std::size_t length) {
    if (length == 0 || file.read(position, buffer, length)) return true;
    reportReadError(path);
    return false;
}

bool writeChecked(OpenFile& file, const std::string& path, std::uint64_t position, const void* buffer,
                  std::size_t length) {
    if (length == 0 || file.write(position, buffer, length)) return true;
    reportWriteError(path);
    return false;
}

bool closeChecked(FileHandle& file, const std::string& path) {
    if (!file) return true;
    bool ok = file->close();
    file.reset();
    if (!ok) reportWriteError(path);
    return ok;
}

std::string outputPath(const OutputPlace& place, const std::string& name) {
    if (place.dir.empty()) return name;
    std::string full = place.dir;
    if (!platformEndsInSeparator(full)) full += platformSeparator;
    return full + name;
}

int outputHasFile(const OutputPlace& place, const std::string& name, const FileIdentity* same) {
    FileIdentity id;
    const std::string full = outputPath(place, name);
    switch (fileSystem().identity(full, id)) {
    case Lookup::found: return !same || id == *same ? 1 : 0;
    case Lookup::missing: return 0;
    default: say(kCreateError, full); return -1;
    }
}

FileHandle createOutput(const OutputPlace& place, const std::string& name, CreateMode mode, std::string& fullPath,
                        bool* existed, bool quietExisting) {
    fullPath = outputPath(place, name);
    if (existed) *existed = false;
    // A new file cannot be an input; a replaced one could be, under any name.
    if (mode == CreateMode::replace && !place.inputs.empty()) {
        FileIdentity id;
        Lookup found = fileSystem().identity(fullPath, id);
        if (found == Lookup::failed) {
            say(kCreateError, fullPath);
            return nullptr;
        }
        for (const FileIdentity& input : place.inputs)
            if (found == Lookup::found && input == id) {
                say(kOutputIsInput, fullPath);
                return nullptr;
            }
    }
    bool taken = false;
    FileHandle f = fileSystem().create(fullPath, mode, taken);
    if (f) return f;
    if (taken) {
        if (!quietExisting) say(kOutputExists, fullPath);
        if (existed) *existed = true;
    } else {
        say(kCreateError, fullPath);
    }
    return nullptr;
}

PendingOutput& PendingOutput::operator=(PendingOutput&& other) noexcept {
    if (this != &other) {
        discard();
        file_ = std::move(other.file_);
        path_ = std::move(other.path_);
    }
    return *this;
}

bool PendingOutput::finish(bool whole) {
    if (!file_) return false;
    bool closed = file_->close();
    file_.reset();
    if (whole && !closed) reportWriteError(path_);
    if (whole && closed) return true;
    fileSystem().remove(path_);
    return false;
}

void PendingOutput::discard() noexcept {
    if (!file_) return;
    file_.reset();
    fileSystem().remove(path_);
}

bool writeWholeOutput(const OutputPlace& place, const std::string& name, const void* bytes, std::size_t size) {
    std::string full;
    FileHandle created = createOutput(place, name, CreateMode::replace, full);
    if (!created) return false;
    // Owned at once: nothing may allocate between creating and owning it.
    PendingOutput out(std::move(created), std::move(full));
    return out.finish(writeChecked(out.file(), out.path(), 0, bytes, size));
}
