#pragma once
// The user's decimal and grouping separators, as the number readers and writers take them.

#include "numtext.h"

namespace calvexa {

NumberSeparators UserSeparators();

}  // namespace calvexa
