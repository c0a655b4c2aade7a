// The script errors of a run: written once, repeats counted, the panel's
// text and the totals at shutdown.
#include "script/error_log.h"

#include <algorithm>

namespace {

// The panel's font is small; these keep it a corner of the screen.
constexpr size_t panelColumns = 56;
constexpr int panelMessageLines = 4;

bool startsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

// The message cut into lines of at most panelColumns, at spaces where it can.
std::vector<std::string> wrap(const std::string& message) {
  std::vector<std::string> lines;
  std::string line;
  auto flush = [&] {
    lines.push_back(line);
    line.clear();
  };
  for (char c : message) {
    if (c == '\n') {
      flush();
      continue;
    }
    line += c == '\t' ? ' ' : c;
    if (line.size() <= panelColumns) continue;
    size_t cut = line.rfind(' ', panelColumns);
    if (cut == std::string::npos || cut == 0) cut = panelColumns;
    std::string rest = line.substr(cut);
    line.erase(cut);
    flush();
    line = rest.erase(0, rest.find_first_not_of(' '));
  }
  if (!line.empty() || lines.empty()) flush();
  return lines;
}

}  // namespace

std::string errorHeadline(const ScriptError& error) {
  if (error.place.empty() || startsWith(error.message, error.place + ":")) return error.message;
  return error.place + ": " + error.message;
}

void ErrorLog::add(int table, const ScriptError& error, bool always) {
  if (++total_ == 1) first_ = errorHeadline(error);
  auto same = [&](const Entry& e) {
    return e.table == table && e.error.place == error.place && e.error.message == error.message;
  };
  auto found = std::find_if(entries_.begin(), entries_.end(), same);
  if (found != entries_.end() && !always) {
    ++found->count;
    return;
  }
  if (found != entries_.end()) {
    ++found->count;
    found->reported = found->count;
    found->reportedAt = steps_;
  } else if (entries_.size() < maxKept) {
    entries_.push_back(Entry{table, error, 1, 1, steps_});
  } else {
    ++unlisted_;
    return;
  }
  std::fprintf(out_, "Lua error: %s\n", errorHeadline(error).c_str());
  if (!error.traceback.empty()) std::fprintf(out_, "stack traceback:\n%s", error.traceback.c_str());
}

void ErrorLog::step() {
  ++steps_;
  for (Entry& e : entries_)
    if (steps_ - e.reportedAt >= repeatReportSteps) reportRepeats(e);
  if (steps_ - unlistedAt_ >= repeatReportSteps) reportUnlisted();
}

void ErrorLog::forget(int table) {
  for (Entry& e : entries_)
    if (e.table == table) reportRepeats(e);
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                [&](const Entry& e) { return e.table == table; }),
                 entries_.end());
  reportUnlisted();
}

void ErrorLog::reportRepeats(Entry& entry) {
  if (entry.count == entry.reported) return;
  entry.reported = entry.count;
  entry.reportedAt = steps_;
  long repeats = entry.count - 1;
  std::fprintf(out_, "Lua error: %s (repeated %ld %s)\n", errorHeadline(entry.error).c_str(),
               repeats, repeats == 1 ? "time" : "times");
}

void ErrorLog::reportUnlisted() {
  if (unlisted_ == unlistedReported_) return;
  unlistedReported_ = unlisted_;
  unlistedAt_ = steps_;
  std::fprintf(out_, "Lua error: %ld more errors of kinds not listed one by one\n", unlisted_);
}

std::string ErrorLog::panelText(int table) const {
  const Entry* first = nullptr;
  int others = 0;
  for (const Entry& e : entries_) {
    if (e.table != table) continue;
    if (first)
      ++others;
    else
      first = &e;
  }
  if (!first) return "";
  const ScriptError& error = first->error;
  std::string text = "Script error";
  if (!error.place.empty()) text += " at " + error.place;
  if (first->count > 1) text += " (" + std::to_string(first->count) + " times)";
  text += "\n";
  std::string message = error.message;
  if (!error.place.empty() && startsWith(message, error.place + ": "))
    message.erase(0, error.place.size() + 2);
  std::vector<std::string> lines = wrap(message);
  if (int(lines.size()) > panelMessageLines) {
    lines.resize(panelMessageLines);
    lines.back() += " ...";
  }
  for (const std::string& line : lines) text += line + "\n";
  if (others > 0)
    text +=
        "and " + std::to_string(others) + (others == 1 ? " other error" : " other errors") + "; ";
  text += "F9 hides this";
  return text;
}

std::string ErrorLog::summary() const {
  if (total_ == 0) return "";
  return "Lua errors in this run: " + std::to_string(total_) + "; the first: " + first_;
}
