/* SPDX-License-Identifier: MIT */
/* Heap allocations counted since the process started: on the calling thread
 * and in the whole process. Read a count before and after the code measured. */
#ifndef LUMIVANE_BENCH_ALLOCATION_HOOKS_H
#define LUMIVANE_BENCH_ALLOCATION_HOOKS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

uint64_t lv_bench_thread_allocations(void);
uint64_t lv_bench_process_allocations(void);

#ifdef __cplusplus
}
#endif

#endif
