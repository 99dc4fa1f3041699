/* What the C program api_loop.c takes from C++: the workloads W1-W6 (workloads.h) and one encode
 * by the encoder's own record, CQrEncoder::Encode, linked into the program. */
#ifndef TESSERA_BENCH_API_LOOP_SUPPORT_H
#define TESSERA_BENCH_API_LOOP_SUPPORT_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A workload of the side-by-side comparison: its bytes stay valid until the program ends. */
typedef struct bench_workload {
    const char* name;
    const char* description;
    int level; /* 0 L, 1 M, 2 Q, 3 H */
    const unsigned char* data;
    size_t length;
    int kanji;  /* Shift_JIS double-byte characters only */
    int binary; /* any byte, zero included */
} bench_workload;

/* The number of workloads, W1-W6. */
int bench_workload_count(void);

/* Workload `index` (0 .. count-1). */
bench_workload bench_workload_at(int index);

/* Encodes workload `index` with CQrEncoder::Encode (automatic version and mask) on one record kept
 * from call to call. Returns the symbol's version, or 0 when it does not encode. */
int bench_own_encode(int index);

/* The own Encode's symbol of workload `index` in `cells`, row by row, 1 dark. Returns its size, or
 * 0 when it does not encode or does not fit `capacity`. */
int bench_own_cells(int index, unsigned char* cells, size_t capacity);

#ifdef __cplusplus
}
#endif

#endif
