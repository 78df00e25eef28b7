// SPDX-License-Identifier: MIT
#include "core/settings_store.h"

namespace lumivane {

std::string PluginSection(std::string_view pluginFile) {
  return "Plugins\\" + std::string(pluginFile);
}

}  // namespace lumivane
