// SPDX-License-Identifier: MIT
// Counts every heap allocation of the process, the plug-in file's included:
// the executable's malloc family comes first in symbol lookup, and
// operator new ends in malloc. The real work is glibc's.
#include "bench/allocation_hooks.h"

#include <errno.h>
#include <stdatomic.h>
#include <stddef.h>
#include <stdint.h>

extern void* __libc_malloc(size_t size);
extern void* __libc_calloc(size_t count, size_t size);
extern void* __libc_realloc(void* block, size_t size);
extern void* __libc_memalign(size_t alignment, size_t size);

static _Thread_local uint64_t threadAllocations;
static atomic_uint_fast64_t processAllocations;

static void Count(void) {
  ++threadAllocations;
  atomic_fetch_add_explicit(&processAllocations, 1, memory_order_relaxed);
}

void* malloc(size_t size) {
  Count();
  return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
  Count();
  return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) {
  Count();
  return __libc_realloc(block, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
  Count();
  return __libc_memalign(alignment, size);
}

int posix_memalign(void** block, size_t alignment, size_t size) {
  Count();
  void* p = __libc_memalign(alignment, size);
  if (p == NULL) return ENOMEM;
  *block = p;
  return 0;
}

uint64_t lv_bench_thread_allocations(void) {
  return threadAllocations;
}
uint64_t lv_bench_process_allocations(void) {
  return atomic_load_explicit(&processAllocations, memory_order_relaxed);
}
