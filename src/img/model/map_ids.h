// Map IDs shared by two maps: the join and the mapset index both warn about
// them in the same words.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct MapIdRow {
    std::uint32_t id = 0;
    std::uint32_t number = 0;      // the map's file number, where the caller has one
    const void* owner = nullptr;   // the input the map came from
    std::string path;              // shown in the warning; empty: none
};

// Sorts the rows by ID (equal IDs keep their order) and warns once for every
// pair of neighbours with the same ID, naming their files.
void sortMapIds(std::vector<MapIdRow>& rows);
