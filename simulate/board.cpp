#include "simulate/board.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <map>
#include <set>

namespace simulate {

namespace {

constexpr std::size_t kNoMatrix = std::numeric_limits<std::size_t>::max();

// The fields of "a:b:c" split at the colons, the first in base `firstBase`, the rest decimal.
std::optional<std::array<unsigned, 3>> Numbers(std::string_view text, std::size_t count,
                                               int firstBase) {
  std::array<unsigned, 3> numbers{};
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t colon = text.find(':');
    const std::string_view field = text.substr(0, colon);
    const int base = i == 0 ? firstBase : 10;
    const auto [end, error] =
        std::from_chars(field.data(), field.data() + field.size(), numbers[i], base);
    if (field.empty() || error != std::errc() || end != field.data() + field.size()) {
      return std::nullopt;
    }
    if ((colon == std::string_view::npos) != (i + 1 == count)) {
      return std::nullopt;
    }
    text.remove_prefix(colon == std::string_view::npos ? text.size() : colon + 1);
  }
  return numbers;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return lower;
}

std::string Quoted(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  return quoted.append("\"").append(text).append("\"");
}

template <typename Kind> const Kind* PartOf(const BoardDescription& board, std::string_view name) {
  for (const Part& part : board.parts) {
    if (part.name == name) {
      return std::get_if<Kind>(&part.kind);
    }
  }
  return nullptr;
}

bool HasPart(const BoardDescription& board, std::string_view name) {
  return std::any_of(board.parts.begin(), board.parts.end(),
                     [name](const Part& part) { return part.name == name; });
}

// Checks one part; `drive` records an input that the part drives.
class PartChecker {
public:
  PartChecker(const BoardDescription& board, const Part& part,
              std::map<std::string, std::string>& driven, std::set<std::string>& keyNames)
      : board_(board), part_(part), driven_(driven), keyNames_(keyNames) {}

  std::string operator()(const ShiftRegisterPart& p) {
    if (p.chips < 1 || p.chips > ShiftRegister::kMostChips) {
      return Fault("has " + std::to_string(p.chips) + " chips; a chain has 1 to " +
                   std::to_string(ShiftRegister::kMostChips));
    }
    return {};
  }

  std::string operator()(const KeyMatrixPart& p) {
    const ShiftRegisterPart* columns = Reference<ShiftRegisterPart>(p.columns, "columns");
    if (columns == nullptr) {
      return error_;
    }
    if (p.rows.empty() || p.rows.size() > 8) {
      return Fault("has " + std::to_string(p.rows.size()) + " rows; a matrix has 1 to 8");
    }
    for (const InputPin& row : p.rows) {
      if (std::string fault = Drive(row); !fault.empty()) {
        return fault;
      }
    }
    std::map<std::pair<unsigned, unsigned>, std::string> places;
    for (const MatrixKey& key : p.keys) {
      if (key.column >= columns->chips * ShiftRegister::kBitsPerChip) {
        return Fault("key " + Quoted(key.name) + " is on column " + std::to_string(key.column) +
                     ", but " + Quoted(p.columns) + " has " +
                     std::to_string(columns->chips * ShiftRegister::kBitsPerChip) + " bits");
      }
      if (key.row >= p.rows.size()) {
        return Fault("key " + Quoted(key.name) + " is on row " + std::to_string(key.row) +
                     ", but the matrix has " + std::to_string(p.rows.size()) + " rows");
      }
      const auto [place, added] = places.emplace(std::pair(key.column, key.row), key.name);
      if (!added) {
        return Fault("keys " + Quoted(place->second) + " and " + Quoted(key.name) +
                     " are both on column " + std::to_string(key.column) + ", row " +
                     std::to_string(key.row));
      }
      if (std::string fault = KeyName(key.name, key.aliases); !fault.empty()) {
        return fault;
      }
    }
    return {};
  }

  std::string operator()(const SwitchPart& p) {
    const KeyMatrixPart* matrix = Reference<KeyMatrixPart>(p.matrix, "matrix");
    if (matrix == nullptr) {
      return error_;
    }
    const ShiftRegisterPart* columns = PartOf<ShiftRegisterPart>(board_, matrix->columns);
    if (columns != nullptr && p.column >= columns->chips * ShiftRegister::kBitsPerChip) {
      return Fault("is on column " + std::to_string(p.column) + ", but " + Quoted(matrix->columns) +
                   " has " + std::to_string(columns->chips * ShiftRegister::kBitsPerChip) +
                   " bits");
    }
    if (p.positions.empty()) {
      return Fault("has no positions");
    }
    std::map<std::uint8_t, std::string> values;
    for (const auto& [name, rows] : p.positions) {
      if (rows >> matrix->rows.size() != 0) {
        return Fault("position " + Quoted(name) + " closes rows the matrix does not have");
      }
      const auto [other, added] = values.emplace(rows, name);
      if (!added) {
        return Fault("positions " + Quoted(other->second) + " and " + Quoted(name) +
                     " close the same rows");
      }
    }
    if (p.position >= p.positions.size()) {
      return Fault("starts at a position it does not have");
    }
    return KeyName(part_.name, {});
  }

  std::string operator()(const ButtonPart& p) {
    if (std::string fault = Drive(p.input); !fault.empty()) {
      return fault;
    }
    return KeyName(part_.name, p.aliases);
  }

  std::string operator()(const PulseTrainPart& p) {
    if (!(p.periodMs > 0) || !(p.widthMs > 0) || !(p.widthMs < p.periodMs) || !(p.phaseMs >= 0)) {
      return Fault("needs a period above 0, a width above 0 and below the period, and a phase "
                   "of 0 or more");
    }
    if (p.indexEvery < 1) {
      return Fault("needs an index every 1 or more pulses");
    }
    if (std::string fault = Drive(p.output); !fault.empty()) {
      return fault;
    }
    return p.index ? Drive(*p.index) : std::string();
  }

  std::string operator()(const DrumPrinterPart& p) {
    if (Reference<PulseTrainPart>(p.drum, "drum") == nullptr) {
      return error_;
    }
    const ShiftRegisterPart* hammers = Reference<ShiftRegisterPart>(p.hammers, "hammers");
    if (hammers == nullptr) {
      return error_;
    }
    if (p.hammerColumns.size() > hammers->chips * ShiftRegister::kBitsPerChip) {
      return Fault("has " + std::to_string(p.hammerColumns.size()) + " hammers, but " +
                   Quoted(p.hammers) + " has " +
                   std::to_string(hammers->chips * ShiftRegister::kBitsPerChip) + " bits");
    }
    std::set<unsigned> columns;
    for (const PrinterColumns& group : p.columns) {
      if (group.first < 1 || group.last < group.first || group.last > 64) {
        return Fault("has columns " + std::to_string(group.first) + "-" +
                     std::to_string(group.last) + "; columns count from 1 to at most 64");
      }
      for (unsigned column = group.first; column <= group.last; ++column) {
        if (!columns.insert(column).second) {
          return Fault("describes column " + std::to_string(column) + " twice");
        }
      }
    }
    for (const unsigned column : p.hammerColumns) {
      if (column != 0 && columns.count(column) == 0) {
        return Fault("has a hammer on column " + std::to_string(column) +
                     ", which its columns do not describe");
      }
    }
    return {};
  }

  std::string operator()(const LampPart&) { return {}; }

  std::string operator()(const SerialOutPart& p) { return Rate(p.baud); }

  std::string operator()(const SerialInPart& p) {
    if (std::string fault = Rate(p.baud); !fault.empty()) {
      return fault;
    }
    return Drive(p.pin);
  }

  std::string operator()(const ProgramRamPart& p) {
    if (p.banks < 1 || p.banks > 16) {
      return Fault("has " + std::to_string(p.banks) + " banks; program RAM has 1 to 16");
    }
    return {};
  }

private:
  std::string Fault(const std::string& text) const {
    return "part " + Quoted(part_.name) + " " + text;
  }

  template <typename Kind> const Kind* Reference(const std::string& name, const char* role) {
    if (name.empty()) {
      error_ = Fault("is missing its wire \"" + std::string(role) + "\"");
      return nullptr;
    }
    if (!HasPart(board_, name)) {
      error_ = Fault("refers to " + Quoted(name) + " for \"" + role +
                     "\", but there is no such "
                     "part");
      return nullptr;
    }
    const Kind* kind = PartOf<Kind>(board_, name);
    if (kind == nullptr) {
      const std::size_t wanted = PartKind(Kind{}).index();
      error_ = Fault("refers to " + Quoted(name) + " for \"" + role + "\", which is no " +
                     std::string(kPartKindNames[wanted]));
    }
    return kind;
  }

  std::string Drive(const InputPin& pin) {
    const auto [other, added] = driven_.emplace(PinText(pin), part_.name);
    if (!added) {
      return other->second == part_.name ? Fault("uses pin " + PinText(pin) + " twice")
                                         : "pin " + PinText(pin) + " is used twice: by parts " +
                                               Quoted(other->second) + " and " + Quoted(part_.name);
    }
    return {};
  }

  std::string KeyName(const std::string& name, const std::vector<std::string>& aliases) {
    if (!keyNames_.insert(Lower(name)).second) {
      return "the key or switch name " + Quoted(name) + " is used twice";
    }
    for (const std::string& alias : aliases) {
      if (!keyNames_.insert(Lower(alias)).second) {
        return "the key name " + Quoted(alias) + " is used twice";
      }
    }
    return {};
  }

  std::string Rate(double baud) const {
    return baud > 0 ? std::string() : Fault("needs a bit rate above 0");
  }

  const BoardDescription& board_;
  const Part& part_;
  std::map<std::string, std::string>& driven_;
  std::set<std::string>& keyNames_;
  std::string error_;
};

} // namespace

std::optional<OutputPin> ParseOutputPin(std::string_view text) {
  if (text.starts_with("rom:")) {
    const auto numbers = Numbers(text.substr(4), 2, 16);
    if (!numbers || (*numbers)[0] > 15 || (*numbers)[1] > 3) {
      return std::nullopt;
    }
    return OutputPin{OutputPin::Kind::Rom, 0, static_cast<std::uint8_t>((*numbers)[0]),
                     static_cast<std::uint8_t>((*numbers)[1])};
  }
  if (text.starts_with("ram:")) {
    const auto numbers = Numbers(text.substr(4), 3, 10);
    if (!numbers || (*numbers)[0] > 3 || (*numbers)[1] > 3 || (*numbers)[2] > 3) {
      return std::nullopt;
    }
    return OutputPin{OutputPin::Kind::Ram, static_cast<std::uint8_t>((*numbers)[0]),
                     static_cast<std::uint8_t>((*numbers)[1]),
                     static_cast<std::uint8_t>((*numbers)[2])};
  }
  return std::nullopt;
}

std::string PinText(const OutputPin& pin) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  if (pin.kind == OutputPin::Kind::Rom) {
    return std::string("rom:") + kDigits[pin.chip & 0xF] + ":" + std::to_string(pin.bit);
  }
  return "ram:" + std::to_string(pin.line) + ":" + std::to_string(pin.chip) + ":" +
         std::to_string(pin.bit);
}

std::optional<InputPin> ParseInputPin(std::string_view text) {
  if (text == "test") {
    return InputPin{};
  }
  if (text.starts_with("rom:")) {
    const auto numbers = Numbers(text.substr(4), 2, 16);
    if (!numbers || (*numbers)[0] > 15 || (*numbers)[1] > 3) {
      return std::nullopt;
    }
    return InputPin{InputPin::Kind::Rom, static_cast<std::uint8_t>((*numbers)[0]),
                    static_cast<std::uint8_t>((*numbers)[1])};
  }
  return std::nullopt;
}

std::string PinText(const InputPin& pin) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  if (pin.kind == InputPin::Kind::Test) {
    return "test";
  }
  return std::string("rom:") + kDigits[pin.port & 0xF] + ":" + std::to_string(pin.bit);
}

std::optional<RamPort> ParseRamPort(std::string_view text) {
  if (!text.starts_with("ram:")) {
    return std::nullopt;
  }
  const auto numbers = Numbers(text.substr(4), 2, 10);
  if (!numbers || (*numbers)[0] > 3 || (*numbers)[1] > 3) {
    return std::nullopt;
  }
  return RamPort{static_cast<std::uint8_t>((*numbers)[0]),
                 static_cast<std::uint8_t>((*numbers)[1])};
}

std::string CheckBoard(const BoardDescription& board) {
  std::set<std::string> names;
  std::array<int, std::variant_size_v<PartKind>> counts{};
  for (const Part& part : board.parts) {
    if (part.name.empty()) {
      return "a part has no name";
    }
    if (!names.insert(part.name).second) {
      return "the part name " + Quoted(part.name) + " is used twice";
    }
    ++counts[part.kind.index()];
  }
  for (const auto kind : {PartKind(DrumPrinterPart{}).index(), PartKind(SerialOutPart{}).index(),
                          PartKind(SerialInPart{}).index(), PartKind(ProgramRamPart{}).index()}) {
    if (counts[kind] > 1) {
      return "a board has at most one " + std::string(kPartKindNames[kind]);
    }
  }
  std::map<std::string, std::string> driven;
  std::set<std::string> keyNames;
  for (const Part& part : board.parts) {
    if (std::string fault = std::visit(PartChecker(board, part, driven, keyNames), part.kind);
        !fault.empty()) {
      return fault;
    }
  }
  return {};
}

BoardDescription SerialBoard(const SerialLine& line) {
  BoardDescription board;
  board.name = "serial";
  if (line.transmit) {
    board.parts.push_back(
        {"serial-out", SerialOutPart{*line.transmit, line.format, line.baud, line.invertTransmit}});
  }
  if (line.receiveOnTest) {
    board.parts.push_back(
        {"serial-in", SerialInPart{InputPin{}, line.format, line.baud, line.invertReceive}});
  }
  return board;
}

// Something to tell when an output port changes.
struct Board::Listener {
  enum class Kind : std::uint8_t { ShiftRegister, Fire, Ribbon, Advance, SerialOut, BankSelect };
  Kind kind;
  std::size_t index;
};

// What drives an input pin.
struct Board::Driver {
  enum class Kind : std::uint8_t { MatrixRow, Pulse, Index, Button, SerialIn };
  Kind kind;
  std::size_t index;
  unsigned row = 0;
};

struct Board::Serial {
  std::optional<SerialOutPart> out;
  std::optional<SerialInPart> in;
  std::optional<SerialDecoder> decoder;
  std::optional<SerialFeeder> feeder;
};

Board::Board(const BoardDescription& description, double clockHz)
    : description_(description), cyclesPerSecond_(clockHz / 8),
      serial_(std::make_unique<Serial>()) {
  const double cyclesPerMs = cyclesPerSecond_ / 1000;
  std::map<std::string, std::size_t> registers;
  std::map<std::string, std::size_t> matrices;
  std::map<std::string, std::size_t> trains;

  const auto listen = [this](const OutputPin& pin, Listener listener) {
    auto& listeners = pin.kind == OutputPin::Kind::Rom
                          ? romListeners_[pin.chip & 0xF]
                          : ramListeners_[(pin.line & 3) * kRamChips + (pin.chip & 3)];
    listeners.push_back(listener);
  };
  const auto drive = [this](const InputPin& pin, Driver driver) {
    auto made = std::make_unique<Driver>(driver);
    if (pin.kind == InputPin::Kind::Test) {
      testDriver_ = std::move(made);
    } else {
      romDrivers_[pin.port & 0xF][pin.bit & 3] = std::move(made);
      drivenMask_[pin.port & 0xF] |= static_cast<std::uint8_t>(1u << (pin.bit & 3));
    }
  };

  // Parts that others refer to come first.
  for (const Part& part : description_.parts) {
    if (const auto* p = std::get_if<ShiftRegisterPart>(&part.kind)) {
      registers[part.name] = shiftRegisters_.size();
      listen(p->clock, {Listener::Kind::ShiftRegister, shiftRegisters_.size()});
      registerPins_.emplace_back(p->clock, p->data);
      shiftRegisters_.push_back(std::make_unique<ShiftRegister>(p->chips));
    } else if (const auto* p = std::get_if<PulseTrainPart>(&part.kind)) {
      trains[part.name] = pulseTrains_.size();
      drive(p->output, {Driver::Kind::Pulse, pulseTrains_.size()});
      if (p->index) {
        drive(*p->index, {Driver::Kind::Index, pulseTrains_.size()});
      }
      pulseTrains_.push_back(std::make_unique<PulseTrain>(p->periodMs * cyclesPerMs,
                                                          p->widthMs * cyclesPerMs,
                                                          p->phaseMs * cyclesPerMs, p->indexEvery));
    }
  }
  for (const Part& part : description_.parts) {
    if (const auto* p = std::get_if<KeyMatrixPart>(&part.kind)) {
      const std::size_t index = matrices_.size();
      matrices[part.name] = index;
      matrices_.push_back(
          std::make_unique<KeyMatrix>(*shiftRegisters_[registers.at(p->columns)], p->activeLow));
      for (unsigned row = 0; row < p->rows.size(); ++row) {
        drive(p->rows[row], {Driver::Kind::MatrixRow, index, row});
      }
      for (const MatrixKey& key : p->keys) {
        keys_.push_back({key.name, key.aliases, key.place, part.name});
        const std::size_t contact = matrices_[index]->AddContact(key.column);
        keyContacts_.emplace_back(index, contact);
        keyRows_.push_back(static_cast<std::uint8_t>(1u << key.row));
      }
    }
  }
  for (const Part& part : description_.parts) {
    if (const auto* p = std::get_if<SwitchPart>(&part.kind)) {
      const std::size_t matrix = matrices.at(p->matrix);
      const std::size_t contact = matrices_[matrix]->AddContact(p->column);
      Switch entry{part.name, p->label, {}};
      std::vector<std::uint8_t> values;
      for (const auto& [name, rows] : p->positions) {
        entry.positions.push_back(name);
        values.push_back(rows);
      }
      matrices_[matrix]->Contact(contact).Set(0, values[p->position]);
      switches_.push_back(std::move(entry));
      switchContacts_.emplace_back(matrix, contact);
      switchValues_.push_back(std::move(values));
    } else if (const auto* p = std::get_if<ButtonPart>(&part.kind)) {
      drive(p->input, {Driver::Kind::Button, buttons_.size()});
      keys_.push_back({part.name, p->aliases, p->place, part.name});
      keyContacts_.emplace_back(kNoMatrix, buttons_.size());
      keyRows_.push_back(1);
      buttons_.emplace_back();
    } else if (const auto* p = std::get_if<DrumPrinterPart>(&part.kind)) {
      printer_ = std::make_unique<DrumPrinter>(*shiftRegisters_[registers.at(p->hammers)],
                                               p->hammerColumns, *pulseTrains_[trains.at(p->drum)],
                                               p->columns);
      printerPart_ = *p;
      // The ribbon first: a write that shifts it and fires prints in red.
      if (p->red) {
        listen(*p->red, {Listener::Kind::Ribbon, 0});
      }
      listen(p->fire, {Listener::Kind::Fire, 0});
      listen(p->advance, {Listener::Kind::Advance, 0});
    } else if (const auto* p = std::get_if<LampPart>(&part.kind)) {
      lamps_.push_back({part.name, p->label, p->pin});
    } else if (const auto* p = std::get_if<SerialOutPart>(&part.kind)) {
      serial_->out = *p;
      serial_->decoder.emplace(p->format, CyclesPerBit(clockHz, p->baud));
      // The output latches are 0 at reset: the line starts at 0, or at 1 where the board
      // inverts.
      serial_->decoder->Line(p->invert, 0);
      listen(p->pin, {Listener::Kind::SerialOut, 0});
    } else if (const auto* p = std::get_if<SerialInPart>(&part.kind)) {
      serial_->in = *p;
      serial_->feeder.emplace(p->format, CyclesPerBit(clockHz, p->baud));
      drive(p->pin, {Driver::Kind::SerialIn, 0});
    } else if (const auto* p = std::get_if<ProgramRamPart>(&part.kind)) {
      programRam_ = std::make_unique<ProgramRam>(p->page, p->banks, p->lowHalfFirst);
      if (p->bankSelect) {
        bankSelect_ = p->bankSelect;
        listen(OutputPin{OutputPin::Kind::Ram, p->bankSelect->line, p->bankSelect->chip, 0},
               {Listener::Kind::BankSelect, 0});
      }
    }
  }
}

Board::~Board() = default;

bool Board::Level(const OutputPin& pin) const {
  const std::uint8_t latch = pin.kind == OutputPin::Kind::Rom
                                 ? romLatches_[pin.chip & 0xF]
                                 : ramLatches_[(pin.line & 3) * kRamChips + (pin.chip & 3)];
  return ((latch >> pin.bit) & 1) != 0;
}

bool Board::DrivenLevel(const Driver& driver, std::uint64_t cycle) const {
  switch (driver.kind) {
  case Driver::Kind::MatrixRow:
    return ((matrices_[driver.index]->Rows(cycle) >> driver.row) & 1) != 0;
  case Driver::Kind::Pulse:
    return pulseTrains_[driver.index]->Level(cycle);
  case Driver::Kind::Index:
    return pulseTrains_[driver.index]->Index(cycle);
  case Driver::Kind::Button:
    return buttons_[driver.index].At(cycle) != 0;
  case Driver::Kind::SerialIn:
    return serial_->feeder->Level(cycle) != serial_->in->invert;
  }
  return false;
}

bool Board::Driven(const Driver& driver, std::uint64_t cycle, bool poll) {
  if (poll && driver.kind == Driver::Kind::SerialIn) {
    // The program looking at the line is what lets a waiting byte start.
    return serial_->feeder->Poll(cycle) != serial_->in->invert;
  }
  return DrivenLevel(driver, cycle);
}

bool Board::Test(std::uint64_t cycle) {
  return testDriver_ ? Driven(*testDriver_, cycle, true) : test_;
}

bool Board::TestLevel(std::uint64_t cycle) const {
  return testDriver_ ? DrivenLevel(*testDriver_, cycle) : test_;
}

std::uint8_t Board::RomInput(std::uint8_t port, std::uint64_t cycle) {
  port &= 0xF;
  std::uint8_t value = romInputs_[port] & static_cast<std::uint8_t>(~drivenMask_[port]);
  if (drivenMask_[port] != 0) {
    for (unsigned bit = 0; bit < 4; ++bit) {
      const Driver* driver = romDrivers_[port][bit].get();
      if (driver != nullptr && Driven(*driver, cycle, true)) {
        value |= static_cast<std::uint8_t>(1u << bit);
      }
    }
  }
  return value;
}

void Board::Notify(const std::vector<Listener>& listeners, std::uint64_t cycle) {
  for (const Listener& listener : listeners) {
    switch (listener.kind) {
    case Listener::Kind::ShiftRegister: {
      const auto& [clock, data] = registerPins_[listener.index];
      shiftRegisters_[listener.index]->Inputs(Level(clock), Level(data));
      break;
    }
    case Listener::Kind::Fire:
      printer_->Fire(Level(printerPart_->fire), cycle);
      break;
    case Listener::Kind::Ribbon:
      printer_->Ribbon(Level(*printerPart_->red));
      break;
    case Listener::Kind::Advance: {
      const std::size_t fed = printer_->Fed().size();
      printer_->Advance(Level(printerPart_->advance), cycle);
      outputArrived_ = outputArrived_ || printer_->Fed().size() != fed;
      break;
    }
    case Listener::Kind::SerialOut: {
      const bool level = Level(serial_->out->pin) != serial_->out->invert;
      const std::size_t before = serial_->decoder->Received().size();
      // The port changes at the end of the instruction cycle that writes it.
      serial_->decoder->Line(level, cycle + 1);
      outputArrived_ = outputArrived_ || serial_->decoder->Received().size() != before;
      break;
    }
    case Listener::Kind::BankSelect:
      programRam_->SelectBank(
          ramLatches_[(bankSelect_->line & 3) * kRamChips + (bankSelect_->chip & 3)]);
      break;
    }
  }
}

void Board::RomOutput(std::uint8_t port, std::uint8_t value, std::uint64_t cycle) {
  romLatches_[port & 0xF] = value & 0xF;
  Notify(romListeners_[port & 0xF], cycle);
}

void Board::RamOutput(std::uint8_t line, std::uint8_t chip, std::uint8_t value,
                      std::uint64_t cycle) {
  const std::size_t index = (line & 3) * kRamChips + (chip & 3);
  ramLatches_[index] = value & 0xF;
  Notify(ramListeners_[index], cycle);
}

std::optional<std::size_t> Board::FindKey(std::string_view name) const {
  const std::string wanted = Lower(name);
  for (std::size_t key = 0; key < keys_.size(); ++key) {
    if (Lower(keys_[key].name) == wanted ||
        std::any_of(keys_[key].aliases.begin(), keys_[key].aliases.end(),
                    [&wanted](const std::string& alias) { return Lower(alias) == wanted; })) {
      return key;
    }
  }
  return std::nullopt;
}

void Board::PressKey(std::size_t key, std::uint64_t from, std::uint64_t until) {
  const auto [matrix, contact] = keyContacts_[key];
  Timeline& timeline =
      matrix == kNoMatrix ? buttons_[contact] : matrices_[matrix]->Contact(contact);
  timeline.Pulse(from, until, keyRows_[key]);
}

bool Board::KeyDown(std::size_t key, std::uint64_t cycle) const {
  const auto [matrix, contact] = keyContacts_[key];
  const Timeline& timeline =
      matrix == kNoMatrix ? buttons_[contact] : matrices_[matrix]->Contact(contact);
  return timeline.At(cycle) != 0;
}

std::optional<std::size_t> Board::FindSwitch(std::string_view name) const {
  const std::string wanted = Lower(name);
  for (std::size_t index = 0; index < switches_.size(); ++index) {
    if (Lower(switches_[index].name) == wanted) {
      return index;
    }
  }
  return std::nullopt;
}

std::optional<std::size_t> Board::FindPosition(std::size_t index, std::string_view position) const {
  const std::string wanted = Lower(position);
  const std::vector<std::string>& positions = switches_[index].positions;
  for (std::size_t at = 0; at < positions.size(); ++at) {
    if (Lower(positions[at]) == wanted) {
      return at;
    }
  }
  return std::nullopt;
}

void Board::SetSwitch(std::size_t index, std::size_t position, std::uint64_t from) {
  const auto [matrix, contact] = switchContacts_[index];
  matrices_[matrix]->Contact(contact).Set(from, switchValues_[index][position]);
}

std::size_t Board::SwitchPosition(std::size_t index, std::uint64_t cycle) const {
  const auto [matrix, contact] = switchContacts_[index];
  const std::uint8_t rows = matrices_[matrix]->Contact(contact).At(cycle);
  const std::vector<std::uint8_t>& values = switchValues_[index];
  return static_cast<std::size_t>(std::find(values.begin(), values.end(), rows) - values.begin());
}

bool Board::LampLit(std::size_t lamp) const { return Level(lamps_[lamp].pin); }

void Board::SendInput(std::string_view bytes) {
  if (serial_->feeder) {
    serial_->feeder->Queue(bytes);
  }
}

const SerialFeeder* Board::Input() const { return serial_->feeder ? &*serial_->feeder : nullptr; }

SerialDecoder* Board::Output(std::uint64_t cycle) {
  if (!serial_->decoder) {
    return nullptr;
  }
  const std::size_t before = serial_->decoder->Received().size();
  serial_->decoder->Advance(cycle);
  outputArrived_ = outputArrived_ || serial_->decoder->Received().size() != before;
  return &*serial_->decoder;
}

} // namespace simulate
