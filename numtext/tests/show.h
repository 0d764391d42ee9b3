#pragma once
// Row names for failure messages: gtest streams no UTF-16 text by itself.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "numtext.h"

namespace calvexa {

inline std::string Show(std::u16string_view text) {
  return testing::PrintToString(std::u16string(text));
}

inline void PrintTo(const ResultTexts& texts, std::ostream* out) {
  *out << Show(texts.decimal) << " / " << Show(texts.hexadecimal);
}

}  // namespace calvexa
