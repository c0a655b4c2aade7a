// Finding installed tables and the player's folder for their saves.
//
// The tables folder is looked for beside the executable rather than at a
// path fixed at build time, so an installed tree works wherever it was
// unpacked: under /usr from the package, /usr/local, /opt or a test's DESTDIR.
#include "app/tables.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool isFolder(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A name that stays one folder below the tables folder.
bool isPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

bool isTable(const std::string& folder) {
  return isFile(folder + "/data.dat");
}

}  // namespace

std::string installedTablesFolder(const std::string& relative) {
  std::error_code error;
  fs::path executable = fs::read_symlink("/proc/self/exe", error);
  if (error || executable.empty()) return "";
  return (executable.parent_path() / relative).lexically_normal().string();
}

std::vector<std::string> installedTables(const std::string& folder) {
  std::vector<std::string> names;
  if (folder.empty()) return names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    if (isPlainName(name) && isTable(folder + "/" + name)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void printInstalledTables(const std::string& folder) {
  std::vector<std::string> names = installedTables(folder);
  if (names.empty()) {
    std::printf("No tables installed in '%s'\n", folder.c_str());
    return;
  }
  std::printf("Installed tables in '%s':\n", folder.c_str());
  for (const std::string& name : names)
    std::printf("  %s (%s)\n", name.c_str(), tableMenuName(name).c_str());
}

std::string tableMenuName(const std::string& table) {
  if (table == defaultTable) return "Orvane";
  std::string title = table;
  for (char& c : title)
    if (c == '-' || c == '_') c = ' ';
  if (!title.empty() && title[0] >= 'a' && title[0] <= 'z') title[0] = char(title[0] - 'a' + 'A');
  return "Orvane: " + title;
}

std::string tableDesktopEntry(const std::string& table, const std::string& icon) {
  // The default table starts with no argument, as the player types it.
  std::string exec = table == defaultTable ? "orvane" : "orvane " + table;
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=" +
         tableMenuName(table) +
         "\n"
         "GenericName=Pinball\n"
         "Comment=Play pinball on a physics-driven table\n"
         "Exec=" +
         exec +
         "\n"
         "Icon=" +
         icon +
         "\n"
         "Terminal=false\n"
         "Categories=Game;ArcadeGame;\n"
         "Keywords=pinball;flipper;arcade;table;\n";
}

Table chooseTable(const std::string& given, const std::string& installedFolder,
                  const char* xdgDataHome, const char* home) {
  Table table;
  table.directory = given;
  if (isFolder(given) || installedFolder.empty() || !isPlainName(given)) return table;
  std::string installed = installedFolder + "/" + given;
  if (!isTable(installed)) return table;
  table.directory = installed;
  table.installed = true;
  table.saveFolder = userSaveFolder(given, xdgDataHome, home);
  return table;
}

std::string userSaveFolder(const std::string& table, const char* xdgDataHome, const char* home) {
  // The XDG rules ignore a relative XDG_DATA_HOME.
  if (xdgDataHome && xdgDataHome[0] == '/') return std::string(xdgDataHome) + "/orvane/" + table;
  if (home && home[0] == '/') return std::string(home) + "/.local/share/orvane/" + table;
  return "";
}
