// orvane-pack: "MANIFEST.lua -o OUT/data.dat [--fix-winding] [--depfile F]"
// packs content; "--list data.dat" inspects an archive.
#include "pack_cli.h"

#include "inspector.h"
#include "manifest.h"

namespace {

const char* const kUsage =
    "usage: orvane-pack MANIFEST.lua -o OUT/data.dat [--fix-winding] [--depfile FILE]\n"
    "       orvane-pack --list data.dat\n"
    "       orvane-pack --help\n";

// Make-style dependency list, escaping spaces as make and ninja expect.
std::string depfileText(const std::string& output, const std::vector<std::string>& inputs) {
  auto escape = [](const std::string& s) {
    std::string r;
    for (char c : s) {
      if (c == ' ' || c == '#') r += '\\';
      if (c == '$') r += '$';
      r += c;
    }
    return r;
  };
  std::string text = escape(output) + ":";
  for (const std::string& in : inputs) text += " \\\n  " + escape(in);
  return text + "\n";
}

int listCommand(const std::string& path, std::FILE* out, std::FILE* err) {
  std::vector<unsigned char> bytes;
  std::string error;
  if (!readWholeFile(path, bytes, error)) {
    std::fprintf(err, "orvane-pack: %s\n", error.c_str());
    return 1;
  }
  std::string listing;
  bool ok = listArchive(bytes.data(), bytes.size(), listing);
  std::fputs(listing.c_str(), out);
  return ok ? 0 : 1;
}

int packCommand(const std::string& manifest, const std::string& output, const std::string& depfile,
                std::FILE* out, std::FILE* err) {
  PackContent content;
  PackReport report;
  std::string error;
  bool ok = loadManifest(manifest, content, report, error);
  for (const std::string& note : report.notes) std::fprintf(out, "note: %s\n", note.c_str());
  for (const std::string& warning : report.warnings)
    std::fprintf(err, "orvane-pack: warning: %s\n", warning.c_str());
  std::vector<unsigned char> bytes;
  if (ok) ok = encodeArchive(content, bytes, error);
  if (ok) ok = writeFileAtomically(output, bytes, error);
  if (ok && !depfile.empty()) {
    std::string text = depfileText(output, report.inputs);
    ok = writeFileAtomically(depfile, std::vector<unsigned char>(text.begin(), text.end()), error);
  }
  if (!ok) {
    std::fprintf(err, "orvane-pack: %s\n", error.c_str());
    return 1;
  }
  std::fprintf(
      out,
      "Packed %zu textures, %zu sounds, %zu fonts, %zu masks, %zu scenes into '%s' (%zu bytes)\n",
      content.textures.size(), content.sounds.size(), content.fonts.size(), content.masks.size(),
      content.scenes.size(), output.c_str(), bytes.size());
  return 0;
}

}  // namespace

int runPackTool(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  std::string manifest, output, depfile, list;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool hasValue = i + 1 < args.size();
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, out);
      return 0;
    } else if (a == "--list" && hasValue && list.empty()) {
      list = args[++i];
    } else if (a == "-o" && hasValue && output.empty()) {
      output = args[++i];
    } else if (a == "--depfile" && hasValue && depfile.empty()) {
      depfile = args[++i];
    } else if (a == "--fix-winding") {
      // Outlines are always turned round now; older build scripts still pass it.
    } else if (!a.empty() && a[0] != '-' && manifest.empty()) {
      manifest = a;
    } else {
      std::fprintf(err, "orvane-pack: unexpected argument '%s'\n%s", a.c_str(), kUsage);
      return 2;
    }
  }
  if (!list.empty() && manifest.empty() && output.empty()) return listCommand(list, out, err);
  if (list.empty() && !manifest.empty() && !output.empty())
    return packCommand(manifest, output, depfile, out, err);
  std::fputs(kUsage, err);
  return 2;
}
