// SPDX-License-Identifier: MIT
#include "host/channel_pushes.h"

#include "host/whole_number.h"

namespace lumivane::host {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// Blanks around it and a leading '+' are allowed here.
std::optional<int32_t> LevelNumber(std::string_view s) {
  s = Trim(s);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  return WholeNumber<int32_t>(s);
}

}  // namespace

std::optional<ChannelLevel> ParseChannelLevel(std::string_view text) {
  text = Trim(text);
  size_t split = text.find('=');
  if (split == std::string_view::npos) split = text.find_first_of(" \t");
  if (split == std::string_view::npos) return std::nullopt;
  const auto channel = LevelNumber(text.substr(0, split));
  const auto value = LevelNumber(text.substr(split + 1));
  if (!channel || !value) return std::nullopt;
  return ChannelLevel{*channel, *value};
}

}  // namespace lumivane::host
