// Recognising an IMG container and loading its header and FAT.
#pragma once

#include <cstdint>
#include <vector>

#include "img/container/container_file.h"

enum class ContainerResult { accepted, notImg, failed };

// Reads the header and FAT of a file that is open and whose size is known.
// notImg: the caller tries the file as a single subfile, with its first bytes
// (at most 16384) left in probe; failed: the message has been printed.
// verbose adds the note on a header length that is not a whole block.
ContainerResult readContainer(ContainerFile& file, std::vector<std::uint8_t>& probe, bool verbose);
