/* SPDX-License-Identifier: MIT */
/*
 * Lumivane: the host contract of the DMX512 output plug-in file.
 *
 * A host loads the plug-in file (liblumivane.so) with dlopen, checks
 * lumivane_abi_version() against LUMIVANE_ABI_VERSION, and creates output
 * driver objects with lumivane_create("clsOutputDriver", &obj). Everything
 * else goes through the object's operations table, whose slots follow the
 * interface's order: the four standard operations, then Disable, Enable,
 * PluginName, SetChannel, Configure, init, Term.
 *
 * Threads: every call is made on the host's one thread. The dialog's events
 * run inside lumivane_pump_events(), on that same thread.
 *
 * Status: every operation returns 0 for success or the error number (6
 * overflow, 13 type mismatch, or the failing component's own number). A
 * failed call still writes its result (False, except SetChannel when the
 * level was stored and only the push failed: True). The description of the
 * last failure on the calling thread is lumivane_error_description().
 *
 * Texts are UTF-8 and NUL-terminated. Texts the plug-in returns are owned by
 * the caller and released with lumivane_free_text().
 */
#ifndef LUMIVANE_LUMIVANE_H
#define LUMIVANE_LUMIVANE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define LUMIVANE_ABI_VERSION 1u

#if defined(LUMIVANE_BUILDING_PLUGIN)
#define LUMIVANE_API __attribute__((visibility("default")))
#else
#define LUMIVANE_API
#endif

typedef int32_t lv_status; /* 0 success, otherwise the error number */
typedef int16_t lv_bool;   /* True = -1, False = 0 */
#define LV_TRUE ((lv_bool)-1)
#define LV_FALSE ((lv_bool)0)

/* The host's helper object: reference counted, held by the plug-in, never
 * called otherwise. The plug-in takes a reference in init and drops it in
 * Term (or when a later init replaces it). */
typedef struct lv_helper lv_helper;
typedef struct lv_helper_ops {
  uint32_t (*AddRef)(lv_helper* self);
  uint32_t (*Release)(lv_helper* self);
} lv_helper_ops;
struct lv_helper {
  const lv_helper_ops* ops;
};

/* Arguments and results of a call by name. */
typedef enum lv_type {
  LV_EMPTY = 0,
  LV_BOOL = 11,  /* value.b */
  LV_I2 = 2,     /* value.i2 */
  LV_I4 = 3,     /* value.i4 */
  LV_TEXT = 8,   /* value.text: argument borrowed; result owned by the caller */
  LV_OBJECT = 9, /* value.object: a helper reference, borrowed */
} lv_type;

typedef struct lv_variant {
  int32_t type; /* an lv_type */
  union {
    lv_bool b;
    int16_t i2;
    int32_t i4;
    char* text;
    lv_helper* object;
  } value;
} lv_variant;

typedef struct lv_object lv_object;

typedef struct lv_output_driver_ops {
  /* Standard operations. */
  uint32_t (*AddRef)(lv_object* self);
  uint32_t (*Release)(lv_object* self); /* the object goes away at 0 */
  /* Known interfaces: "_clsOutputDriver", "IDispatch", "IUnknown" (any
   * case); any other name fails with 430. On success *out is self with one
   * more reference. */
  lv_status (*QueryInterface)(lv_object* self, const char* interface_name, lv_object** out);
  /* Call a method by name (any case) with argc arguments in declaration
   * order. Integers and booleans convert as automation does; a text
   * argument where a number is wanted must read as one. result may be NULL;
   * otherwise it receives the method's result. */
  lv_status (*Invoke)(lv_object* self, const char* method, const lv_variant* args, int32_t argc,
                      lv_variant* result);

  /* The interface _clsOutputDriver, in slot order. */
  lv_status (*Disable)(lv_object* self, lv_bool* result);
  lv_status (*Enable)(lv_object* self, lv_bool* result);
  lv_status (*PluginName)(lv_object* self, char** result);
  lv_status (*SetChannel)(lv_object* self, const int32_t* Channel, const int32_t* Value,
                          lv_bool* result);
  lv_status (*Configure)(lv_object* self, lv_bool* result);
  lv_status (*init)(lv_object* self, const char* const* CallingAppTitle,
                    const char* const* MyFilename, lv_helper* const* StagixPluginHelper,
                    lv_bool* result);
  lv_status (*Term)(lv_object* self, lv_bool* result);
} lv_output_driver_ops;

struct lv_object {
  const lv_output_driver_ops* ops;
};

/* The version of this contract the plug-in file was built for. */
LUMIVANE_API uint32_t lumivane_abi_version(void);

/* Creates an object of the named class ("clsOutputDriver") with one
 * reference. Fails with 429 for any other class. */
LUMIVANE_API lv_status lumivane_create(const char* class_name, lv_object** out);

/* A machine-readable description of the class and its interface: one line
 * per item, tab-separated (see the README). Static, never freed. */
LUMIVANE_API const char* lumivane_type_description(void);

/* Description of the last failure on this thread ("" if none). Valid until
 * the next call into the plug-in on this thread. */
LUMIVANE_API const char* lumivane_error_description(void);

/* Releases a text the plug-in returned. NULL is allowed. */
LUMIVANE_API void lumivane_free_text(char* text);

/* Dispatches the dialog's pending events on the calling (host) thread,
 * waiting up to wait_ms milliseconds for one when none is pending.
 * *dialog_open (may be NULL) receives True while the dialog is shown. */
LUMIVANE_API lv_status lumivane_pump_events(int32_t wait_ms, lv_bool* dialog_open);

#ifdef __cplusplus
}
#endif

#endif /* LUMIVANE_LUMIVANE_H */
