// The map-file reader.
#pragma once

// Reads one map file into the symbol table, then sorts the table.
void read_map_file(const char* path);
// Closes a map file that a failed read left open.
void reset_map_file();
