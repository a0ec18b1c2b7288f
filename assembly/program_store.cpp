#include "assembly/program_store.h"

#include <algorithm>

namespace assembly {

std::vector<std::uint8_t> BinaryImage(const ProgramStore& store) {
  std::vector<std::uint8_t> image;
  // After a rejected line the counter may point one past the stored entries; never read beyond.
  const int last = std::min<int>(store.InstrPos, static_cast<int>(store.Instructions.size()) - 1);
  image.reserve(static_cast<std::size_t>(std::max(0, 2 * (last + 1))));
  for (int i = 0; i <= last; ++i) {
    const AsmLine& record = store.Instructions[static_cast<std::size_t>(i)];
    image.push_back(static_cast<std::uint8_t>(record.Byte1));
    if (record.IsTwoByte) {
      image.push_back(static_cast<std::uint8_t>(record.Byte2));
    }
  }
  return image;
}

} // namespace assembly
