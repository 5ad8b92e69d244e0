// Package texts on a terminal or console, for every system the tools run on.
#pragma once

#include <string>
#include <string_view>

namespace zorv {

// A package text made safe to print on a terminal: control characters (C0, DEL and the C1
// range 0x80-0x9F, which 8-bit terminals obey as well) become '.', so that a name cannot move
// the cursor, recolour or retitle the terminal, or forge lines. Every package text that the
// tools print goes through it. UTF-8 characters stay whole (the C1 controls, U+0080-U+009F,
// become '.' too); a byte that begins no UTF-8 sequence is judged alone.
std::string terminalText(std::string_view text);

// A message box as the tools print it: "caption: text" and a line feed, each of the text's
// lines (the setup's texts break them with '\n') through terminalText.
std::string terminalMessage(std::string_view caption, std::string_view text);

}  // namespace zorv
