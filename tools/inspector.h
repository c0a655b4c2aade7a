// The archive inspector: lists every record of a data.dat image and says
// exactly where a damaged one goes wrong.
#pragma once

#include <cstddef>
#include <string>

// Appends one line per record to out, each prefixed with the byte offset at
// which the record starts. Returns false for a damaged archive; its last line
// then reads "error at byte N: ...". Allocates nothing in proportion to the
// sizes the archive announces.
bool listArchive(const unsigned char* data, size_t size, std::string& out);
