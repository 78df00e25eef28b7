// SPDX-License-Identifier: MIT
#include "ui/label_text.h"

namespace lumivane {

std::string ToolkitLabel(std::string_view text) {
  std::string label;
  label.reserve(text.size());
  for (const char c : text) {
    label += c;
    if (c == '@') label += '@';
  }
  return label;
}

}  // namespace lumivane
