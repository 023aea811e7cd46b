#include "img/input_reader.h"

#include "common/file_ops.h"

bool readInput(InputFile& input) {
    if (!openInput(input, "rb")) {
        input.status = 1;
        return false;
    }
    if (seek64(input.stream.get(), 0, SEEK_END) != 0) {
        reportSeekError(input.path);
        input.status = 2;
        closeInput(input);
        return false;
    }
    std::int64_t size = platformTell(input.stream.get());
    input.size = size < 0 ? ~std::uint64_t{0} : static_cast<std::uint64_t>(size);
    closeInput(input);
    input.status = 0;
    return true;
}
