#pragma once

// libgsf as an independent reader and writer of compound files, to check ours against.

#include <string>

#include "spreadsheet/cfb/CompoundFile.h"

namespace cfbtest {

// Reads a compound file with libgsf into our tree type (names, kinds, storages' CLSIDs, stream
// data; libgsf does not report state bits or times). Returns false with the reason on failure.
bool ReadWithGsf(const std::string& bytes, spreadsheet::cfb::Entry* root, std::string* error);

// Writes the tree with libgsf's writer in 512- or 4096-byte sectors.
std::string WriteWithGsf(const spreadsheet::cfb::Entry& root, int sectorSize);

}  // namespace cfbtest
