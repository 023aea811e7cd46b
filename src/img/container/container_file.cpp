#include "img/container/container_file.h"

#include <cstring>

#include "common/bytes.h"
#include "common/date.h"
#include "common/file_ops.h"

bool openContainer(ContainerFile& file, OpenMode mode) {
    file.handle = openChecked(file.path, mode);
    return file.handle != nullptr;
}

void closeContainer(ContainerFile& file) {
    if (file.handle) file.handle->close();
    file.handle.reset();
}

bool closePatched(ContainerFile& file) { return closeChecked(file.handle, file.path); }

bool readAt(ContainerFile& file, std::uint8_t* buffer, std::uint64_t position, std::size_t length) {
    if (!file.handle) {
        reportReadError(file.path);
        return false;
    }
    if (!readChecked(*file.handle, file.path, position, buffer, length)) return false;
    xorBuffer(buffer, length, file.img.xorMask);
    return true;
}

bool writeAt(ContainerFile& file, const std::uint8_t* buffer, std::uint64_t position, std::size_t length) {
    if (!file.handle) {
        reportWriteError(file.path);
        return false;
    }
    if (file.img.xorMask == 0) return writeChecked(*file.handle, file.path, position, buffer, length);
    std::vector<std::uint8_t> scrambled;
    if (!allocChecked(scrambled, length)) return false;
    std::copy(buffer, buffer + length, scrambled.begin());
    xorBuffer(scrambled.data(), length, file.img.xorMask);
    return writeChecked(*file.handle, file.path, position, scrambled.data(), length);
}

void xorBuffer(std::uint8_t* buffer, std::size_t length, std::uint32_t mask) {
    if (mask == 0) return;
    for (std::size_t i = 0; i < length; ++i) buffer[i] ^= static_cast<std::uint8_t>(mask >> (8 * (i & 3)));
}

std::string containerDescription(const ImgHeader& img, bool firstStays) {
    const std::vector<std::uint8_t>& h = img.headerBytes;
    if (h.size() < 0x65 + 30) return {};
    std::string d(reinterpret_cast<const char*>(h.data() + 0x49), 20);
    d.append(reinterpret_cast<const char*>(h.data() + 0x65), 30);
    std::size_t length = 0;
    for (std::size_t i = firstStays ? 1 : 0; i < d.size(); ++i)
        if (static_cast<unsigned char>(d[i]) > 32) length = i + 1;
    d.resize(length);
    // Copied text ends at an inner NUL, as a reader of the copy would end it.
    return d.substr(0, d.find('\0'));
}

void putHeaderDate(std::uint8_t* h) {
    h[0x0A] = currentDate.month;
    h[0x0B] = static_cast<std::uint8_t>(currentDate.year - 1900);
    putU16(h + 0x39, currentDate.year);
    h[0x3B] = currentDate.month;
    h[0x3C] = currentDate.day;
    h[0x3D] = currentDate.hour;
    h[0x3E] = currentDate.minute;
    h[0x3F] = currentDate.second;
}

void putHeaderDescription(std::uint8_t* h, const std::string& text) {
    std::string d = text.substr(0, 50);
    d.resize(50, ' ');
    std::memcpy(h + 0x49, d.data(), 20);
    std::memcpy(h + 0x65, d.data() + 20, 30);
}
