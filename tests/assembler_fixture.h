#pragma once

#include "assembly/assembler.h"
#include "translate/instruction_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Runs the assembler into one store, as the window does from run to run.
class AssemblerFixture : public ::testing::Test {
public:
  using Bytes = std::vector<std::uint8_t>;

protected:
  void SetUp() override { translate::LoadMnemonicTable(); }

  assembly::AssemblyOutcome Run(const std::string& source) {
    return assembly::Assemble(*store, source);
  }
  Bytes Image() const { return assembly::BinaryImage(*store); }

  std::unique_ptr<assembly::ProgramStore> store = std::make_unique<assembly::ProgramStore>();
};
