// SPDX-License-Identifier: MIT
// The settings file reader and writer on arbitrary file contents: Read never
// throws; Write either refuses (the file is left byte for byte) or stores
// the value and keeps every other setting the file held.
#include <glib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "core/failure.h"
#include "fuzz/fuzz_check.h"
#include "plugin/keyfile_settings_store.h"
#include "posix/clock_posix.h"

using namespace lumivane;
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kApp = "Fuzz Host";
constexpr std::string_view kSection = "Plugins\\liblumivane.so";

const fs::path& Folder() {
  static const fs::path folder = [] {
    // tmpfs where there is one: every write syncs.
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "lumivane-fuzz-XXXXXX").string();
    FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
    return fs::path(pattern);
  }();
  return folder;
}

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void PutFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  FUZZ_CHECK(out.good());
}

using Values = std::map<std::pair<std::string, std::string>, std::string>;

// GKeyFile takes a CR before the line end as part of the line ending:
// a foreign value ending in raw CRs loses one at every rewrite. Line-ending
// noise of hand-edited files, not a lost setting (ours never hold a raw CR).
std::string_view WithoutTrailingCr(std::string_view value) {
  while (!value.empty() && value.back() == '\r') value.remove_suffix(1);
  return value;
}

// Every raw value of a key file, or nothing when it does not parse. A NUL
// byte makes a file damaged: GKeyFile would read each line only up to it.
std::optional<Values> Parse(std::string_view bytes) {
  if (bytes.find('\0') != std::string_view::npos) return std::nullopt;
  GKeyFile* file = g_key_file_new();
  std::optional<Values> values;
  if (g_key_file_load_from_data(file, bytes.data(), bytes.size(), G_KEY_FILE_KEEP_COMMENTS,
                                nullptr)) {
    values.emplace();
    gchar** groups = g_key_file_get_groups(file, nullptr);
    for (gchar** g = groups; *g != nullptr; ++g) {
      gchar** keys = g_key_file_get_keys(file, *g, nullptr, nullptr);
      for (gchar** k = keys; keys != nullptr && *k != nullptr; ++k) {
        gchar* value = g_key_file_get_value(file, *g, *k, nullptr);
        (*values)[{*g, *k}] = value != nullptr ? value : "";
        g_free(value);
      }
      g_strfreev(keys);
    }
    g_strfreev(groups);
  }
  g_key_file_free(file);
  return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  static PosixClock clock;
  KeyFileSettingsStore store(Folder(), clock);
  const fs::path path = store.FileFor(kApp);
  PutFile(path, bytes);

  // Reading never fails, whatever the file holds.
  std::string before;
  try {
    before = store.Read(kApp, kSection, "comPort");
    store.Read(kApp, kSection, "DeviceType");
    store.Read(kApp, "", "");
  } catch (...) {
    FUZZ_CHECK(false && "Read threw");
  }

  const std::optional<Values> old = Parse(bytes);
  int32_t error = 0;
  try {
    store.Write(kApp, kSection, "comPort", "7");
  } catch (const Failure& failure) {
    error = failure.number();
  } catch (...) {
    FUZZ_CHECK(false && "Write threw something other than a Failure");
  }

  const std::string after = FileBytes(path);
  if (!old) {
    // Never overwrite a file that does not parse.
    FUZZ_CHECK(error == static_cast<int32_t>(ErrorNumber::kSettingsCorrupt));
    FUZZ_CHECK(after == bytes);
    FUZZ_CHECK(before.empty());
  } else {
    FUZZ_CHECK(error == 0);
    FUZZ_CHECK(store.Read(kApp, kSection, "comPort") == "7");
    const std::optional<Values> now = Parse(after);
    FUZZ_CHECK(now.has_value());
    const std::string group = KeyFileSettingsStore::EscapeGroupName(kSection);
    for (const auto& [where, value] : *old) {
      if (where.first == group && where.second == "comPort") continue;
      const auto kept = now->find(where);
      FUZZ_CHECK(kept != now->end());
      FUZZ_CHECK(WithoutTrailingCr(kept->second) == WithoutTrailingCr(value));
    }
  }
  return 0;
}
