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

void Session::Input() {
  undo_.clear();
  history_.Keep(state_, true);
}

int Session::NextAddress() const {
  const simulate::Machine& machine = state_.machine;
  const int bank = machine.cpu == simulate::Processor::I4040 ? machine.romBank : 0;
  return bank * static_cast<int>(simulate::kBankSize) + simulate::ProgramCounter(machine);
}

} // namespace debugger
