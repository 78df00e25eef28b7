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
LUMIVANE_API lv_status lumivane_tool_settings_write(const char* app_title, const char* plugin_file,
                                                    const char* key, const char* value);

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

/* What the widget finder shows, lent by the tool for one call: the list of
 * ports found (an entry's item data is 0 until set), the info line and the
 * result line. Texts are borrowed for the callback only. Callbacks must
 * return normally; they run on the calling thread, inside the call. */
typedef struct lv_widget_display {
  void* context;
  void (*add_list_entry)(void* context, const char* text);
  void (*set_last_entry_item_data)(void* context, int32_t data);
  void (*set_info_caption)(void* context, const char* text);
  void (*set_result_caption)(void* context, const char* text);
} lv_widget_display;

/* Probes serial ports 1..16 for DMX USB Pro widgets, as the device dialog
 * does, and lists them on display. Message boxes go where the plug-in
 * shows them. Blocks 50 ms for every port that opens. */
LUMIVANE_API lv_status lumivane_tool_scan_pro_ports(const lv_widget_display* display);

/* Port numbers read as the plug-in reads them, for tools that mirror it.
 * From the text of the dialog's port box: a decimal number, blanks around
 * it allowed, a fraction rounded down (" 4" and 4.9 give 4); fails with 13
 * for a text that is not such a number or does not fit 16 bits.
 * From a stored "comPort" text, as init reads it: empty gives 0, a fraction
 * rounds half to even (" 7 " gives 7, 2.5 gives 2); fails with 13 for a
 * text that is not a number, 6 for one outside -32768..32767. */
LUMIVANE_API lv_status lumivane_tool_port_from_box_text(const char* text, int16_t* port);
LUMIVANE_API lv_status lumivane_tool_port_from_setting(const char* text, int16_t* port);

/* The dialog's Test on one port: opens it unless a port is open, asks for
 * the serial number, waits 100 ms and shows the outcome on display. The
 * port stays open until the plug-in file is unloaded or a scan closes it. */
LUMIVANE_API lv_status lumivane_tool_test_pro_port(int16_t port, const lv_widget_display* display);

/* Whether the DMX USB Pro's output reaches the widget. When the widget goes
 * away or stops taking data the call that meets it fails (8023 or 8022) and
 * the plug-in reopens the port by itself until it answers; meanwhile
 * channel levels are stored. Times in milliseconds; -1: not yet. */
typedef struct lv_output_status {
  lv_bool lost;           /* LV_TRUE while the widget is away and being reopened */
  int32_t error_number;   /* the failure that began the last outage; 0 before any */
  uint32_t outages;       /* since the plug-in file was loaded */
  int64_t changed_ms_ago; /* since output was last lost or resumed */
  int64_t last_outage_ms; /* how long the last outage that ended lasted */
} lv_output_status;
LUMIVANE_API lv_status lumivane_tool_pro_output_status(lv_output_status* status);

/* "Find nodes" as the device dialog runs it: one ArtPoll to the broadcast
 * address of each interface, the ArtPollReply answers gathered for 3 s. One
 * line per node, in the order they first answered:
 * "<address>\t<name>\t<output Port-Addresses, comma-separated>".
 * Fails with 9300 when port 6454 cannot be opened or no poll could be sent. */
LUMIVANE_API lv_status lumivane_tool_find_nodes(char** text);

#ifdef __cplusplus
}
#endif

#endif /* LUMIVANE_LUMIVANE_TOOLS_H */
