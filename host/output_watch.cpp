// SPDX-License-Identifier: MIT
#include "host/output_watch.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <string>

namespace lumivane::host {
namespace {

// The wall-clock time `ago` milliseconds back, as HH:MM:SS.mmm local time.
std::string TimeAgo(int64_t ago) {
  const auto at = std::chrono::system_clock::now() - std::chrono::milliseconds(ago);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch());
  const time_t seconds = static_cast<time_t>(ms.count() / 1000);
  tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(ms.count() % 1000));
  return text;
}

}  // namespace

void OutputWatch::Look() {
  lv_output_status now{};
  if (library_.pro_output_status(&now) != 0) return;
  const bool lost = now.lost != LV_FALSE;
  if (now.outages == outages_ && lost == lost_) return;
  if (now.outages != outages_) {
    // An outage that began and ended between two looks shows its start from
    // its length.
    const int64_t lostAgo =
        lost ? now.changed_ms_ago : now.changed_ms_ago + std::max<int64_t>(now.last_outage_ms, 0);
    std::fprintf(out_, "output lost at %s (%d)\n", TimeAgo(lostAgo).c_str(), now.error_number);
  }
  if (!lost) {
    std::fprintf(out_, "output resumed at %s, after %.2f s\n", TimeAgo(now.changed_ms_ago).c_str(),
                 static_cast<double>(now.last_outage_ms) / 1000.0);
  }
  std::fflush(out_);
  lost_ = lost;
  outages_ = now.outages;
}

}  // namespace lumivane::host
