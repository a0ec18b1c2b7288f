#include "boards/board_file.h"

#include "boards/check.h"
#include "boards/text.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <initializer_list>
#include <set>
#include <tuple>

namespace boards {

// The boards that come with the program, made from the board files at build time.
extern const std::vector<std::pair<std::string_view, std::string_view>> kBuiltInBoards;

namespace {

using Json = nlohmann::ordered_json;

// A fault in a board file, with where it is; turned into a message at the top.
struct Fault {
  std::string text;
};

// Reads the fields of one JSON object, in terms of the board file.
class Fields {
public:
  // `allowed` names every field the object may have; with none given, any is let through.
  Fields(const Json& json, std::string where, std::initializer_list<std::string_view> allowed)
      : json_(json), where_(std::move(where)) {
    if (!json.is_object()) {
      throw Fault{where_ + " must be an object"};
    }
    for (const auto& [key, value] : json.items()) {
      if (allowed.size() != 0 && std::find(allowed.begin(), allowed.end(), key) == allowed.end()) {
        throw Fault{where_ + ": unknown field " + Quoted(key)};
      }
    }
  }

  [[nodiscard]] const std::string& where() const { return where_; }
  [[nodiscard]] bool Has(const char* key) const { return json_.contains(key); }

  const Json& Get(const char* key, bool wire = false) const {
    if (!json_.contains(key)) {
      throw Fault{where_ + ": missing " + (wire ? "wire " : "field ") + Quoted(key)};
    }
    return json_.at(key);
  }

  std::string String(const char* key) const {
    const Json& value = Get(key);
    if (!value.is_string()) {
      throw Fault{where_ + ": " + Quoted(key) + " must be a text"};
    }
    return value.get<std::string>();
  }
  std::string String(const char* key, std::string fallback) const {
    return Has(key) ? String(key) : fallback;
  }

  double Number(const char* key) const {
    const Json& value = Get(key);
    if (!value.is_number()) {
      throw Fault{where_ + ": " + Quoted(key) + " must be a number"};
    }
    return value.get<double>();
  }
  double Number(const char* key, double fallback) const {
    return Has(key) ? Number(key) : fallback;
  }

  unsigned Count(const char* key) const { return CountOf(Get(key), key); }
  unsigned Count(const char* key, unsigned fallback) const {
    return Has(key) ? Count(key) : fallback;
  }
  unsigned CountOf(const Json& value, std::string_view what) const {
    if (!value.is_number_unsigned() || value.get<std::uint64_t>() > 1'000'000) {
      throw Fault{where_ + ": " + Quoted(what) + " must be a whole number of 0 or more"};
    }
    return value.get<unsigned>();
  }

  bool Flag(const char* key, bool fallback) const {
    if (!Has(key)) {
      return fallback;
    }
    const Json& value = Get(key);
    if (!value.is_boolean()) {
      throw Fault{where_ + ": " + Quoted(key) + " must be true or false"};
    }
    return value.get<bool>();
  }

  OutputPin Output(const char* key) const {
    const std::string text = Wire(key);
    const auto pin = ParseOutputPin(text);
    if (!pin) {
      throw Fault{where_ + ": " + Quoted(key) +
                  " must be an output pin, rom:P:B or ram:L:C:B, not " + Quoted(text)};
    }
    return *pin;
  }
  std::optional<OutputPin> OptionalOutput(const char* key) const {
    return Has(key) ? std::optional(Output(key)) : std::nullopt;
  }

  InputPin Input(const char* key) const { return InputOf(Wire(key), key); }
  InputPin InputOf(const std::string& text, std::string_view what) const {
    const auto pin = ParseInputPin(text);
    if (!pin) {
      throw Fault{where_ + ": " + Quoted(what) + " must be an input pin, test or rom:P:B, not " +
                  Quoted(text)};
    }
    return *pin;
  }

  std::vector<std::string> Texts(const char* key) const {
    std::vector<std::string> texts;
    if (!Has(key)) {
      return texts;
    }
    const Json& value = Get(key);
    if (!value.is_array() ||
        !std::all_of(value.begin(), value.end(), [](const Json& j) { return j.is_string(); })) {
      throw Fault{where_ + ": " + Quoted(key) + " must be a list of texts"};
    }
    for (const Json& text : value) {
      texts.push_back(text.get<std::string>());
    }
    return texts;
  }

  const Json& List(const char* key) const {
    const Json& value = Get(key);
    if (!value.is_array()) {
      throw Fault{where_ + ": " + Quoted(key) + " must be a list"};
    }
    return value;
  }

  PanelPlace Place() const {
    PanelPlace place;
    place.label = String("label", "");
    if (Has("at")) {
      const Json& at = Get("at");
      if (!at.is_array() || at.size() != 2 || !at[0].is_number_unsigned() ||
          !at[1].is_number_unsigned() || at[0].get<unsigned>() > 99 || at[1].get<unsigned>() > 99) {
        throw Fault{where_ + ": \"at\" must be [row, column] on the panel, each 0-99"};
      }
      place.row = at[0].get<int>();
      place.column = at[1].get<int>();
    }
    return place;
  }

private:
  std::string Wire(const char* key) const {
    const Json& value = Get(key, true);
    if (!value.is_string()) {
      throw Fault{where_ + ": " + Quoted(key) + " must be a pin written as a text"};
    }
    return value.get<std::string>();
  }

  const Json& json_;
  std::string where_;
};

simulate::SerialFormat Format(const Fields& fields) {
  const std::string text = fields.String("format", "8N1");
  const auto format = simulate::ParseSerialFormat(text);
  if (!format) {
    throw Fault{fields.where() + ": \"format\" must be a frame such as 8N1, not " + Quoted(text)};
  }
  return *format;
}

PartKind ShiftRegister(const Json& json, const std::string& where) {
  const Fields f(json, where, {"name", "kind", "clock", "data", "chips"});
  return ShiftRegisterPart{f.Output("clock"), f.Output("data"), f.Count("chips", 1)};
}

PartKind KeyMatrix(const Json& json, const std::string& where) {
  const Fields f(json, where, {"name", "kind", "columns", "active", "rows", "keys"});
  KeyMatrixPart part;
  part.columns = f.String("columns");
  const std::string active = f.String("active", "low");
  if (active != "low" && active != "high") {
    throw Fault{where + ": \"active\" must be \"low\" or \"high\", not " + Quoted(active)};
  }
  part.activeLow = active == "low";
  for (const std::string& row : f.Texts("rows")) {
    part.rows.push_back(f.InputOf(row, "rows"));
  }
  if (!f.Has("rows")) {
    (void)f.Get("rows", true);
  }
  const Json& keys = f.List("keys");
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const std::string keyWhere = where + ", key " + std::to_string(i + 1);
    const Fields k(keys[i], keyWhere, {"name", "aliases", "column", "row", "at", "label"});
    MatrixKey key;
    key.name = k.String("name");
    key.aliases = k.Texts("aliases");
    key.column = k.Count("column");
    key.row = k.Count("row");
    key.place = k.Place();
    part.keys.push_back(std::move(key));
  }
  return part;
}

PartKind Switch(const Json& json, const std::string& where) {
  const Fields f(json, where,
                 {"name", "kind", "label", "matrix", "column", "positions", "position"});
  SwitchPart part;
  part.label = f.String("label", "");
  part.matrix = f.String("matrix");
  part.column = f.Count("column");
  const Json& positions = f.Get("positions");
  if (!positions.is_object()) {
    throw Fault{where + ": \"positions\" must map each position's name to the rows it closes"};
  }
  for (const auto& [name, rows] : positions.items()) {
    const unsigned value = f.CountOf(rows, name);
    if (value > 255) {
      throw Fault{where + ": position " + Quoted(name) + " closes rows beyond row 7"};
    }
    part.positions.emplace_back(name, static_cast<std::uint8_t>(value));
  }
  if (f.Has("position")) {
    const std::string start = f.String("position");
    const auto found = std::find_if(part.positions.begin(), part.positions.end(),
                                    [&start](const auto& p) { return p.first == start; });
    if (found == part.positions.end()) {
      throw Fault{where + ": \"position\" names no position: " + Quoted(start)};
    }
    part.position = static_cast<std::size_t>(found - part.positions.begin());
  }
  return part;
}

PartKind Button(const Json& json, const std::string& where) {
  const Fields f(json, where, {"name", "kind", "input", "aliases", "at", "label"});
  return ButtonPart{f.Input("input"), f.Texts("aliases"), f.Place()};
}

PartKind PulseTrain(const Json& json, const std::string& where) {
  const Fields f(json, where,
                 {"name", "kind", "output", "period_ms", "width_ms", "phase_ms", "index"});
  PulseTrainPart part;
  part.output = f.Input("output");
  part.periodMs = f.Number("period_ms");
  part.widthMs = f.Number("width_ms");
  part.phaseMs = f.Number("phase_ms", 0);
  if (f.Has("index")) {
    const Fields index(f.Get("index"), where + ", index", {"every", "output"});
    part.indexEvery = index.Count("every");
    part.index = index.Input("output");
  }
  return part;
}

// "1-15" or "16".
std::pair<unsigned, unsigned> ColumnRange(const std::string& text, const std::string& where) {
  const auto number = [&text](std::size_t from, std::size_t to) -> std::optional<unsigned> {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data() + from, text.data() + to, value);
    if (from == to || error != std::errc() || end != text.data() + to) {
      return std::nullopt;
    }
    return value;
  };
  const std::size_t dash = text.find('-');
  const auto first = number(0, dash == std::string::npos ? text.size() : dash);
  const auto last = dash == std::string::npos ? first : number(dash + 1, text.size());
  if (!first || !last) {
    throw Fault{where + ": \"columns\" must be a column or a range such as 1-15, not " +
                Quoted(text)};
  }
  return {*first, *last};
}

PartKind DrumPrinter(const Json& json, const std::string& where) {
  const Fields f(json, where,
                 {"name", "kind", "drum", "hammers", "fire", "advance", "red", "columns"});
  DrumPrinterPart part;
  part.drum = f.String("drum");
  const Fields hammers(f.Get("hammers", true), where + ", hammers", {"shift_register", "columns"});
  part.hammers = hammers.String("shift_register");
  for (const Json& column : hammers.List("columns")) {
    part.hammerColumns.push_back(hammers.CountOf(column, "columns"));
  }
  part.fire = f.Output("fire");
  part.advance = f.Output("advance");
  part.red = f.OptionalOutput("red");
  const Json& columns = f.List("columns");
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const Fields c(columns[i], where + ", columns " + std::to_string(i + 1),
                   {"columns", "width", "gap", "symbols"});
    simulate::PrinterColumns group;
    std::tie(group.first, group.last) = ColumnRange(c.String("columns"), c.where());
    group.symbols = c.Texts("symbols");
    unsigned widest = 1;
    for (const std::string& symbol : group.symbols) {
      widest = std::max(widest, static_cast<unsigned>(symbol.size()));
    }
    group.width = c.Count("width", widest);
    group.gap = c.Count("gap", 0);
    part.columns.push_back(std::move(group));
  }
  return part;
}

PartKind Lamp(const Json& json, const std::string& where) {
  const Fields f(json, where, {"name", "kind", "pin", "label"});
  return LampPart{f.Output("pin"), f.String("label", "")};
}

PartKind SerialOut(const Json& json, const std::string& where) {
  const Fields f(json, where, {"name", "kind", "pin", "format", "baud", "invert"});
  return SerialOutPart{f.Output("pin"), Format(f), f.Number("baud"), f.Flag("invert", false)};
}

PartKind SerialIn(const Json& json, const std::string& where) {
  const Fields f(json, where, {"name", "kind", "pin", "format", "baud", "invert"});
  return SerialInPart{f.Input("pin"), Format(f), f.Number("baud"), f.Flag("invert", false)};
}

PartKind ProgramRam(const Json& json, const std::string& where) {
  const Fields f(json, where,
                 {"name", "kind", "page", "banks", "bank_select", "first_half", "byte_starts"});
  ProgramRamPart part;
  const std::string page = f.String("page", "F");
  if (page.size() != 1 || !std::isxdigit(static_cast<unsigned char>(page[0]))) {
    throw Fault{where + ": \"page\" must be one hexadecimal digit, not " + Quoted(page)};
  }
  part.page = static_cast<std::uint8_t>(std::stoi(page, nullptr, 16));
  part.banks = f.Count("banks", 1);
  if (f.Has("bank_select")) {
    const std::string text = f.String("bank_select");
    part.bankSelect = ParseRamPort(text);
    if (!part.bankSelect) {
      throw Fault{where + ": \"bank_select\" must be a RAM port ram:L:C, not " + Quoted(text)};
    }
  }
  const std::string half = f.String("first_half", "high");
  if (half != "low" && half != "high") {
    throw Fault{where + ": \"first_half\" must be \"low\" or \"high\", not " + Quoted(half)};
  }
  part.lowHalfFirst = half == "low";
  const std::string starts = f.String("byte_starts", "reset");
  if (starts != "reset" && starts != "src") {
    throw Fault{where + ": \"byte_starts\" must be \"reset\" or \"src\", not " + Quoted(starts)};
  }
  part.srcStartsByte = starts == "src";
  return part;
}

using PartReader = PartKind (*)(const Json&, const std::string&);
// In the order of kPartKindNames.
constexpr std::array<PartReader, std::variant_size_v<PartKind>> kPartReaders{
    ShiftRegister, KeyMatrix, Switch,    Button,   PulseTrain,
    DrumPrinter,   Lamp,      SerialOut, SerialIn, ProgramRam};

BoardDescription ReadBoard(const Json& json) {
  const Fields f(json, "the board", {"board", "title", "cpu", "clock_hz", "parts"});
  BoardDescription board;
  board.name = f.String("board");
  board.title = f.String("title", "");
  if (f.Has("cpu")) {
    const std::string cpu = f.String("cpu");
    board.cpu = simulate::ParseProcessor(cpu);
    if (!board.cpu) {
      throw Fault{"the board: \"cpu\" must be \"4004\" or \"4040\", not " + Quoted(cpu)};
    }
  }
  if (f.Has("clock_hz")) {
    board.clockHz = f.Number("clock_hz");
    if (!(*board.clockHz >= 1000 && *board.clockHz <= 100e6)) {
      throw Fault{"the board: \"clock_hz\" must be between 1000 and 100000000"};
    }
  }
  const Json& parts = f.List("parts");
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const Json& json = parts[i];
    std::string where = "part " + std::to_string(i + 1);
    if (json.is_object() && json.contains("name") && json["name"].is_string()) {
      where = "part " + Quoted(json["name"].get<std::string>());
    }
    // The fields of its kind are checked by the kind's reader.
    const Fields head(json, where, {});
    const std::string name = head.String("name");
    const std::string kind = head.String("kind");
    const auto found = std::find(kPartKindNames.begin(), kPartKindNames.end(), kind);
    if (found == kPartKindNames.end()) {
      std::string known;
      for (const std::string_view each : kPartKindNames) {
        known += (known.empty() ? "" : ", ") + std::string(each);
      }
      throw Fault{where + ": unknown part " + Quoted(kind) + " (the parts are " + known + ")"};
    }
    const auto index = static_cast<std::size_t>(found - kPartKindNames.begin());
    board.parts.push_back({name, kPartReaders[index](json, where)});
  }
  return board;
}

} // namespace

LoadedBoard ParseBoard(std::string_view text, std::string_view origin) {
  const std::string prefix = std::string(origin) + ": ";
  Json json;
  try {
    json = Json::parse(text.begin(), text.end());
  } catch (const Json::exception& error) {
    // The library's words after its own tag: "parse error at line 3, column 5: ...", or a
    // number too large for it.
    std::string what = error.what();
    if (const std::size_t tag = what.find("] "); tag != std::string::npos) {
      what.erase(0, tag + 2);
    }
    return {std::nullopt, prefix + "not a board file: " + what};
  }
  try {
    BoardDescription board = ReadBoard(json);
    if (std::string fault = CheckBoard(board); !fault.empty()) {
      return {std::nullopt, prefix + fault};
    }
    return {std::move(board), {}};
  } catch (const Fault& fault) {
    return {std::nullopt, prefix + fault.text};
  }
}

std::vector<std::string> BuiltInBoardNames() {
  std::vector<std::string> names;
  for (const auto& [name, text] : kBuiltInBoards) {
    names.emplace_back(name);
  }
  return names;
}

std::optional<std::string_view> BuiltInBoard(std::string_view name) {
  for (const auto& [builtIn, text] : kBuiltInBoards) {
    if (builtIn == name) {
      return text;
    }
  }
  return std::nullopt;
}

bool LooksLikeBoardFile(std::string_view argument) {
  return argument.find('/') != std::string_view::npos || argument.ends_with(".json");
}

} // namespace boards
