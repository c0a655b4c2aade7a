// The default controls, the controls file's lines and the key state that
// held keys and buttons give.
#include "app/controls.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "app/input.h"
#include "app/small_file.h"

namespace {

constexpr const char* controllerPrefix = "controller:";
constexpr size_t maxFileBytes = 64 * 1024;  // a controls file is a dozen lines

// The controller half of the default layout, by SDL's names.
const struct {
  GameKey key;
  const char* inputs;
} defaultPad[] = {
    {KeyLeft, "dpleft"},
    {KeyRight, "dpright"},
    {KeyUp, "dpup"},
    {KeyDown, "dpdown"},
    {KeyLpad, "leftshoulder lefttrigger"},
    {KeyRpad, "rightshoulder righttrigger"},
    {KeyLaunch, "a"},
    {KeyPush, "b"},
    {KeyStart1, "start"},
    {KeyStart2, "back+start"},
};

std::string trim(const std::string& s) {
  size_t begin = s.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return "";
  size_t end = s.find_last_not_of(" \t\r");
  return s.substr(begin, end - begin + 1);
}

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

// A controller button, axis or button chord ("back+start") by SDL's names.
bool parseControllerInput(const std::string& name, ControlInput& input) {
  std::string first = name, second;
  size_t plus = name.find('+');
  if (plus != std::string::npos) {
    first = trim(name.substr(0, plus));
    second = trim(name.substr(plus + 1));
  }
  if (!second.empty()) {
    input = {ControlInput::Button, buttonNamed(second), buttonNamed(first)};
    return input.code >= 0 && input.with >= 0 && input.code != input.with;
  }
  if (plus != std::string::npos) return false;
  if (int button = buttonNamed(first); button >= 0) {
    input = {ControlInput::Button, button, -1};
    return true;
  }
  input = {ControlInput::Axis, axisNamed(first), -1};
  return input.code >= 0;
}

// One item of a line: a keyboard key or "controller:..."; the fault when it
// names nothing.
bool parseInput(const std::string& item, ControlInput& input, std::string& fault) {
  if (lower(item).rfind(controllerPrefix, 0) == 0) {
    std::string name = lower(trim(item.substr(std::string(controllerPrefix).size())));
    if (parseControllerInput(name, input)) return true;
    fault = "no controller button or axis named '" + name + "'";
    return false;
  }
  int code = keyCodeNamed(item);
  if (code > 0 && isEngineKey(code)) {
    fault = "'" + item + "' is an engine key";
    return false;
  }
  if (code > 0) {
    input = {ControlInput::Keyboard, code, -1};
    return true;
  }
  fault = "no key named '" + item + "'";
  return false;
}

GameKey gameKeyNamed(const std::string& name) {
  for (int k = 0; k < gameKeyCount; ++k)
    if (name == gameKeyNames[k]) return GameKey(k);
  return KeyNone;
}

// Sets the line's key and returns "", or returns the fault; key is the game
// key the line names, KeyNone when it names none.
std::string readLine(Controls& controls, const std::string& line, const std::string& origin,
                     GameKey& key) {
  key = KeyNone;
  size_t equals = line.find('=');
  if (equals == std::string::npos) return "expected 'key = inputs'";
  std::string name = trim(line.substr(0, equals));
  key = gameKeyNamed(name);
  if (key == KeyNone) return "no game key named '" + name + "'";
  std::vector<ControlInput> inputs;
  std::stringstream items(line.substr(equals + 1));
  for (std::string item; std::getline(items, item, ',');) {
    item = trim(item);
    ControlInput input;
    std::string fault;
    if (item.empty()) return "an empty input in the list";
    if (!parseInput(item, input, fault)) return fault;
    if (std::find(inputs.begin(), inputs.end(), input) == inputs.end()) inputs.push_back(input);
  }
  if (inputs.empty()) return "no inputs after '='";
  controls.inputs[key] = inputs;
  controls.origin[key] = origin;
  return "";
}

std::string describe(const ControlInput& input) {
  switch (input.device) {
    case ControlInput::Keyboard:
      return keyName(input.code);
    case ControlInput::Button:
      return std::string(controllerPrefix) + (input.with >= 0 ? buttonName(input.with) + "+" : "") +
             buttonName(input.code);
    case ControlInput::Axis:
      return controllerPrefix + axisName(input.code);
  }
  return "";
}

}  // namespace

Controls defaultControls() {
  Controls controls;
  for (const KeyBinding* row = keyBindings; row->code != 0; ++row)
    controls.inputs[row->key].push_back({ControlInput::Keyboard, row->code, -1});
  for (const auto& row : defaultPad) {
    std::stringstream names(row.inputs);
    for (std::string name; names >> name;) {
      ControlInput input;
      if (parseControllerInput(name, input)) controls.inputs[row.key].push_back(input);
    }
  }
  for (std::string& origin : controls.origin) origin = "default";
  return controls;
}

void readControls(Controls& controls, const std::string& text, const std::string& path) {
  const Controls defaults = defaultControls();
  std::stringstream lines(text);
  int number = 0;
  for (std::string line; std::getline(lines, line);) {
    ++number;
    line = trim(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    std::string origin = path + ":" + std::to_string(number);
    GameKey key;
    std::string fault = readLine(controls, line, origin, key);
    if (fault.empty()) continue;
    if (key == KeyNone) {
      std::printf("[CONTROLS] %s: %s; the line is ignored\n", origin.c_str(), fault.c_str());
      continue;
    }
    controls.inputs[key] = defaults.inputs[key];
    controls.origin[key] = defaults.origin[key];
    std::printf("[CONTROLS] %s: %s; %s keeps its defaults\n", origin.c_str(), fault.c_str(),
                gameKeyNames[key]);
  }
}

void readControlsFile(Controls& controls, const std::string& path) {
  std::string text;
  switch (readSmallFile(path, maxFileBytes, text)) {
    case SmallFile::missing:
      return;
    case SmallFile::refused:
      std::printf(
          "[CONTROLS] '%s' is not a controls file of at most %zu bytes; the defaults are used\n",
          path.c_str(), maxFileBytes);
      return;
    case SmallFile::unreadable:
      std::printf("[CONTROLS] '%s' cannot be read; the defaults are used\n", path.c_str());
      return;
    case SmallFile::read:
      readControls(controls, text, path);
      return;
  }
}

std::string describeControls(const Controls& controls, const std::string& path) {
  std::string out = "Controls file: '" + path + "'\n";
  for (int k = 0; k < gameKeyCount; ++k) {
    std::string inputs;
    for (const ControlInput& input : controls.inputs[k])
      inputs += (inputs.empty() ? "" : ", ") + describe(input);
    out +=
        std::string("  ") + gameKeyNames[k] + " = " + inputs + "  (" + controls.origin[k] + ")\n";
  }
  return out;
}

HeldInputs::Pad& HeldInputs::pad(int id) {
  for (Pad& p : pads_)
    if (p.id == id) return p;
  pads_.push_back({id, 0, 0});
  return pads_.back();
}

void HeldInputs::key(int code, bool down) {
  auto at = std::find(keys_.begin(), keys_.end(), code);
  if (down && at == keys_.end()) keys_.push_back(code);
  if (!down && at != keys_.end()) keys_.erase(at);
}

void HeldInputs::button(int id, int button, bool down) {
  if (button < 0 || button >= 32) return;
  uint32_t bit = 1u << button;
  Pad& p = pad(id);
  p.buttons = down ? p.buttons | bit : p.buttons & ~bit;
}

void HeldInputs::axis(int id, int axis, int value) {
  if (axis < 0 || axis >= 32) return;
  uint32_t bit = 1u << axis;
  Pad& p = pad(id);
  if (value >= axisPressed) p.axes |= bit;
  if (value <= axisReleased) p.axes &= ~bit;
}

void HeldInputs::removePad(int id) {
  pads_.erase(std::remove_if(pads_.begin(), pads_.end(), [&](const Pad& p) { return p.id == id; }),
              pads_.end());
}

KeyState HeldInputs::keys(const Controls& controls) const {
  KeyState state;
  for (const Pad& p : pads_) {
    // Buttons that are part of a held chord count only for the chord.
    uint32_t taken = 0;
    for (const auto& inputs : controls.inputs)
      for (const ControlInput& in : inputs)
        if (in.device == ControlInput::Button && in.with >= 0 && (p.buttons >> in.code & 1) &&
            (p.buttons >> in.with & 1))
          taken |= 1u << in.code | 1u << in.with;
    for (int k = 0; k < gameKeyCount; ++k)
      for (const ControlInput& in : controls.inputs[k]) {
        if (in.device == ControlInput::Button)
          state[k] |= in.with >= 0 ? (p.buttons >> in.code & 1) && (p.buttons >> in.with & 1)
                                   : ((p.buttons & ~taken) >> in.code & 1) != 0;
        if (in.device == ControlInput::Axis) state[k] |= (p.axes >> in.code & 1) != 0;
      }
  }
  for (int k = 0; k < gameKeyCount; ++k)
    for (const ControlInput& in : controls.inputs[k])
      if (in.device == ControlInput::Keyboard &&
          std::find(keys_.begin(), keys_.end(), in.code) != keys_.end())
        state[k] = true;
  return state;
}
