// The orvane-pack command line, as a function so tests can run it in-process.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// args excludes the program name. Listings and notes go to out, errors to
// err. Returns the exit code: 0 on success, 1 on any error, 2 on bad usage.
int runPackTool(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);
