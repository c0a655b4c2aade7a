// Installed tables: one folder per table in the engine's share folder, found
// from where the executable itself lies, and the per-user folder that keeps
// each installed table's saves.
#pragma once

#include <string>
#include <vector>

// The table the engine will run.
struct Table {
  std::string directory;   // the data directory
  std::string saveFolder;  // installed: the player's folder for save.dat ("" if none can be named)
  bool installed = false;  // false: save.dat lives in the data directory, as ever
};

// The folder of the installed tables, relative to the folder of the running
// executable (`relative` is fixed at build time by the install layout).
std::string installedTablesFolder(const std::string& relative);
// The tables installed in folder: its subfolders that hold data.dat, sorted.
std::vector<std::string> installedTables(const std::string& folder);
// Prints the installed tables with their menu names, or that there are none.
void printInstalledTables(const std::string& folder);

// The table `orvane` plays when given none.
inline constexpr const char* defaultTable = "default";

// A table's name in the desktop's menu: "Orvane" for the default table,
// else "Orvane: " and the folder name with its first letter raised and
// dashes and underscores as spaces ("Orvane: Comet").
std::string tableMenuName(const std::string& table);
// The desktop entry that starts the table; icon names its icon ("orvane" for
// the engine's own).
std::string tableDesktopEntry(const std::string& table, const std::string& icon);

// The table for the data directory given on the command line: that directory
// when it is a folder (relative to the working directory, or absolute); else
// the installed table of that name when `given` is a plain name of one; else
// `given` as it is, which fails as any missing data directory does.
Table chooseTable(const std::string& given, const std::string& installedFolder,
                  const char* xdgDataHome, const char* home);

// The player's folder for the saves of an installed table:
// $XDG_DATA_HOME/orvane/<table>, or $HOME/.local/share/orvane/<table> when
// XDG_DATA_HOME is unset or not absolute; "" when neither can be used.
std::string userSaveFolder(const std::string& table, const char* xdgDataHome, const char* home);
