#include "common/options.h"

Options options;

void resetOptions() {
    options = Options{};
    options.priority = 255;
}
