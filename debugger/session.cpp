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

Session::Session() {
  state_.machine = simulate::MakeMachine(simulate::Processor::I4004);
  RebuildBoard();
  history_.Start(state_);
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
  std::vector<Watch> watches;
  for (Watch& watch : watches_) {
    if (!watch.IsAddress()) {
      watches.push_back(std::move(watch));
      continue;
    }
    const int address = std::get<int>(watch.on);
    const int row = program_.path == program.path ? program_.RowOf(address) : -1;
    if (row < 0) {
      continue;
    }
    const ListingRow& old = program_.rows[static_cast<std::size_t>(row)];
    const int match = MatchingRow(program, old.file, old.line, old.text,
                                  Occurrence(program_, static_cast<std::size_t>(row)));
    if (match >= 0) {
      const int moved = program.rows[static_cast<std::size_t>(match)].address;
      if (!kept.test(static_cast<std::size_t>(moved))) {
        kept.set(static_cast<std::size_t>(moved));
        watch.on = moved;
        watch.hits = 0;
        watches.push_back(std::move(watch));
      }
    }
  }
  if (program_.path != program.path) {
    // Another program: its own breakpoints; watches on values and I/O stay.
    std::erase_if(watches, [](const Watch& watch) { return watch.IsAddress(); });
    kept.reset();
  }
  breakpoints_ = kept;
  watches_ = std::move(watches);
  program_ = std::move(program);
  executed_.reset();
  Reset();
}

void Session::SetCpu(simulate::Processor cpu) {
  state_.machine.cpu = cpu;
  Reset();
}

void Session::SetClock(double hz) {
  clock_ = hz;
  // The board's timing changes where the machine stands: an input, as far as going back goes.
  RebuildBoard();
  Input();
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
  Input();
  return {};
}

void Session::SetBoard(std::optional<boards::BoardDescription> board) {
  description_ = std::move(board);
  switchPositions_.clear();
  Reset();
}

void Session::PressKey(std::size_t key) {
  if (key < state_.board->Keys().size()) {
    state_.keys->Queue({{boards::KeyAction::Kind::Press, key, 0}});
    AdvanceKeys();
    Input();
  }
}

void Session::SetSwitch(std::size_t index, std::size_t position) {
  if (index < switchPositions_.size() &&
      position < state_.board->Switches()[index].positions.size()) {
    switchPositions_[index] = position;
    state_.board->SetSwitch(index, position, state_.machine.cycles);
    Input();
  }
}

PaperText Session::PrintingLine() const { return state_.board->PrintingLine(); }

void Session::CollectOutput() {
  boards::Board::Output output = state_.board->TakeOutput(state_.machine.cycles);
  paper_.insert(paper_.end(), output.paper.begin(), output.paper.end());
  for (const simulate::SerialCharacter& character : output.serial) {
    if (character.framingError || character.parityError) {
      transcript_ += character.framingError ? "[framing error]" : "[parity error]";
    } else {
      transcript_ += static_cast<char>(character.value);
    }
  }
  // The last megabyte is plenty for the terminal.
  constexpr std::size_t kMostTranscript = 1u << 20;
  if (transcript_.size() > 2 * kMostTranscript) {
    const std::size_t dropped = transcript_.size() - kMostTranscript;
    transcript_.erase(0, dropped);
    transcriptBase_ += dropped;
  }
  state_.paperLines = paper_.size();
  state_.transcriptLength = transcriptBase_ + transcript_.size();
}

void Session::SetTest(bool level) {
  test_ = level;
  state_.board->SetTest(level);
  Input();
}

void Session::SetRomInput(std::uint8_t port, std::uint8_t value) {
  romInputs_[port & 0xF] = value & 0xF;
  state_.board->SetRomInput(port, value);
  Input();
}

void Session::RequestInterrupt() {
  state_.board->RequestInterrupt();
  Input();
}

void Session::SendInput(std::string_view bytes) {
  state_.board->SendInput(bytes);
  Input();
}

std::string Session::TakeOutput() {
  CollectOutput();
  const std::size_t end = transcriptBase_ + transcript_.size();
  const std::size_t from = std::max(taken_, transcriptBase_);
  std::string text = transcript_.substr(from - transcriptBase_);
  taken_ = end;
  return text;
}

void Session::RebuildBoard() {
  const double cyclesPerSecond = clock_ / 8;
  state_.keys.emplace(static_cast<std::uint64_t>(kKeyHoldSeconds * cyclesPerSecond),
                      static_cast<std::uint64_t>(kKeyReleaseSeconds * cyclesPerSecond));
  if (description_) {
    state_.board.emplace(*description_, clock_);
    boards::Board& board = *state_.board;
    if (switchPositions_.size() != board.Switches().size()) {
      switchPositions_.assign(board.Switches().size(), 0);
      for (std::size_t index = 0; index < switchPositions_.size(); ++index) {
        switchPositions_[index] = board.SwitchPosition(index, 0);
      }
    }
    for (std::size_t index = 0; index < switchPositions_.size(); ++index) {
      board.SetSwitch(index, switchPositions_[index], 0);
    }
  } else {
    boards::SerialLine line;
    if (serial_.enabled) {
      line.format = *simulate::ParseSerialFormat(serial_.format);
      line.baud = serial_.baud;
      line.transmit = boards::ParseOutputPin(serial_.pin);
      line.receiveOnTest = serial_.receive;
      line.invertTransmit = serial_.invertTransmit;
      line.invertReceive = serial_.invertReceive;
    }
    state_.board.emplace(boards::SerialBoard(line), clock_);
  }
  state_.board->SetTest(test_);
  for (std::uint8_t port = 0; port < 16; ++port) {
    state_.board->SetRomInput(port, romInputs_[port]);
  }
}

void Session::Reset() {
  const simulate::Processor cpu = state_.machine.cpu;
  state_.machine = simulate::MakeMachine(cpu);
  (void)simulate::LoadImage(state_.machine, program_.bytes);
  targetAddress_ = -1;
  lastStop_ = {};
  RebuildBoard();
  paper_.clear();
  transcript_.clear();
  transcriptBase_ = 0;
  taken_ = 0;
  state_.paperLines = 0;
  state_.transcriptLength = 0;
  undo_.clear();
  for (Watch& watch : watches_) {
    watch.hits = 0;
  }
  history_.Start(state_);
}

std::optional<std::uint64_t> Session::AdvanceKeys() {
  const std::size_t waiting = state_.keys->Remaining();
  const std::optional<std::uint64_t> due =
      state_.keys->Advance(*state_.board, state_.machine.cycles);
  if (state_.keys->Remaining() != waiting) {
    // Going back never runs over a key going down: the history keeps the state after it.
    history_.Keep(state_, true);
  }
  return due;
}

simulate::StepResult Session::StepOnce() {
  AdvanceKeys();
  if (!state_.machine.halted) {
    executed_.set(static_cast<std::size_t>(NextAddress()));
  }
  const simulate::StepResult step = simulate::Step(state_.machine, *state_.board);
  CollectOutput();
  return step;
}

simulate::StepResult Session::Step() {
  KeepHistory();
  undo_.clear();
  const simulate::StepResult step = StepOnce();
  if (step.stop != simulate::Stop::None) {
    lastStop_ = step;
  }
  return step;
}

void Session::Input() {
  undo_.clear();
  history_.Keep(state_, true);
}

void Session::KeepHistory() {
  if (history_.Due(state_.machine.cycles)) {
    history_.Keep(state_, false);
  }
}

bool Session::HasValueOrIoWatch() const {
  return std::any_of(watches_.begin(), watches_.end(),
                     [](const Watch& watch) { return !watch.IsAddress(); });
}

bool Session::WatchHolds(const Watch& watch, const simulate::Machine& before,
                         bool afterStep) const {
  const simulate::Machine& now = state_.machine;
  bool hit = false;
  if (const int* address = std::get_if<int>(&watch.on)) {
    hit = !afterStep && !now.halted && *address == NextAddress();
  } else if (const IoTarget* io = std::get_if<IoTarget>(&watch.on)) {
    hit = !afterStep && IoHits(*io, now);
  } else {
    const ValueTarget& value = std::get<ValueTarget>(watch.on);
    const unsigned was = ValueOf(value, before);
    const unsigned is = ValueOf(value, now);
    hit = afterStep && (value.equals ? is == *value.equals && was != is : was != is);
  }
  return hit && (!watch.condition || watch.condition->Holds(now));
}

bool Session::StopsBefore(bool first) {
  if (first && !runStarting_) {
    // A run that goes on from where a slice of it ended stops at a breakpoint there.
    first = false;
  }
  if (first) {
    return false;
  }
  bool stop = false;
  for (Watch& watch : watches_) {
    if (watch.on.index() != 2 && WatchHolds(watch, state_.machine, false)) {
      stop = ++watch.hits > watch.skip || stop;
    }
  }
  return stop;
}

bool Session::StopsAfter(const simulate::Machine& before) {
  bool stop = false;
  for (Watch& watch : watches_) {
    if (watch.on.index() == 2 && WatchHolds(watch, before, true)) {
      stop = ++watch.hits > watch.skip || stop;
    }
  }
  return stop;
}

Halt Session::Run(std::uint64_t cycles) {
  const std::uint64_t end = state_.machine.cycles + cycles;
  undo_.clear();
  simulate::RunLimits limits;
  limits.until = targetAddress_;
  limits.breakpoints = &breakpoints_;
  limits.endAtHalt = true;
  limits.executed = &executed_;
  const bool stepwise = HasValueOrIoWatch();
  for (;;) {
    KeepHistory();
    if (stepwise) {
      // Watches on values and I/O look at every instruction.
      const bool first = runStarting_;
      if (StopsBefore(first)) {
        runStarting_ = false;
        return Halt::Breakpoint;
      }
      runStarting_ = false;
      if (static_cast<int>(simulate::ProgramCounter(state_.machine)) == targetAddress_ &&
          !state_.machine.halted &&
          (targetPointer_ < 0 || state_.machine.pointer == targetPointer_)) {
        targetAddress_ = -1;
        return Halt::Target;
      }
      if (state_.machine.cycles >= end) {
        return Halt::Budget;
      }
      const simulate::Machine before = state_.machine;
      const simulate::StepResult step = StepOnce();
      if (step.stop != simulate::Stop::None) {
        lastStop_ = step;
        return Halt::Stopped;
      }
      if (StopsAfter(before)) {
        return Halt::Breakpoint;
      }
      if (state_.machine.halted && !state_.machine.interruptsEnabled) {
        return Halt::Halted;
      }
      continue;
    }
    // Stops where the next key that is waiting is due, to press it, and where a copy for the
    // history is due.
    const std::optional<std::uint64_t> due = AdvanceKeys();
    std::uint64_t limit = due ? std::min(end, std::max(*due, state_.machine.cycles + 1)) : end;
    limit = std::min(limit, state_.machine.cycles + History::kEveryCycles);
    limits.cycleLimit = limit;
    limits.breakpointOnFirst = !runStarting_;
    const std::uint64_t before = state_.machine.cycles;
    const simulate::RunOutcome outcome = simulate::Run(state_.machine, *state_.board, limits);
    runStarting_ = runStarting_ && state_.machine.cycles == before;
    CollectOutput();
    if (outcome.end == simulate::RunEnd::CycleLimit && state_.machine.cycles < end) {
      continue;
    }
    switch (outcome.end) {
    case simulate::RunEnd::Address:
      if (targetPointer_ < 0 || state_.machine.pointer == targetPointer_) {
        targetAddress_ = -1;
        return Halt::Target;
      }
      // The same address deeper in a recursion: step past it and go on.
      StepOnce();
      continue;
    case simulate::RunEnd::Breakpoint:
      // A breakpoint with a condition or a count of hits stops only when they say so.
      if (StopsBefore(false)) {
        return Halt::Breakpoint;
      }
      StepOnce();
      continue;
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
  const simulate::Machine& machine = state_.machine;
  const std::size_t bank = machine.cpu == simulate::Processor::I4040 ? machine.romBank : 0;
  const std::uint8_t opcode =
      machine.rom[bank * simulate::kBankSize + simulate::ProgramCounter(machine)];
  return !machine.halted &&
         (opcode & 0xF0) == translate::kInstructionSet[translate::Position("JMS")].opcode;
}

bool Session::StepOut() {
  const simulate::Machine& machine = state_.machine;
  if (machine.pointer == 0) {
    return false;
  }
  // The subroutine returns to the address below the counter in the stack, one level down.
  const int level = machine.pointer - 1;
  SetTarget(machine.addresses[static_cast<std::size_t>(level)], level);
  return true;
}

bool Session::ToggleBreakpoint(int address) {
  if (address < 0 || static_cast<std::size_t>(address) >= breakpoints_.size()) {
    return false;
  }
  const auto index = static_cast<std::size_t>(address);
  breakpoints_.flip(index);
  if (breakpoints_.test(index)) {
    Watch watch;
    watch.on = address;
    watches_.push_back(std::move(watch));
  } else {
    std::erase_if(watches_, [address](const Watch& watch) {
      return watch.IsAddress() && std::get<int>(watch.on) == address;
    });
  }
  return breakpoints_.test(index);
}

bool Session::HasBreakpoint(int address) const {
  return address >= 0 && static_cast<std::size_t>(address) < breakpoints_.size() &&
         breakpoints_.test(static_cast<std::size_t>(address));
}

std::string Session::AddWatch(std::string_view text) {
  auto watch = ParseWatch(text);
  if (auto* problem = std::get_if<std::string>(&watch)) {
    return std::move(*problem);
  }
  watches_.push_back(std::get<Watch>(std::move(watch)));
  return {};
}

std::string Session::SetWatchCondition(std::size_t index, std::string_view text) {
  if (index >= watches_.size()) {
    return {};
  }
  Watch& watch = watches_[index];
  auto parsed = ParseAddressWatch(0, text);
  if (auto* problem = std::get_if<std::string>(&parsed)) {
    return std::move(*problem);
  }
  const Watch& extras = std::get<Watch>(parsed);
  watch.condition = extras.condition;
  watch.skip = extras.skip;
  watch.hits = 0;
  if (watch.IsAddress()) {
    watch.text = extras.text;
  }
  return {};
}

void Session::RemoveWatch(std::size_t index) {
  if (index >= watches_.size()) {
    return;
  }
  if (watches_[index].IsAddress()) {
    breakpoints_.reset(static_cast<std::size_t>(std::get<int>(watches_[index].on)));
  }
  watches_.erase(watches_.begin() + static_cast<std::ptrdiff_t>(index));
}

int Session::NextAddress() const {
  const simulate::Machine& machine = state_.machine;
  const int bank = machine.cpu == simulate::Processor::I4040 ? machine.romBank : 0;
  return bank * static_cast<int>(simulate::kBankSize) + simulate::ProgramCounter(machine);
}

} // namespace debugger
