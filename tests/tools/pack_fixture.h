// Test helpers for the content tools: a scratch folder of source files and a
// way to run orvane-pack in-process and read what it printed.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "pack_cli.h"
#include "pack_content.h"

// A fresh folder under the temp dir, removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvane-pack-XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    path_ = mkdtemp(buf.data());
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  void write(const std::string& name, const std::string& text) const {
    std::filesystem::path p(*this / name);
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
  }
  std::vector<unsigned char> read(const std::string& name) const {
    std::ifstream in(*this / name, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
  }
  bool exists(const std::string& name) const { return std::filesystem::exists(*this / name); }

 private:
  std::string path_;
};

struct ToolRun {
  int code = -1;
  std::string out, err;
};

inline std::string drain(std::FILE* f) {
  std::string text;
  std::rewind(f);
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  std::fclose(f);
  return text;
}

inline ToolRun runTool(const std::vector<std::string>& args) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  ToolRun run;
  run.code = runPackTool(args, out, err);
  run.out = drain(out);
  run.err = drain(err);
  return run;
}

// The archive the packer writes for content; a failure of the test if it
// refuses.
inline std::vector<unsigned char> encode(const PackContent& content) {
  std::vector<unsigned char> out;
  std::string error;
  EXPECT_TRUE(encodeArchive(content, out, error)) << error;
  return out;
}
