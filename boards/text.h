#pragma once

#include <string>
#include <string_view>

// The board layer's way of writing names in messages, and of matching them.
namespace boards {

// `text` in double quotes, as messages name parts, keys and fields.
inline std::string Quoted(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  return quoted.append("\"").append(text).append("\"");
}

// `text` with A-Z as a-z: key, switch and position names match in any case.
inline std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return lower;
}

} // namespace boards
