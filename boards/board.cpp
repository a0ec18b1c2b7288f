#include "boards/board.h"

#include "boards/text.h"

#include <algorithm>
#include <limits>
#include <map>
#include <type_traits>
#include <utility>

namespace boards {

namespace {

using simulate::kRamChips;

constexpr std::size_t kNoMatrix = std::numeric_limits<std::size_t>::max();

std::size_t RamPortIndex(std::uint8_t line, std::uint8_t chip) {
  return (line & 3u) * kRamChips + (chip & 3u);
}

} // namespace

struct Board::Wiring {
  double clockHz = 0;
  double cyclesPerMs = 0;
  std::map<std::string, std::size_t> registers;
  std::map<std::string, std::size_t> matrices;
  std::map<std::string, std::size_t> trains;
};

Board::Board(const BoardDescription& description, double clockHz)
    : description_(std::make_shared<const BoardDescription>(description)),
      cyclesPerSecond_(clockHz / 8) {
  Wiring wiring;
  wiring.clockHz = clockHz;
  wiring.cyclesPerMs = cyclesPerSecond_ / 1000;
  // Parts that others refer to come first: shift registers and pulse trains, then the key
  // matrices on the registers, then the rest in the order the description gives them.
  for (const Part& part : description_->parts) {
    if (const auto* p = std::get_if<ShiftRegisterPart>(&part.kind)) {
      Add(part.name, *p, wiring);
    } else if (const auto* p = std::get_if<PulseTrainPart>(&part.kind)) {
      Add(part.name, *p, wiring);
    }
  }
  for (const Part& part : description_->parts) {
    if (const auto* p = std::get_if<KeyMatrixPart>(&part.kind)) {
      Add(part.name, *p, wiring);
    }
  }
  for (const Part& part : description_->parts) {
    std::visit(
        [&](const auto& p) {
          using Kind = std::decay_t<decltype(p)>;
          if constexpr (!std::is_same_v<Kind, ShiftRegisterPart> &&
                        !std::is_same_v<Kind, PulseTrainPart> &&
                        !std::is_same_v<Kind, KeyMatrixPart>) {
            Add(part.name, p, wiring);
          }
        },
        part.kind);
  }
}

void Board::Listen(const OutputPin& pin, const Listener& listener) {
  auto& listeners = pin.kind == OutputPin::Kind::Rom
                        ? romListeners_[pin.chip & 0xF]
                        : ramListeners_[RamPortIndex(pin.line, pin.chip)];
  listeners.push_back(listener);
}

void Board::Drive(const InputPin& pin, const Driver& driver) {
  if (pin.kind == InputPin::Kind::Test) {
    testDriver_ = driver;
  } else if (pin.kind == InputPin::Kind::Interrupt) {
    interruptDriver_ = driver;
  } else {
    romDrivers_[pin.port & 0xF][pin.bit & 3] = driver;
    drivenMask_[pin.port & 0xF] |= static_cast<std::uint8_t>(1u << (pin.bit & 3));
  }
}

void Board::Add(const std::string& name, const ShiftRegisterPart& part, Wiring& wiring) {
  wiring.registers[name] = shiftRegisters_.size();
  Listen(part.clock, {Listener::Kind::ShiftRegister, shiftRegisters_.size()});
  registerPins_.emplace_back(part.clock, part.data);
  shiftRegisters_.emplace_back(part.chips);
}

void Board::Add(const std::string& name, const PulseTrainPart& part, Wiring& wiring) {
  wiring.trains[name] = pulseTrains_.size();
  Drive(part.output, {Driver::Kind::Pulse, pulseTrains_.size()});
  if (part.index) {
    Drive(*part.index, {Driver::Kind::Index, pulseTrains_.size()});
  }
  const double perMs = wiring.cyclesPerMs;
  pulseTrains_.emplace_back(part.periodMs * perMs, part.widthMs * perMs, part.phaseMs * perMs,
                            part.indexEvery);
}

void Board::Add(const std::string& name, const KeyMatrixPart& part, Wiring& wiring) {
  const std::size_t index = matrices_.size();
  wiring.matrices[name] = index;
  matrices_.emplace_back(part.activeLow);
  matrixColumns_.push_back(wiring.registers.at(part.columns));
  for (unsigned row = 0; row < part.rows.size(); ++row) {
    Drive(part.rows[row], {Driver::Kind::MatrixRow, index, row});
  }
  for (const MatrixKey& key : part.keys) {
    keys_.push_back({key.name, key.aliases, key.place, name});
    const std::size_t contact = matrices_[index].AddContact(key.column);
    keyContacts_.emplace_back(index, contact);
    keyRows_.push_back(static_cast<std::uint8_t>(1u << key.row));
  }
}

void Board::Add(const std::string& name, const SwitchPart& part, Wiring& wiring) {
  const std::size_t matrix = wiring.matrices.at(part.matrix);
  const std::size_t contact = matrices_[matrix].AddContact(part.column);
  Switch entry{name, part.label, {}};
  std::vector<std::uint8_t> values;
  for (const auto& [position, rows] : part.positions) {
    entry.positions.push_back(position);
    values.push_back(rows);
  }
  matrices_[matrix].Contact(contact).Set(0, values[part.position]);
  switches_.push_back(std::move(entry));
  switchContacts_.emplace_back(matrix, contact);
  switchValues_.push_back(std::move(values));
}

void Board::Add(const std::string& name, const ButtonPart& part, Wiring&) {
  Drive(part.input, {Driver::Kind::Button, buttons_.size()});
  keys_.push_back({name, part.aliases, part.place, name});
  keyContacts_.emplace_back(kNoMatrix, buttons_.size());
  keyRows_.push_back(1);
  buttons_.emplace_back();
}

void Board::Add(const std::string&, const DrumPrinterPart& part, Wiring& wiring) {
  printer_.emplace(part.hammerColumns, part.columns);
  printerHammers_ = wiring.registers.at(part.hammers);
  printerDrum_ = wiring.trains.at(part.drum);
  printerPart_ = part;
  // The ribbon first: a write that shifts it and fires prints in red.
  if (part.red) {
    Listen(*part.red, {Listener::Kind::Ribbon, 0});
  }
  Listen(part.fire, {Listener::Kind::Fire, 0});
  Listen(part.advance, {Listener::Kind::Advance, 0});
}

void Board::Add(const std::string& name, const LampPart& part, Wiring&) {
  lamps_.push_back({name, part.label, part.pin});
}

void Board::Add(const std::string&, const SerialOutPart& part, Wiring& wiring) {
  serial_.out = part;
  serial_.decoder.emplace(part.format, simulate::CyclesPerBit(wiring.clockHz, part.baud));
  // The output latches are 0 at reset: the line starts at 0, or at 1 where the board inverts.
  serial_.decoder->Line(part.invert, 0);
  Listen(part.pin, {Listener::Kind::SerialOut, 0});
}

void Board::Add(const std::string&, const SerialInPart& part, Wiring& wiring) {
  serial_.in = part;
  serial_.feeder.emplace(part.format, simulate::CyclesPerBit(wiring.clockHz, part.baud));
  Drive(part.pin, {Driver::Kind::SerialIn, 0});
}

void Board::Add(const std::string&, const ProgramRamPart& part, Wiring&) {
  programRam_.emplace(part.page, part.banks,
                      ProgramRam::Wiring{part.lowHalfFirst, part.srcStartsByte});
  if (part.bankSelect) {
    bankSelect_ = part.bankSelect;
    Listen(OutputPin{OutputPin::Kind::Ram, part.bankSelect->line, part.bankSelect->chip, 0},
           {Listener::Kind::BankSelect, 0});
  }
}

bool Board::Level(const OutputPin& pin) const {
  const std::uint8_t latch = pin.kind == OutputPin::Kind::Rom
                                 ? romLatches_[pin.chip & 0xF]
                                 : ramLatches_[RamPortIndex(pin.line, pin.chip)];
  return ((latch >> pin.bit) & 1) != 0;
}

bool Board::DrivenLevel(const Driver& driver, std::uint64_t cycle) const {
  switch (driver.kind) {
  case Driver::Kind::MatrixRow:
    return ((matrices_[driver.index].Rows(shiftRegisters_[matrixColumns_[driver.index]], cycle) >>
             driver.row) &
            1) != 0;
  case Driver::Kind::Pulse:
    return pulseTrains_[driver.index].Level(cycle);
  case Driver::Kind::Index:
    return pulseTrains_[driver.index].Index(cycle);
  case Driver::Kind::Button:
    return buttons_[driver.index].At(cycle) != 0;
  case Driver::Kind::SerialIn:
    return serial_.feeder->Level(cycle) != serial_.in->invert;
  }
  return false;
}

bool Board::Driven(const Driver& driver, std::uint64_t cycle, bool poll) {
  if (poll && driver.kind == Driver::Kind::SerialIn) {
    // The program looking at the line is what lets a waiting byte start.
    return serial_.feeder->Poll(cycle) != serial_.in->invert;
  }
  return DrivenLevel(driver, cycle);
}

bool Board::Test(std::uint64_t cycle) {
  return testDriver_ ? Driven(*testDriver_, cycle, true) : test_;
}

bool Board::Interrupt(std::uint64_t cycle) {
  if (interruptEvery_ != 0 && cycle >= nextInterrupt_) {
    interruptRequested_ = true;
    nextInterrupt_ +=
        (cycle - nextInterrupt_) / interruptEvery_ * interruptEvery_ + interruptEvery_;
  }
  return interruptRequested_ || (interruptDriver_ && Driven(*interruptDriver_, cycle, true));
}

void Board::InterruptTaken(std::uint64_t) { interruptRequested_ = false; }

void Board::RequestInterruptEvery(std::uint64_t cycles) {
  interruptEvery_ = cycles;
  nextInterrupt_ = cycles;
}

bool Board::TestLevel(std::uint64_t cycle) const {
  return testDriver_ ? DrivenLevel(*testDriver_, cycle) : test_;
}

std::uint8_t Board::RomInput(std::uint8_t port, std::uint64_t cycle) {
  port &= 0xF;
  std::uint8_t value = romInputs_[port] & static_cast<std::uint8_t>(~drivenMask_[port]);
  if (drivenMask_[port] != 0) {
    for (unsigned bit = 0; bit < 4; ++bit) {
      const std::optional<Driver>& driver = romDrivers_[port][bit];
      if (driver && Driven(*driver, cycle, true)) {
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
      shiftRegisters_[listener.index].Inputs(Level(clock), Level(data));
      break;
    }
    case Listener::Kind::Fire:
      printer_->Fire(Level(printerPart_->fire), cycle, shiftRegisters_[printerHammers_],
                     pulseTrains_[printerDrum_]);
      break;
    case Listener::Kind::Ribbon:
      printer_->Ribbon(Level(*printerPart_->red));
      break;
    case Listener::Kind::Advance: {
      const std::size_t fed = printer_->Fed().size();
      printer_->Advance(Level(printerPart_->advance), cycle);
      outputWaiting_ = outputWaiting_ || printer_->Fed().size() != fed;
      break;
    }
    case Listener::Kind::SerialOut: {
      const bool level = Level(serial_.out->pin) != serial_.out->invert;
      const std::size_t before = serial_.decoder->Received().size();
      // The port changes at the end of the instruction cycle that writes it.
      serial_.decoder->Line(level, cycle + 1);
      outputWaiting_ = outputWaiting_ || serial_.decoder->Received().size() != before;
      break;
    }
    case Listener::Kind::BankSelect:
      programRam_->SelectBank(ramLatches_[RamPortIndex(bankSelect_->line, bankSelect_->chip)]);
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
  const std::size_t index = RamPortIndex(line, chip);
  ramLatches_[index] = value & 0xF;
  Notify(ramListeners_[index], cycle);
}

void Board::SentAddress(std::uint8_t, std::uint64_t) {
  if (programRam_) {
    programRam_->Designate();
  }
}

void Board::WriteProgramMemory(simulate::Machine& machine, std::uint8_t value, std::uint64_t) {
  programRam_->Write(machine, value);
}

std::uint8_t Board::ReadProgramMemory(simulate::Machine& machine, std::uint64_t) {
  return programRam_->Read(machine);
}

void Board::MapProgramMemory(simulate::Machine& machine) {
  if (programRam_) {
    programRam_->Sync(machine);
  }
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
  Timeline& timeline = matrix == kNoMatrix ? buttons_[contact] : matrices_[matrix].Contact(contact);
  timeline.Pulse(from, until, keyRows_[key]);
}

bool Board::KeyDown(std::size_t key, std::uint64_t cycle) const {
  const auto [matrix, contact] = keyContacts_[key];
  const Timeline& timeline =
      matrix == kNoMatrix ? buttons_[contact] : matrices_[matrix].Contact(contact);
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
  matrices_[matrix].Contact(contact).Set(from, switchValues_[index][position]);
}

std::size_t Board::SwitchPosition(std::size_t index, std::uint64_t cycle) const {
  const auto [matrix, contact] = switchContacts_[index];
  const std::uint8_t rows = matrices_[matrix].Contact(contact).At(cycle);
  const std::vector<std::uint8_t>& values = switchValues_[index];
  return static_cast<std::size_t>(std::find(values.begin(), values.end(), rows) - values.begin());
}

bool Board::LampLit(std::size_t lamp) const { return Level(lamps_[lamp].pin); }

PaperText Board::PrintingLine() const {
  if (!printer_) {
    return {};
  }
  return {printer_->Text(printer_->Current()), printer_->Current().red};
}

void Board::SendInput(std::string_view bytes) {
  if (serial_.feeder) {
    serial_.feeder->Queue(bytes);
  }
}

const SerialFeeder* Board::Input() const { return serial_.feeder ? &*serial_.feeder : nullptr; }

void Board::DecodeSerial(std::uint64_t cycle) {
  if (serial_.decoder) {
    serial_.decoder->Advance(cycle);
  }
}

Board::Output Board::TakeOutput(std::uint64_t cycle) {
  Output output;
  DecodeSerial(cycle);
  if (serial_.decoder) {
    output.serial = std::exchange(serial_.decoder->Received(), {});
  }
  if (printer_) {
    for (const PaperLine& line : printer_->Fed()) {
      output.paper.push_back({printer_->Text(line), line.red});
    }
    printer_->Fed().clear();
  }
  outputWaiting_ = false;
  return output;
}

} // namespace boards
