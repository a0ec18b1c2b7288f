#include "asl_syntax/pass_state.h"

namespace asl::detail {

using translate::Operand;

void Pass::Emit(std::uint8_t byte) {
  if (pc_ > LastAddress()) {
    if (!pastEnd_) {
      Error(std::string("the program goes past ") + (cpu4040_ ? "1FFF" : "FFF") +
            ", the end of the " + (cpu4040_ ? "4040's" : "4004's") + " program memory");
      pastEnd_ = true;
    }
    ++pc_;
    return;
  }
  const auto address = static_cast<std::size_t>(pc_);
  Row& row = result_.rows.back();
  if (owners_[address] != 0 && owners_[address] != result_.rows.size()) {
    const Row& other = result_.rows[owners_[address] - 1];
    Error("address " + HexText(pc_) + " is written twice: by this line and by " + *other.file +
          ":" + std::to_string(other.line));
  }
  owners_[address] = result_.rows.size();
  result_.memory[address] = byte;
  if (row.address < 0) {
    row.address = static_cast<int>(pc_);
  }
  if (row.byteCount == 0) {
    row.firstByte = static_cast<std::uint32_t>(result_.bytes.size());
  }
  result_.bytes.push_back(byte);
  ++row.byteCount;
  ++pc_;
}

std::optional<std::uint8_t> Pass::RegisterOperand(std::span<const Token> tokens, bool pair) {
  const char* wanted = pair ? "a register pair (R0R1 ... RERF)" : "a register (R0-R15)";
  if (tokens.size() != 1 || tokens[0].kind != Token::Kind::Name) {
    Error(std::string("the operand must be ") + wanted + ", not a number or an expression");
    return std::nullopt;
  }
  const auto reg = Register(tokens[0].text);
  if (!reg || reg->pair != pair) {
    Error("\"" + tokens[0].text + "\" is not " + wanted);
    return std::nullopt;
  }
  return reg->number;
}

std::optional<std::uint8_t> Pass::Nibble(std::span<const Token> tokens, std::string_view what) {
  const auto value = Integer(tokens, what);
  if (!value) {
    return std::nullopt;
  }
  if (*value < 0 || *value > 15) {
    Error(std::string(what) + " must be 0 to 15, not " + std::to_string(*value));
    return std::nullopt;
  }
  return static_cast<std::uint8_t>(*value);
}

std::optional<std::uint8_t> Pass::Byte(std::span<const Token> tokens, std::string_view what) {
  const auto value = Integer(tokens, what);
  if (!value) {
    return std::nullopt;
  }
  if (*value < -128 || *value > 255) {
    Error(std::string(what) + " must be a byte, -128 to 255, not " + std::to_string(*value));
    return std::nullopt;
  }
  return static_cast<std::uint8_t>(*value & 0xFF);
}

// A jump within a block: the target must lie in the block of the address after the
// instruction, which at the end of a block is the next one.
std::optional<std::uint8_t> Pass::NearTarget(std::span<const Token> tokens, std::int64_t next) {
  const auto target = Integer(tokens, "the jump's target");
  if (!target) {
    return std::nullopt;
  }
  if ((*target >> 8) != (next >> 8) || *target < 0) {
    Error("the jump's target " + HexText(*target) + " is not in the block " +
          HexText(next & ~0xFF) + "-" + HexText(next | 0xFF) +
          " of the address after the instruction");
    return std::nullopt;
  }
  return static_cast<std::uint8_t>(*target & 0xFF);
}

// JCN's condition: letters (T, C, Z, N in any order) or a number 0-15.
std::optional<std::uint8_t> Pass::Condition(std::span<const Token> tokens) {
  if (tokens.size() == 1 && tokens[0].kind == Token::Kind::Name) {
    if (const auto letters = ConditionLetters(tokens[0].text)) {
      return letters;
    }
  }
  return Nibble(tokens, "the condition");
}

void Pass::Instruction(const Mnemonic& mnemonic, std::string_view operands) {
  const std::int64_t start = pc_;
  Encode(mnemonic, operands);
  // An instruction with an error still takes its room, so that the addresses after it are the
  // same in every pass: in the first, a jump forward is an error until its label is known.
  const std::int64_t size =
      mnemonic.operand == Operand::FarLabel || mnemonic.operand == Operand::PairData ||
              mnemonic.operand == Operand::RegisterLabel || mnemonic.operand == Operand::NearLabel
          ? 2
          : 1;
  while (pc_ < start + size) {
    Emit(pc_ == start ? mnemonic.opcode : 0);
  }
}

void Pass::Encode(const Mnemonic& mnemonic, std::string_view operands) {
  const auto tokens = Tokens(operands);
  if (!tokens) {
    return;
  }
  const auto parts = SplitAtCommas(*tokens);
  const std::size_t wanted = mnemonic.operand == Operand::None ? 0
                             : mnemonic.operand == Operand::PairData ||
                                     mnemonic.operand == Operand::RegisterLabel ||
                                     mnemonic.operand == Operand::NearLabel
                                 ? 2
                                 : 1;
  if (parts.size() != wanted) {
    Error(std::string(mnemonic.name) + " takes " +
          (wanted == 0   ? "no operand"
           : wanted == 1 ? "one operand"
                         : "two operands") +
          ", not " + std::to_string(parts.size()));
    return;
  }
  const std::uint8_t opcode = mnemonic.opcode;
  switch (mnemonic.operand) {
  case Operand::None:
    Emit(opcode);
    return;
  case Operand::Register:
    if (const auto r = RegisterOperand(parts[0], false)) {
      Emit(static_cast<std::uint8_t>(opcode | *r));
    }
    return;
  case Operand::Pair:
    if (const auto p = RegisterOperand(parts[0], true)) {
      Emit(static_cast<std::uint8_t>(opcode | (*p << 1)));
    }
    return;
  case Operand::Nibble:
    if (const auto n = Nibble(parts[0], std::string(mnemonic.name) + "'s operand")) {
      Emit(static_cast<std::uint8_t>(opcode | *n));
    }
    return;
  case Operand::FarLabel: {
    const auto target = Integer(parts[0], "the jump's target");
    if (target && (*target < 0 || *target > 0xFFF)) {
      Error("the jump's target " + HexText(*target) + " is beyond 000-FFF, the addresses that " +
            std::string(mnemonic.name) + " reaches");
    } else if (target) {
      Emit(static_cast<std::uint8_t>(opcode | (*target >> 8)));
      Emit(static_cast<std::uint8_t>(*target & 0xFF));
    }
    return;
  }
  case Operand::PairData: {
    const auto p = RegisterOperand(parts[0], true);
    const auto data = Byte(parts[1], "FIM's data");
    if (p && data) {
      Emit(static_cast<std::uint8_t>(opcode | (*p << 1)));
      Emit(*data);
    }
    return;
  }
  case Operand::RegisterLabel: {
    const auto r = RegisterOperand(parts[0], false);
    const auto target = NearTarget(parts[1], pc_ + 2);
    if (r && target) {
      Emit(static_cast<std::uint8_t>(opcode | *r));
      Emit(*target);
    }
    return;
  }
  case Operand::NearLabel: {
    const auto condition = Condition(parts[0]);
    const auto target = NearTarget(parts[1], pc_ + 2);
    if (condition && target) {
      Emit(static_cast<std::uint8_t>(opcode | *condition));
      Emit(*target);
    }
    return;
  }
  case Operand::DataByte:
    break;
  }
}

// DATA: bytes, strings and character constants in any mix.
void Pass::Data(std::string_view operands) {
  const auto tokens = Tokens(operands);
  if (!tokens) {
    return;
  }
  const auto parts = SplitAtCommas(*tokens);
  if (parts.empty()) {
    Error("DATA needs at least one value");
    return;
  }
  for (const auto part : parts) {
    // A character constant of several characters is their bytes, like a string.
    if (part.size() == 1 && part[0].kind == Token::Kind::Character && part[0].text.size() > 1) {
      for (const char c : part[0].text) {
        Emit(static_cast<std::uint8_t>(c));
      }
      continue;
    }
    const auto value = Evaluate(part, "DATA");
    if (!value) {
      continue;
    }
    if (value->isString) {
      for (const char c : value->text) {
        Emit(static_cast<std::uint8_t>(c));
      }
    } else if (value->number < -128 || value->number > 255) {
      Error("DATA takes bytes, -128 to 255, not " + std::to_string(value->number));
    } else {
      Emit(static_cast<std::uint8_t>(value->number & 0xFF));
    }
  }
}

} // namespace asl::detail
