/* SPDX-License-Identifier: MIT */
/* The smallest C host: what an installed header and plug-in file must
 * allow. usage: minimal_host PLUGIN_FILE; prints the plug-in's name. */
#include <dlfcn.h>
#include <lumivane/lumivane.h>
#include <lumivane/lumivane_tools.h>
#include <stdio.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: minimal_host PLUGIN_FILE\n");
    return 2;
  }
  void* plugin = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (plugin == NULL) {
    fprintf(stderr, "dlopen: %s\n", dlerror());
    return 1;
  }
  /* POSIX's way to turn dlsym's result into a function pointer. */
  uint32_t (*abi_version)(void);
  lv_status (*create)(const char*, lv_object**);
  void (*free_text)(char*);
  *(void**)&abi_version = dlsym(plugin, "lumivane_abi_version");
  *(void**)&create = dlsym(plugin, "lumivane_create");
  *(void**)&free_text = dlsym(plugin, "lumivane_free_text");
  if (abi_version == NULL || create == NULL || free_text == NULL) {
    fprintf(stderr, "missing exports\n");
    return 1;
  }
  if (abi_version() != LUMIVANE_ABI_VERSION) {
    fprintf(stderr, "abi version %u, header has %u\n", abi_version(), LUMIVANE_ABI_VERSION);
    return 1;
  }
  lv_object* driver = NULL;
  char* name = NULL;
  if (create("clsOutputDriver", &driver) != 0 || driver->ops->PluginName(driver, &name) != 0) {
    fprintf(stderr, "cannot create the driver or read its name\n");
    return 1;
  }
  printf("%s\n", name);
  free_text(name);
  driver->ops->Release(driver);
  dlclose(plugin);
  return 0;
}
