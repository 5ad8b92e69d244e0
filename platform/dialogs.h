// The dialogs' part of the seam: the message boxes that the engine and the page show.
#pragma once

#include <string_view>

namespace zorv {

class Dialogs {
 public:
  // A message box with the button OK and no owner window.
  virtual void messageBox(std::string_view text, std::string_view caption) = 0;
  // A question with Retry and Cancel; true for Retry. Where nobody can answer, the text is
  // shown as a message and the answer is Cancel.
  virtual bool askRetry(std::string_view text, std::string_view caption) {
    messageBox(text, caption);
    return false;
  }

 protected:
  ~Dialogs() = default;  // never deleted through this interface (platform.h)
};

}  // namespace zorv
