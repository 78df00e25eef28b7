/* SPDX-License-Identifier: MIT */
/*
 * Calls the plug-in file exports beside the host contract, for set-up and
 * diagnostic tools such as lumivane-host. A lighting host needs none of
 * them. Same rules as lumivane.h: status 0 or an error number, texts UTF-8,
 * returned texts freed with lumivane_free_text(), host thread only.
 */
#ifndef LUMIVANE_LUMIVANE_TOOLS_H
#define LUMIVANE_LUMIVANE_TOOLS_H

#include "lumivane/lumivane.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The settings file that holds the settings of application app_title. */
LUMIVANE_API lv_status lumivane_tool_settings_path(const char* app_title, char** path);

/* Reads or writes one setting of the plug-in file plugin_file under
 * app_title (section "Plugins\" + plugin_file). A missing value reads as "". */
LUMIVANE_API lv_status lumivane_tool_settings_read(const char* app_title, const char* plugin_file,
                                                   const char* key, char** value);
LUMIVANE_API lv_status lumivane_tool_settings_write(const char* app_title,
                                                    const char* plugin_file, const char* key,
                                                    const char* value);

/* The port map. Serial port n (1..255) is the symbolic link "com<n>" in
 * $XDG_CONFIG_HOME/lumivane/ports (default ~/.config/lumivane/ports) when
 * there is one, otherwise /dev/ttyUSB<n-1>. A number outside 1..255 fails
 * with 8002; a folder or link that cannot be written with 8024. */

/* One line per linked port and per /dev/ttyUSB device that exists, by
 * number: "<n>\t<device>\tlink" or "<n>\t<device>\tdefault". */
LUMIVANE_API lv_status lumivane_tool_ports_list(char** text);
/* The device path port n opens now. */
LUMIVANE_API lv_status lumivane_tool_ports_device(int32_t port, char** path);
/* Links port n to device_path (made absolute), replacing its old link. */
LUMIVANE_API lv_status lumivane_tool_ports_link(int32_t port, const char* device_path);
/* Removes port n's link; *had_link (may be NULL) says whether it had one. */
LUMIVANE_API lv_status lumivane_tool_ports_unlink(int32_t port, lv_bool* had_link);

#ifdef __cplusplus
}
#endif

#endif /* LUMIVANE_LUMIVANE_TOOLS_H */
