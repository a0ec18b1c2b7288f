#include "debugger/program.h"

#include "assembly/assembler.h"
#include "assembly/intel_hex.h"
#include "simulate/machine.h"
#include "simulate/trace.h"
#include "translate/instruction_table.h"
#include "translate/latin1.h"

#include <algorithm>
#include <memory>

namespace debugger {

namespace {

Program FromSource(std::string path, const std::string& text, const assembly::ProgramStore& store) {
  Program program;
  program.path = std::move(path);
  program.bytes = assembly::BinaryImage(store);
  program.rowOfAddress.assign(std::max<std::size_t>(program.bytes.size(), 1), -1);
  for (const std::string_view line : assembly::SourceLines(text)) {
    ListingRow row;
    row.line = program.rows.size() + 1;
    row.text = line;
    program.rows.push_back(std::move(row));
  }
  // Each instruction record on the row of the line it came from.
  const std::vector<std::size_t> lines = assembly::InstructionLines(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const assembly::AsmLine& record = store.Instructions[i];
    ListingRow& row = program.rows[lines[i] - 1];
    row.address = record.Address;
    row.bytes.push_back(static_cast<std::uint8_t>(record.Byte1));
    if (record.IsTwoByte) {
      row.bytes.push_back(static_cast<std::uint8_t>(record.Byte2));
    }
    program.rowOfAddress[static_cast<std::size_t>(record.Address)] = static_cast<int>(lines[i] - 1);
  }
  return program;
}

Program FromImage(std::string path, std::string_view bytes) {
  Program program;
  program.path = std::move(path);
  program.image = true;
  program.bytes.assign(bytes.begin(), bytes.end());
  program.rowOfAddress.assign(std::max<std::size_t>(bytes.size(), 1), -1);
  // Front to back, as the processor would run straight through it.
  for (std::size_t address = 0; address < bytes.size();) {
    const auto first = static_cast<std::uint8_t>(bytes[address]);
    const int position = translate::kFirstByteInstruction[first];
    const bool jcn = (first & 0xF0) == translate::kJcnOpcode;
    const bool twoBytes =
        (jcn || (position >= 0 &&
                 translate::IsTwoByteOperand(
                     translate::kInstructionSet[static_cast<std::size_t>(position)].operand))) &&
        address + 1 < bytes.size();
    const std::size_t length = twoBytes ? 2 : 1;
    ListingRow row;
    row.line = program.rows.size() + 1;
    row.address = static_cast<int>(address);
    row.bytes.assign(program.bytes.begin() + static_cast<std::ptrdiff_t>(address),
                     program.bytes.begin() + static_cast<std::ptrdiff_t>(address + length));
    row.text =
        simulate::InstructionText(first, twoBytes ? row.bytes[1] : std::uint8_t{0},
                                  static_cast<std::uint16_t>(address & (simulate::kBankSize - 1)));
    program.rowOfAddress[address] = static_cast<int>(program.rows.size());
    program.rows.push_back(std::move(row));
    address += length;
  }
  return program;
}

// A source in the macro-assembler syntax: its listing rows as they are, every byte's address on
// the row that wrote it.
std::variant<Program, LoadError> FromAslSource(std::string path, std::string_view bytes,
                                               asl::FileReader* files, std::int64_t time) {
  const asl::Outcome outcome = asl::Assemble({path, bytes, {}, files, time});
  if (!outcome.ok) {
    std::string messages;
    for (const asl::Diagnostic& diagnostic : outcome.diagnostics) {
      if (diagnostic.kind == asl::Diagnostic::Kind::Error) {
        messages += asl::DiagnosticText(diagnostic);
      }
    }
    while (!messages.empty() && messages.back() == '\n') {
      messages.pop_back();
    }
    return LoadError{
        translate::IsPlainAscii(messages) ? messages : translate::Latin1ToUtf8(messages), 0, ""};
  }
  Program program;
  program.path = std::move(path);
  program.syntax = Syntax::Asl;
  program.cpu4040 = outcome.cpu4040;
  program.files = outcome.files;
  program.bytes = outcome.image;
  program.rowOfAddress.assign(std::max<std::size_t>(program.bytes.size(), 1), -1);
  for (const asl::ListingRow& row : outcome.rows) {
    ListingRow listed;
    listed.line = row.line;
    listed.text = translate::IsPlainAscii(row.text) ? row.text : translate::Latin1ToUtf8(row.text);
    listed.address = row.bytes.empty() ? -1 : row.address;
    listed.bytes = row.bytes;
    listed.file = row.file == program.path ? std::string() : row.file;
    listed.origin = row.origin;
    listed.skipped = row.skipped;
    for (std::size_t i = 0; i < row.bytes.size(); ++i) {
      const auto address = static_cast<std::size_t>(row.address) + i;
      if (address < program.rowOfAddress.size()) {
        program.rowOfAddress[address] = static_cast<int>(program.rows.size());
      }
    }
    program.rows.push_back(std::move(listed));
  }
  return program;
}

} // namespace

Syntax GuessSyntax(std::string_view bytes) {
  return asl::HasCpuDirective(bytes) ? Syntax::Asl : Syntax::Classic;
}

namespace {

// The file name's extension in lower case, or empty.
std::string Extension(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) {
    return {};
  }
  std::string extension(path.substr(dot + 1));
  for (char& c : extension) {
    c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return extension;
}

} // namespace

bool LooksLikeImage(std::string_view path) {
  const std::string extension = Extension(path);
  return extension == "bin" || extension == "rom" || extension == "img";
}

bool LooksLikeIntelHex(std::string_view path) { return assembly::HasIntelHexName(path); }

std::variant<Program, LoadError> MakeProgram(std::string path, std::string_view bytes, bool image,
                                             Syntax syntax, asl::FileReader* files,
                                             std::int64_t time) {
  if (image) {
    if (bytes.size() > simulate::kBanks * simulate::kBankSize) {
      return LoadError{"the image has " + std::to_string(bytes.size()) +
                           " bytes; program memory holds at most 8192 (two 4 KB banks of the 4040)",
                       0, ""};
    }
    return FromImage(std::move(path), bytes);
  }
  if (syntax == Syntax::Asl) {
    return FromAslSource(std::move(path), bytes, files, time);
  }
  translate::LoadMnemonicTable();
  const std::string text = translate::Latin1ToUtf8(bytes);
  const auto store = std::make_unique<assembly::ProgramStore>();
  const assembly::AssemblyOutcome outcome = assembly::Assemble(*store, text);
  if (!outcome.Completed()) {
    return LoadError{outcome.Message, outcome.Line, outcome.LineText};
  }
  return FromSource(std::move(path), text, *store);
}

} // namespace debugger
