#pragma once

#include "simulate/machine.h"

#include <string>

namespace cli {

// The machine state as one JSON object, in the documented field order, without a line end;
// `test` is the level of the TEST input.
[[nodiscard]] std::string StateJson(const simulate::Machine& machine, bool test);

} // namespace cli
