#pragma once

class QWidget;

// Alt or Meta with a character is a shortcut or nothing, never text: a line
// edit given such a key that no shortcut took would type the character.
namespace AltKeys {
// Keeps such keys out of box (a filter that lives as long as the box).
void keepOutOf(QWidget* box);
} // namespace AltKeys
