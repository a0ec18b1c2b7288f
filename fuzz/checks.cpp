#include "fuzz/checks.h"

#include "assembly/assembler.h"
#include "assembly/disassembler.h"
#include "assembly/intel_hex.h"
#include "boards/board.h"
#include "boards/board_file.h"
#include "boards/check.h"
#include "boards/key_script.h"
#include "cli/asm.h"
#include "simulate/step.h"
#include "translate/instruction_table.h"
#include "translate/latin1.h"

#include <algorithm>
#include <memory>
#include <tuple>
#include <vector>

namespace fuzz {

namespace {

using assembly::AssemblyOutcome;
using assembly::ProgramStore;
using translate::AsmLine;

std::string Describe(int index, const char* what) {
  return "record " + std::to_string(index) + ": " + what;
}

bool IsByte(std::int16_t value) { return value >= 0 && value <= 255; }

bool IsMessage(std::string_view text) {
  return std::find(assembly::kMessages.begin(), assembly::kMessages.end(), text) !=
         assembly::kMessages.end();
}

int HexValue(std::string_view text) {
  int value = 0;
  for (char c : text) {
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (digit < 0) {
      return -1;
    }
    value = value * 16 + digit;
  }
  return text.empty() ? -1 : value;
}

// Records 0 to last-1 hold bytes, and addresses that run on from 0 without a gap and stay in
// program memory.
std::string CheckRecords(const ProgramStore& store, int count) {
  int address = 0;
  for (int i = 0; i < count; ++i) {
    const AsmLine& record = store.Instructions[static_cast<std::size_t>(i)];
    if (!IsByte(record.Byte1) || !IsByte(record.Byte2)) {
      return Describe(i, "a byte outside 0 to 255");
    }
    if (record.Address != address) {
      return Describe(i, "an address that does not follow the previous record");
    }
    address += record.IsTwoByte ? 2 : 1;
    if (address > assembly::kProgramMemorySize) {
      return Describe(i, "a byte past the end of program memory");
    }
  }
  return {};
}

// The listing has one line per record 0 to count-1 and reads back to their addresses and bytes.
std::string CheckListing(const ProgramStore& store, std::string_view listing, int count) {
  int index = 0;
  std::size_t start = 0;
  while (start < listing.size()) {
    const std::size_t end = listing.find("\r\n", start);
    if (end == std::string_view::npos) {
      return "a listing line without CR LF";
    }
    const std::string_view line = listing.substr(start, end - start);
    start = end + 2;
    if (index >= count) {
      return "more listing lines than records";
    }
    const AsmLine& record = store.Instructions[static_cast<std::size_t>(index)];
    const bool shape = record.IsTwoByte ? line.size() == 12 && line[9] == ' ' : line.size() == 9;
    if (!shape || line.substr(3, 4) != "    " || HexValue(line.substr(0, 3)) != record.Address ||
        HexValue(line.substr(7, 2)) != record.Byte1 ||
        (record.IsTwoByte && HexValue(line.substr(10, 2)) != record.Byte2)) {
      return Describe(index, "a listing line that does not read back to the record");
    }
    ++index;
  }
  return index == count ? std::string() : std::string("fewer listing lines than records");
}

std::string CheckOutcome(const AssemblyOutcome& outcome, const ProgramStore& store,
                         std::string_view source) {
  if (!outcome.Completed() && !IsMessage(outcome.Message)) {
    return "a message that is not the program's: " + outcome.Message;
  }
  if (outcome.Completed()) {
    if (!outcome.Listing || outcome.Selection || outcome.Line != 0) {
      return "a completed run with a selection, a line, or no listing";
    }
    if (store.InstrPos < -1 || store.InstrPos >= assembly::kInstructionCapacity ||
        store.LabelPos < -1 || store.LabelPos >= assembly::kLabelCapacity) {
      return "counters outside the tables after a completed run";
    }
    const int count = store.InstrPos + 1;
    if (std::string problem = CheckRecords(store, count); !problem.empty()) {
      return problem;
    }
    if (std::string problem = CheckListing(store, *outcome.Listing, count); !problem.empty()) {
      return problem;
    }
    const std::vector<std::uint8_t> image = assembly::BinaryImage(store);
    std::size_t expected = 0;
    for (int i = 0; i < count; ++i) {
      expected += store.Instructions[static_cast<std::size_t>(i)].IsTwoByte ? 2 : 1;
    }
    return image.size() == expected ? std::string() : std::string("an image of the wrong length");
  }
  if (outcome.Line == 0) {
    return "an error without a line";
  }
  if (outcome.Selection) {
    // Rejected in the first pass: counters are counts, the listing area keeps its text.
    if (outcome.Listing) {
      return "a rejected line with a new listing";
    }
    if (outcome.Selection->Start + outcome.Selection->Length > source.size()) {
      return "a selection past the end of the text";
    }
    if (store.InstrPos < 0 || store.InstrPos > assembly::kInstructionCapacity ||
        store.LabelPos < 0 || store.LabelPos > assembly::kLabelCapacity) {
      return "counters outside the tables after a rejected line";
    }
    return CheckRecords(store, store.InstrPos);
  }
  // Stopped in the second pass: the listing holds the records before the failing one.
  if (!outcome.Listing) {
    return "a second-pass error without a listing";
  }
  if (std::string problem = CheckRecords(store, store.InstrPos + 1); !problem.empty()) {
    return problem;
  }
  const auto listed =
      static_cast<int>(std::count(outcome.Listing->begin(), outcome.Listing->end(), '\n'));
  if (listed > store.InstrPos) {
    return "a second-pass error after every record was listed";
  }
  return CheckListing(store, *outcome.Listing, listed);
}

bool SameOutcome(const AssemblyOutcome& a, const AssemblyOutcome& b) {
  return a.Message == b.Message && a.Listing == b.Listing && a.Selection == b.Selection &&
         a.Line == b.Line && a.LineText == b.LineText;
}

} // namespace

std::string CheckParseLine(std::string_view line) {
  translate::LoadMnemonicTable();
  const AsmLine record = translate::ParseLine(line);
  if (!(record == translate::ParseLine(line))) {
    return "parsing the same line twice gives different records";
  }
  if (record.Kind == translate::kNoInstruction) {
    return record.Text.empty() || IsMessage(record.Text)
               ? std::string()
               : "a rejected line with a message that is not the program's: " + record.Text;
  }
  if (record.Kind == translate::kLabelKind) {
    return {};
  }
  if (record.Kind < 0 || record.Kind >= static_cast<int>(translate::kInstructionCount)) {
    return "an instruction code outside the table";
  }
  if (!IsByte(record.Byte1) || !IsByte(record.Byte2)) {
    return "a byte outside 0 to 255";
  }
  const translate::Operand operand =
      translate::kInstructionSet[static_cast<std::size_t>(record.Kind)].operand;
  if (record.IsTwoByte != translate::IsTwoByteOperand(operand)) {
    return "a length that does not match the instruction";
  }
  return {};
}

std::string CheckAssembly(std::string_view source) {
  translate::LoadMnemonicTable();
  const auto store = std::make_unique<ProgramStore>();
  const AssemblyOutcome first = assembly::Assemble(*store, source);
  if (std::string problem = CheckOutcome(first, *store, source); !problem.empty()) {
    return problem;
  }
  const std::vector<std::uint8_t> image = assembly::BinaryImage(*store);
  // Again on the same store, over whatever the first run left in it.
  const AssemblyOutcome second = assembly::Assemble(*store, source);
  if (!SameOutcome(first, second) ||
      (first.Completed() && assembly::BinaryImage(*store) != image)) {
    return "assembling the same text twice gives different outcomes";
  }
  return {};
}

std::string CheckFileBytes(std::string_view bytes) {
  translate::LoadMnemonicTable();
  const auto store = std::make_unique<ProgramStore>();
  const cli::Assembled result = cli::AssembleFileBytes(*store, bytes);
  const std::string text = translate::Latin1ToUtf8(bytes);
  if (std::string problem = CheckOutcome(result.outcome, *store, text); !problem.empty()) {
    return problem;
  }
  if (!result.outcome.Completed()) {
    return result.image.empty() ? std::string() : std::string("an image after an error");
  }
  if (result.image != assembly::BinaryImage(*store)) {
    return "an image that differs from the store's";
  }
  // The Intel HEX records carry the image: every data byte appears in order.
  const std::string hex = assembly::IntelHex(result.image);
  std::vector<std::uint8_t> decoded;
  std::size_t start = 0;
  while (start < hex.size()) {
    const std::size_t end = hex.find('\n', start);
    const std::string_view record = std::string_view(hex).substr(start, end - start);
    start = end + 1;
    const int count = HexValue(record.substr(1, 2));
    if (HexValue(record.substr(7, 2)) == 0) {
      for (int i = 0; i < count; ++i) {
        decoded.push_back(static_cast<std::uint8_t>(HexValue(record.substr(9 + 2 * i, 2))));
      }
    }
  }
  return decoded == result.image ? std::string() : std::string("Intel HEX that loses bytes");
}

std::string CheckDisassembly(std::span<const std::uint8_t> image) {
  translate::LoadMnemonicTable();
  const assembly::Disassembly disassembly = assembly::Disassemble(image);
  if (!disassembly.Error.empty()) {
    // Every image that fits program memory can be written as a program.
    return image.size() > static_cast<std::size_t>(assembly::kProgramMemorySize)
               ? std::string()
               : "no program for an image of " + std::to_string(image.size()) + " bytes";
  }
  const auto store = std::make_unique<ProgramStore>();
  const AssemblyOutcome outcome = assembly::Assemble(*store, disassembly.Source);
  if (!outcome.Completed()) {
    return "the disassembly does not assemble: " + outcome.Message + " at " + outcome.LineText;
  }
  const std::vector<std::uint8_t> again = assembly::BinaryImage(*store);
  return std::equal(again.begin(), again.end(), image.begin(), image.end())
             ? std::string()
             : std::string("the disassembly assembles to another image");
}

namespace {

// Inputs that follow a pattern of the fuzz input, the same on every run.
class PatternBoard final : public simulate::Peripherals {
public:
  explicit PatternBoard(std::uint8_t seed) : seed_(seed) {}
  bool Test(std::uint64_t cycle) override { return ((cycle * (seed_ | 1)) >> 3 & 1) != 0; }
  std::uint8_t RomInput(std::uint8_t port, std::uint64_t cycle) override {
    return static_cast<std::uint8_t>((port + seed_ + cycle) & 0xF);
  }
  void RomOutput(std::uint8_t, std::uint8_t value, std::uint64_t) override { outputs_ += value; }
  void RamOutput(std::uint8_t, std::uint8_t, std::uint8_t value, std::uint64_t) override {
    outputs_ += value;
  }
  bool Interrupt(std::uint64_t cycle) override { return (seed_ & 0x80) != 0 && cycle % 97 == 0; }
  [[nodiscard]] unsigned Outputs() const { return outputs_; }

private:
  std::uint8_t seed_;
  unsigned outputs_ = 0;
};

template <typename Values> bool AllBelow(const Values& values, unsigned limit) {
  return std::all_of(values.begin(), values.end(), [limit](auto v) { return v < limit; });
}

// The RAMs and ports, checked at the end of a run (every write is checked as it is made).
std::string CheckMemory(const simulate::Machine& machine) {
  if (!AllBelow(machine.ram, 16) || !AllBelow(machine.status, 16) ||
      !AllBelow(machine.ramPorts, 16) || !AllBelow(machine.romPorts, 16)) {
    return "a 4-bit value of 16 or more in the RAMs or ports";
  }
  return {};
}

std::string CheckMachine(const simulate::Machine& machine) {
  const bool is4040 = machine.cpu == simulate::Processor::I4040;
  if (machine.acc > 0xF || machine.carry > 1 || !AllBelow(machine.registers, 16)) {
    return "a 4-bit value of 16 or more in the processor";
  }
  if (!AllBelow(machine.addresses, 0x1000)) {
    return "an address of 1000 or more";
  }
  if (machine.pointer >= simulate::AddressRegisters(machine.cpu)) {
    return "a stack pointer past the stack";
  }
  if (machine.dcl > 7 || machine.romBank > 1 || machine.registerBank > 1 ||
      (!is4040 && (machine.romBank != 0 || machine.registerBank != 0 || machine.halted))) {
    return "a selection the processor does not have";
  }
  return {};
}

// Runs the image and returns what broke, or a digest of the run.
std::pair<std::string, std::uint64_t>
RunImage(simulate::Processor cpu, std::span<const std::uint8_t> image, std::uint8_t seed) {
  auto machine = std::make_unique<simulate::Machine>(simulate::MakeMachine(cpu));
  if (!simulate::LoadImage(*machine, image).empty()) {
    return {"", 0};
  }
  PatternBoard board(seed);
  std::uint64_t digest = 0;
  // The processor's own state before each step; memory and ports change only after the checks
  // that stop a step.
  const auto processor = [](const simulate::Machine& m) {
    return std::tuple(m.cycles, m.addresses, m.pointer, m.acc, m.carry, m.registers, m.src, m.dcl,
                      m.halted, m.registerBank, m.romBank);
  };
  for (int i = 0; i < 2000 && machine->cycles < 3000; ++i) {
    const auto before = processor(*machine);
    const std::uint64_t cyclesBefore = machine->cycles;
    const simulate::StepResult step = simulate::Step(*machine, board);
    if (step.stop != simulate::Stop::None) {
      return {processor(*machine) == before ? std::string() : "a stop that changed the machine",
              digest};
    }
    const std::uint64_t grew = machine->cycles - cyclesBefore;
    if (grew != 1 && grew != 2) {
      return {"a step of " + std::to_string(grew) + " cycles", digest};
    }
    if (std::string problem = CheckMachine(*machine); !problem.empty()) {
      return {problem, digest};
    }
    if (step.write.value > 0xF) {
      return {"a write of a value of 16 or more", digest};
    }
    digest = digest * 1099511628211u + simulate::ProgramCounter(*machine) * 16u + machine->acc;
  }
  return {CheckMemory(*machine), digest + board.Outputs()};
}

} // namespace

std::string CheckSimulation(std::span<const std::uint8_t> input) {
  if (input.empty()) {
    return {};
  }
  const std::uint8_t seed = input[0];
  const auto cpu = (seed & 1) != 0 ? simulate::Processor::I4040 : simulate::Processor::I4004;
  const auto first = RunImage(cpu, input.subspan(1), seed);
  if (!first.first.empty()) {
    return first.first;
  }
  return RunImage(cpu, input.subspan(1), seed) == first ? std::string()
                                                        : "two runs of one image disagree";
}

std::string CheckBoardFile(std::string_view text) {
  const boards::LoadedBoard loaded = boards::ParseBoard(text, "board");
  if (loaded.board.has_value() == !loaded.error.empty()) {
    return loaded.board ? "a board came with a message" : "no board and no message";
  }
  if (!loaded.board) {
    return loaded.error.starts_with("board: ") ? std::string()
                                               : "a message does not begin with the file's name";
  }
  if (const std::string fault = boards::CheckBoard(*loaded.board); !fault.empty()) {
    return "a board read from a file fails the wiring check: " + fault;
  }
  boards::Board board(*loaded.board, loaded.board->clockHz.value_or(740000));
  // Press every key and set every switch to its last position, one after another: each name
  // that a script can write reads back.
  const auto writable = [](const std::string& name) {
    return !name.empty() && name.find_first_of("[]= ") == std::string::npos;
  };
  std::string keys;
  for (const boards::Board::Key& key : board.Keys()) {
    if (writable(key.name)) {
      keys += "[" + key.name + "]";
    }
  }
  for (const boards::Board::Switch& each : board.Switches()) {
    if (writable(each.name) && writable(each.positions.back())) {
      keys += "[" + each.name + "=" + each.positions.back() + "]";
    }
  }
  const boards::KeyScript script = boards::ParseKeys(keys, board);
  if (!script.error.empty()) {
    return "the board's own key names do not read back: " + script.error;
  }
  boards::ScheduleKeys(board, script.actions, 0, 50, 50);
  board.SendInput("ok\r");
  // Walks the ports with a counter: ROM and RAM ports written, inputs read, program RAM written.
  const std::vector<std::uint8_t> program{0x20, 0x00,  // FIM 0, 00
                                          0x21,        // SRC 0        (loop)
                                          0xA1, 0xE2,  // LDA 1, WRR
                                          0xE1, 0xEA,  // WMP, RDR
                                          0xE3, 0xE3,  // WPM, WPM
                                          0x19, 0x0B,  // JT 00B
                                          0xFD,        // DCL          (00B)
                                          0x71, 0x02,  // ISZ 1, 002
                                          0x60,        // INC 0
                                          0x40, 0x02}; // JUN 002
  simulate::Machine machine = simulate::MakeMachine(simulate::Processor::I4004);
  if (!simulate::LoadImage(machine, program).empty()) {
    return "the walking program does not load";
  }
  simulate::RunLimits limits;
  limits.cycleLimit = 20'000;
  const simulate::RunOutcome outcome = simulate::Run(machine, board, limits);
  if (outcome.end == simulate::RunEnd::Stopped &&
      outcome.last.stop != simulate::Stop::NoProgramMemory) {
    return "the walking program stopped";
  }
  // What came out, as the programs take it.
  (void)board.TakeOutput(machine.cycles);
  (void)board.PrintingLine();
  return {};
}

std::string ExpandInput(std::string_view input) {
  if (input.empty() || static_cast<unsigned char>(input[0]) < 0xC0 || input.size() == 1) {
    return std::string(input);
  }
  const std::string_view unit = input.substr(1);
  const std::size_t repeats = (static_cast<unsigned char>(input[0]) - 0xBF) * 160u;
  std::string text;
  for (std::size_t i = 0; i < repeats && text.size() + unit.size() <= (1u << 15); ++i) {
    text.append(unit);
  }
  return text;
}

} // namespace fuzz
