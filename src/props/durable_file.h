// Replacing a small file so that a crash or a full disk leaves either the
// old file or the new one whole: the bytes go to a temporary file beside it,
// are synced, and the temporary file is renamed over the old one.
#pragma once

#include <string>

enum class ReplaceResult { replaced, failed, stoppedByHook };

// Called with the temporary file's path just before the rename; returning
// false leaves it there and the old file as it was (tests stop a save there).
using ReplaceHook = bool (*)(const char* tempPath);

// makeFolders: create the missing folders above path first, private to the
// player as the XDG base directory rules ask.
ReplaceResult replaceFile(const std::string& path, const std::string& bytes, bool makeFolders,
                          ReplaceHook hook = nullptr);
