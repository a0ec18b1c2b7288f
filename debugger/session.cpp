#include "debugger/session.h"

#include "translate/instruction_table.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <utility>

namespace debugger {

namespace {

std::map<std::string, std::string> Fields(std::string_view text) {
  std::map<std::string, std::string> fields;
  while (!text.empty()) {
    const std::size_t end = text.find(';');
    const std::string_view field = text.substr(0, end);
    const std::size_t equals = field.find('=');
    if (equals != std::string_view::npos) {
      fields.emplace(field.substr(0, equals), field.substr(equals + 1));
    }
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return fields;
}

} // namespace

std::string ToText(const SerialSettings& settings) {
  return "enabled=" + std::to_string(settings.enabled ? 1 : 0) + ";pin=" + settings.pin +
         ";receive=" + std::to_string(settings.receive ? 1 : 0) +
         ";invertTransmit=" + std::to_string(settings.invertTransmit ? 1 : 0) +
         ";invertReceive=" + std::to_string(settings.invertReceive ? 1 : 0) +
         ";format=" + settings.format + ";baud=" + std::to_string(settings.baud);
}

SerialSettings SerialSettingsFromText(std::string_view text) {
  SerialSettings settings;
  const auto fields = Fields(text);
  const auto flag = [&fields](const char* name, bool fallback) {
    const auto found = fields.find(name);
    return found == fields.end() ? fallback : found->second == "1";
  };
  settings.enabled = flag("enabled", settings.enabled);
  settings.receive = flag("receive", settings.receive);
  settings.invertTransmit = flag("invertTransmit", settings.invertTransmit);
  settings.invertReceive = flag("invertReceive", settings.invertReceive);
  if (const auto pin = fields.find("pin"); pin != fields.end()) {
    settings.pin = pin->second;
  }
  if (const auto format = fields.find("format"); format != fields.end()) {
    settings.format = format->second;
  }
  if (const auto baud = fields.find("baud"); baud != fields.end()) {
    double value = 0;
    const auto [end, error] =
        std::from_chars(baud->second.data(), baud->second.data() + baud->second.size(), value);
    if (error == std::errc() && value > 0) {
      settings.baud = value;
    }
  }
  return settings;
}

Session::Session()
    : machine_(
          std::make_unique<simulate::Machine>(simulate::MakeMachine(simulate::Processor::I4004))) {
  RebuildBoard();
}

// How many rows before `row` show the same line of the same file with the same text: a line of a
// macro appears once for each expansion.
std::size_t Occurrence(const Program& program, std::size_t row) {
  const ListingRow& line = program.rows[row];
  return static_cast<std::size_t>(std::count_if(
      program.rows.begin(), program.rows.begin() + static_cast<std::ptrdiff_t>(row),
      [&line](const ListingRow& other) {
        return other.line == line.line && other.file == line.file && other.text == line.text;
      }));
}

// The row of `program` where a breakpoint on the `occurrence`th row of the line `line` of `file`
// (empty for the program's own) with the text `text` belongs: that row if the line is still
// there, else the nearest row of that file with the same text that holds an instruction, or else
// the row of the same line if it holds one; -1 when there is none.
int MatchingRow(const Program& program, const std::string& file, std::size_t line,
                const std::string& text, std::size_t occurrence) {
  int best = -1;
  int sameLine = -1;
  std::size_t bestDistance = 0;
  std::size_t exact = 0;
  for (std::size_t row = 0; row < program.rows.size(); ++row) {
    const ListingRow& candidate = program.rows[row];
    if (candidate.address < 0 || candidate.file != file) {
      continue;
    }
    if (candidate.line == line && sameLine < 0) {
      sameLine = static_cast<int>(row);
    }
    if (candidate.text != text) {
      continue;
    }
    if (candidate.line == line && exact++ == occurrence) {
      return static_cast<int>(row);
    }
    const std::size_t distance =
        candidate.line > line ? candidate.line - line : line - candidate.line;
    if (best < 0 || distance < bestDistance) {
      best = static_cast<int>(row);
      bestDistance = distance;
    }
  }
  return best >= 0 ? best : sameLine;
}

void Session::Load(Program program) {
  // Reloading the same file: the breakpoints follow their source lines, found by their text
  // even where lines were added or removed above them.
  std::bitset<simulate::kBanks * simulate::kBankSize> kept;
  if (program_.path == program.path) {
    for (std::size_t address = 0; address < breakpoints_.size(); ++address) {
      const int row = breakpoints_.test(address) ? program_.RowOf(static_cast<int>(address)) : -1;
      if (row < 0) {
        continue;
      }
      const ListingRow& old = program_.rows[static_cast<std::size_t>(row)];
      const int match = MatchingRow(program, old.file, old.line, old.text,
                                    Occurrence(program_, static_cast<std::size_t>(row)));
      if (match >= 0) {
        kept.set(static_cast<std::size_t>(program.rows[static_cast<std::size_t>(match)].address));
      }
    }
  }
  breakpoints_ = kept;
  if (program_.path != program.path) {
    paper_.clear();
  }
  program_ = std::move(program);
  Reset();
}

void Session::SetCpu(simulate::Processor cpu) {
  machine_->cpu = cpu;
  Reset();
}

void Session::SetClock(double hz) {
  clock_ = hz;
  RebuildBoard();
}

std::string Session::SetSerial(const SerialSettings& settings) {
  if (settings.enabled) {
    if (!boards::ParseOutputPin(settings.pin)) {
      return "The serial pin must be rom:P:B or ram:L:C:B, not \"" + settings.pin + "\".";
    }
    if (!simulate::ParseSerialFormat(settings.format)) {
      return "The serial frame must be like 8N1, not \"" + settings.format + "\".";
    }
    if (!(settings.baud > 0)) {
      return "The bit rate must be above 0.";
    }
  }
  serial_ = settings;
  RebuildBoard();
  return {};
}

void Session::SetBoard(std::optional<boards::BoardDescription> board) {
  description_ = std::move(board);
  switchPositions_.clear();
  paper_.clear();
  Reset();
}

void Session::PressKey(std::size_t key) {
  if (key < board_->Keys().size()) {
    keys_->Queue({{boards::KeyAction::Kind::Press, key, 0}});
    keys_->Advance(*board_, machine_->cycles);
  }
}

void Session::SetSwitch(std::size_t index, std::size_t position) {
  if (index < switchPositions_.size() && position < board_->Switches()[index].positions.size()) {
    switchPositions_[index] = position;
    board_->SetSwitch(index, position, machine_->cycles);
  }
}

PaperText Session::PrintingLine() const { return board_->PrintingLine(); }

void Session::CollectOutput() {
  boards::Board::Output output = board_->TakeOutput(machine_->cycles);
  paper_.insert(paper_.end(), output.paper.begin(), output.paper.end());
  for (const simulate::SerialCharacter& character : output.serial) {
    if (character.framingError || character.parityError) {
      serialText_ += character.framingError ? "[framing error]" : "[parity error]";
    } else {
      serialText_ += static_cast<char>(character.value);
    }
  }
}

void Session::SetTest(bool level) {
  test_ = level;
  board_->SetTest(level);
}

void Session::SetRomInput(std::uint8_t port, std::uint8_t value) {
  romInputs_[port & 0xF] = value & 0xF;
  board_->SetRomInput(port, value);
}

void Session::SendInput(std::string_view bytes) { board_->SendInput(bytes); }

std::string Session::TakeOutput() {
  CollectOutput();
  return std::exchange(serialText_, std::string());
}

void Session::RebuildBoard() {
  const double cyclesPerSecond = clock_ / 8;
  keys_.emplace(static_cast<std::uint64_t>(kKeyHoldSeconds * cyclesPerSecond),
                static_cast<std::uint64_t>(kKeyReleaseSeconds * cyclesPerSecond));
  if (description_) {
    board_ = std::make_unique<boards::Board>(*description_, clock_);
    if (switchPositions_.size() != board_->Switches().size()) {
      switchPositions_.assign(board_->Switches().size(), 0);
      for (std::size_t index = 0; index < switchPositions_.size(); ++index) {
        switchPositions_[index] = board_->SwitchPosition(index, 0);
      }
    }
    for (std::size_t index = 0; index < switchPositions_.size(); ++index) {
      board_->SetSwitch(index, switchPositions_[index], 0);
    }
    board_->SetTest(test_);
    for (std::uint8_t port = 0; port < 16; ++port) {
      board_->SetRomInput(port, romInputs_[port]);
    }
    return;
  }
  boards::SerialLine line;
  if (serial_.enabled) {
    line.format = *simulate::ParseSerialFormat(serial_.format);
    line.baud = serial_.baud;
    line.transmit = boards::ParseOutputPin(serial_.pin);
    line.receiveOnTest = serial_.receive;
    line.invertTransmit = serial_.invertTransmit;
    line.invertReceive = serial_.invertReceive;
  }
  board_ = std::make_unique<boards::Board>(boards::SerialBoard(line), clock_);
  board_->SetTest(test_);
  for (std::uint8_t port = 0; port < 16; ++port) {
    board_->SetRomInput(port, romInputs_[port]);
  }
}

void Session::Reset() {
  const simulate::Processor cpu = machine_->cpu;
  *machine_ = simulate::MakeMachine(cpu);
  (void)simulate::LoadImage(*machine_, program_.bytes);
  targetAddress_ = -1;
  lastStop_ = {};
  RebuildBoard();
}

simulate::StepResult Session::Step() {
  keys_->Advance(*board_, machine_->cycles);
  const simulate::StepResult step = simulate::Step(*machine_, *board_);
  CollectOutput();
  if (step.stop != simulate::Stop::None) {
    lastStop_ = step;
  }
  return step;
}

Halt Session::Run(std::uint64_t cycles) {
  const std::uint64_t end = machine_->cycles + cycles;
  simulate::RunLimits limits;
  limits.until = targetAddress_;
  limits.breakpoints = &breakpoints_;
  limits.endAtHalt = true;
  for (;;) {
    // Stops where the next key that is waiting is due, to press it.
    const std::optional<std::uint64_t> due = keys_->Advance(*board_, machine_->cycles);
    limits.cycleLimit = due ? std::min(end, std::max(*due, machine_->cycles + 1)) : end;
    limits.breakpointOnFirst = !runStarting_;
    const std::uint64_t before = machine_->cycles;
    const simulate::RunOutcome outcome = simulate::Run(*machine_, *board_, limits);
    runStarting_ = runStarting_ && machine_->cycles == before;
    CollectOutput();
    if (outcome.end == simulate::RunEnd::CycleLimit && machine_->cycles < end) {
      continue;
    }
    switch (outcome.end) {
    case simulate::RunEnd::Address:
      if (targetPointer_ < 0 || machine_->pointer == targetPointer_) {
        targetAddress_ = -1;
        return Halt::Target;
      }
      // The same address deeper in a recursion: step past it and go on.
      Step();
      continue;
    case simulate::RunEnd::Breakpoint:
      return Halt::Breakpoint;
    case simulate::RunEnd::Halted:
      return Halt::Halted;
    case simulate::RunEnd::Stopped:
      lastStop_ = outcome.last;
      return Halt::Stopped;
    case simulate::RunEnd::CycleLimit:
    case simulate::RunEnd::Paused:
      return Halt::Budget;
    }
  }
}

void Session::SetTarget(int address, int pointer) {
  targetAddress_ = address & 0xFFF;
  targetPointer_ = pointer;
}

bool Session::NextIsCall() const {
  const std::size_t bank = machine_->cpu == simulate::Processor::I4040 ? machine_->romBank : 0;
  const std::uint8_t opcode =
      machine_->rom[bank * simulate::kBankSize + simulate::ProgramCounter(*machine_)];
  return !machine_->halted &&
         (opcode & 0xF0) == translate::kInstructionSet[translate::Position("JMS")].opcode;
}

bool Session::ToggleBreakpoint(int address) {
  if (address < 0 || static_cast<std::size_t>(address) >= breakpoints_.size()) {
    return false;
  }
  breakpoints_.flip(static_cast<std::size_t>(address));
  return breakpoints_.test(static_cast<std::size_t>(address));
}

bool Session::HasBreakpoint(int address) const {
  return address >= 0 && static_cast<std::size_t>(address) < breakpoints_.size() &&
         breakpoints_.test(static_cast<std::size_t>(address));
}

int Session::NextAddress() const {
  const int bank = machine_->cpu == simulate::Processor::I4040 ? machine_->romBank : 0;
  return bank * static_cast<int>(simulate::kBankSize) + simulate::ProgramCounter(*machine_);
}

} // namespace debugger
