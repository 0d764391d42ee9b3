#pragma once
// Screen readers see each box as editable text with Qt's text and editable-text interfaces,
// and hear of its changes as Qt's own boxes tell them.

#include "textmodel.h"

namespace calvexa {

class TextBoxBase;

// Registers the boxes' accessibility bridge with Qt; the first box calls it, later calls do
// nothing.
void InstallTextBoxAccessibility();

// Tell listening screen readers what changed; nothing is done (or copied) while none listens.
void NotifyTextChange(TextBoxBase& box, const TextModel::Change& change);
void NotifyCaretMove(TextBoxBase& box);

}  // namespace calvexa
