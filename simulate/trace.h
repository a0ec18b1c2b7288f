#pragma once

#include "simulate/machine.h"
#include "simulate/step.h"

#include <cstdint>
#include <string>

namespace simulate {

// The instruction with first byte `first` (and second byte `second`, where it has one) at
// `address`, as the assembler writes it: "LDM 5", "FIM 2, 3F", "JUN 1A0". A jump within a block
// shows its whole target, and a JCN whose condition has no mnemonic is "JCN 3, 0A5". A byte that
// is no instruction is "DATA FE".
[[nodiscard]] std::string InstructionText(std::uint8_t first, std::uint8_t second,
                                          std::uint16_t address);

// What a step changed, as "R3=5 M0:1:2:3=5 SRC=12 stack+": registers and pairs, RAM
// characters (line:chip:register:character) and status characters, ports, SRC, DCL, banks, the
// stack, halting and interrupts. Empty when nothing but the accumulator, the carry and the
// program counter changed.
[[nodiscard]] std::string Changes(const Machine& before, const Machine& after);

// One line of a trace: the cycle count before the step, the address, the bytes, the instruction,
// then the accumulator and carry after it, and what else changed.
[[nodiscard]] std::string TraceLine(const Machine& before, const Machine& after,
                                    const StepResult& step);

} // namespace simulate
