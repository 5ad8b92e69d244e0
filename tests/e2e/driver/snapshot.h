// A snapshot of the wizard page: its caption, place and size, and for each control of the
// page its class, visibility, size and text, with what its kind adds (check state, list
// selection and items, progress position and range, whether a picture holds an image).
#pragma once

#include <windows.h>

#include <string>

#include "platform/json_writer.h"
#include "tests/e2e/driver/target_windows.h"

namespace e2e {

// One JSON object; `name` is the script's name for it.
std::string pageSnapshot(HWND page, const std::string& name);

// A window text as two members: NAME_hex (the ANSI bytes) and NAME (UTF-8).
void writeText(zorv::JsonWriter& j, const char* name, const WindowText& t);

}  // namespace e2e
