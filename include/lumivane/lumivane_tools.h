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

#ifdef __cplusplus
}
#endif

#endif /* LUMIVANE_LUMIVANE_TOOLS_H */
