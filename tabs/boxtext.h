#pragma once
// Texts of the window's boxes as the handlers see them: the box's own text, read without a
// copy, line breaks as CR LF. A box shows CR LF, a lone CR and a lone LF as line breaks.

#include <string>

#include "textbox.h"

namespace calvexa {

inline const std::u16string& ReadBox(const MultiLineBox& box) { return box.Text(); }
inline void WriteBox(MultiLineBox& box, std::u16string text) { box.SetText(std::move(text)); }

inline const std::u16string& ReadLine(const SingleLineBox& box) { return box.Text(); }
inline void WriteLine(SingleLineBox& box, std::u16string text) { box.SetText(std::move(text)); }

}  // namespace calvexa
