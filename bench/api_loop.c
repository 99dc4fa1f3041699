/* The cost of one encode through the C API, in a plain C loop as a program would write it:
 * tessera_encode, then tessera_symbol_free, through libtessera_api.so loaded with dlopen; beside
 * it, in the same run, the encoder's own CQrEncoder::Encode (linked in) and libqrencode's
 * QRcode_encodeString or QRcode_encodeData, then QRcode_free (a black box from Debian).
 *
 *   api_loop [LIBRARY...]
 *       W1-W6 through each LIBRARY (a libtessera_api.so, e.g. an older build's beside this one;
 *       default: this build's), the own Encode and libqrencode. Every library's symbol is first
 *       compared cell by cell with the own Encode's. They take turns: 31 samples of about 2 ms
 *       each, the order rotating; median (lowest) per call, then each library's ratio to the own
 *       Encode and libqrencode's to each library. The load average is printed before and after.
 *   api_loop --calls LIBRARY WORKLOAD COUNT [FOLDER]
 *       COUNT calls of one workload (W1..W6) after a warm-up call, between two getpid() system
 *       calls that mark them for strace (allocation_calls.sh). LIBRARY is a libtessera_api.so; with
 *       FOLDER, a libtessera.so whose tessera() writes FOLDER/door.bmp at each call.
 *   api_loop --one LIBRARY WORKLOAD [FOLDER]
 *       One such call after a first one, with Callgrind collecting only it (api_callgrind.sh).
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <qrencode.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>
#include <valgrind/callgrind.h>

#include "bench/api_loop_support.h"
#include "module/tessera_api.h"

enum { kSamples = 31, kMaxContenders = 8, kMaxCells = 177 * 177 };
static const double kSampleSeconds = 2e-3;

typedef tessera_status (*EncodeFunction)(const void*, size_t, const tessera_settings*,
                                         tessera_symbol**);
typedef void (*FreeFunction)(tessera_symbol*);
typedef void (*SettingsInitFunction)(tessera_settings*);
typedef tessera_status (*ModulesFunction)(const tessera_symbol*, unsigned char*, size_t);
typedef int (*SizeFunction)(const tessera_symbol*);
typedef int (*DoorFunction)(const char*, const char*, const char*, const char*);

/* One libtessera_api.so. */
typedef struct Api {
    const char* path;
    EncodeFunction encode;
    FreeFunction free;
    SettingsInitFunction settingsInit;
    ModulesFunction modules;
    SizeFunction size;
} Api;

/* Sets the function pointer at `function` to `name` of the library (POSIX gives functions as
 * object pointers of the same size). */
static void Resolve(void* library, const char* name, const char* path, void* function) {
    void* found = dlsym(library, name);
    if (found == NULL) {
        fprintf(stderr, "api_loop: %s has no %s\n", path, name);
        exit(2);
    }
    memcpy(function, &found, sizeof found);
}

static void* Open(const char* path) {
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) {
        fprintf(stderr, "api_loop: %s\n", dlerror());
        exit(2);
    }
    return library;
}

static Api LoadApi(const char* path) {
    void* library = Open(path);
    Api api;
    api.path = path;
    Resolve(library, "tessera_encode", path, &api.encode);
    Resolve(library, "tessera_symbol_free", path, &api.free);
    Resolve(library, "tessera_settings_init", path, &api.settingsInit);
    Resolve(library, "tessera_symbol_modules", path, &api.modules);
    Resolve(library, "tessera_symbol_size", path, &api.size);
    return api;
}

/* The loop's call: encode and free; 1 when it encoded. */
static int ApiEncode(const Api* api, const bench_workload* w) {
    tessera_settings settings;
    tessera_symbol* symbol = NULL;
    api->settingsInit(&settings);
    settings.level = w->level;
    const int ok = api->encode(w->data, w->length, &settings, &symbol) == TESSERA_OK;
    api->free(symbol);
    return ok;
}

static int QrencodeEncode(const bench_workload* w) {
    QRcode* code;
    if (w->binary) {
        code = QRcode_encodeData((int)w->length, w->data, 0, (QRecLevel)w->level);
    } else {
        /* The text workloads hold no zero byte: the data is its own string. */
        char* text = (char*)w->data;
        code = QRcode_encodeString(text, 0, (QRecLevel)w->level,
                                   w->kanji ? QR_MODE_KANJI : QR_MODE_8, 1);
    }
    QRcode_free(code);
    return code != NULL;
}

/* Whether the library's symbol of `w` is the own Encode's, cell by cell. */
static int SameSymbol(const Api* api, int index) {
    static unsigned char own[kMaxCells], theirs[kMaxCells];
    const bench_workload w = bench_workload_at(index);
    const int size = bench_own_cells(index, own, sizeof own);
    tessera_settings settings;
    tessera_symbol* symbol = NULL;
    api->settingsInit(&settings);
    settings.level = w.level;
    if (size == 0 || api->encode(w.data, w.length, &settings, &symbol) != TESSERA_OK) return 0;
    const int same = api->size(symbol) == size &&
                     api->modules(symbol, theirs, sizeof theirs) == TESSERA_OK &&
                     memcmp(own, theirs, (size_t)size * (size_t)size) == 0;
    api->free(symbol);
    return same;
}

typedef struct Contender {
    char name[64];
    const Api* api; /* null: the own Encode (own) or libqrencode */
    int own;
    double samples[kSamples];
} Contender;

static int Run(const Contender* c, int index, const bench_workload* w) {
    if (c->api != NULL) return ApiEncode(c->api, w);
    if (c->own) return bench_own_encode(index) != 0;
    return QrencodeEncode(w);
}

static double Now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

static int Ascending(const void* a, const void* b) {
    const double x = *(const double*)a, y = *(const double*)b;
    return x < y ? -1 : x > y;
}

static double Median(double* samples) {
    qsort(samples, kSamples, sizeof samples[0], Ascending);
    return samples[kSamples / 2];
}

static void PrintLoad(const char* when) {
    char line[128] = "?";
    FILE* f = fopen("/proc/loadavg", "r");
    if (f != NULL) {
        if (fgets(line, sizeof line, f) == NULL) strcpy(line, "?\n");
        fclose(f);
    }
    printf("load average %s: %s", when, line);
}

static void PrintMachine(void) {
    char line[256], model[256] = "unknown CPU";
    FILE* f = fopen("/proc/cpuinfo", "r");
    while (f != NULL && fgets(line, sizeof line, f) != NULL) {
        if (strncmp(line, "model name", 10) == 0) {
            const char* colon = strchr(line, ':');
            snprintf(model, sizeof model, "%s", colon != NULL ? colon + 2 : line);
            model[strcspn(model, "\n")] = '\0';
            break;
        }
    }
    if (f != NULL) fclose(f);
    printf("%s, %ld CPUs\n", model, sysconf(_SC_NPROCESSORS_ONLN));
}

/* Times every contender on workload `index`, in turns, the order rotating. */
static void TimeAll(Contender* contenders, int n, int index) {
    const bench_workload w = bench_workload_at(index);
    int batch[kMaxContenders];
    for (int e = 0; e < n; ++e) {
        Run(&contenders[e], index, &w); /* warm */
        const double start = Now();
        int calls = 0;
        do {
            Run(&contenders[e], index, &w);
            ++calls;
        } while (Now() - start < kSampleSeconds / 4);
        batch[e] = (int)(calls * kSampleSeconds / (Now() - start));
        if (batch[e] < 1) batch[e] = 1;
    }
    for (int s = 0; s < kSamples; ++s) {
        for (int i = 0; i < n; ++i) {
            const int e = (i + s) % n;
            const double start = Now();
            for (int c = 0; c < batch[e]; ++c) Run(&contenders[e], index, &w);
            contenders[e].samples[s] = (Now() - start) / batch[e];
        }
    }
}

static int RunTable(const Api* apis, int libraries) {
    Contender contenders[kMaxContenders];
    int n = 0;
    for (int l = 0; l < libraries; ++l) {
        memset(&contenders[n], 0, sizeof contenders[n]);
        snprintf(contenders[n].name, sizeof contenders[n].name, "API %d", l + 1);
        contenders[n++].api = &apis[l];
    }
    memset(&contenders[n], 0, sizeof contenders[n]);
    strcpy(contenders[n].name, "Encode");
    contenders[n++].own = 1;
    memset(&contenders[n], 0, sizeof contenders[n]);
    strcpy(contenders[n++].name, "libqrencode");
    const int own = libraries, qrencode = libraries + 1;

    int same = 1;
    for (int l = 0; l < libraries; ++l) {
        printf("API %d: %s\n", l + 1, apis[l].path);
        for (int i = 0; i < bench_workload_count(); ++i) {
            if (!SameSymbol(&apis[l], i)) {
                printf("API %d %s: not the own Encode's symbol\n", l + 1,
                       bench_workload_at(i).name);
                same = 0;
            }
        }
    }
    printf("every library's symbol is the own Encode's: %s\n", same ? "yes" : "NO");
    PrintMachine();
    PrintLoad("before");
    printf("API: tessera_encode + tessera_symbol_free; median (lowest) per call, %d samples\n\n",
           kSamples);
    printf("| workload | version |");
    for (int e = 0; e < n; ++e) printf(" %s |", contenders[e].name);
    printf("\n|---|---|");
    for (int e = 0; e < n; ++e) printf("---|");
    printf("\n");
    double medians[16][kMaxContenders], lowest[16][kMaxContenders];
    for (int i = 0; i < bench_workload_count(); ++i) {
        const bench_workload w = bench_workload_at(i);
        TimeAll(contenders, n, i);
        printf("| %s %s (%c) | %d |", w.name, w.description, "LMQH"[w.level], bench_own_encode(i));
        for (int e = 0; e < n; ++e) {
            const double median = Median(contenders[e].samples);
            medians[i][e] = median;
            lowest[i][e] = contenders[e].samples[0];
            printf(" %.2f µs (%.2f) |", median * 1e6, contenders[e].samples[0] * 1e6);
        }
        printf("\n");
        fflush(stdout);
    }
    printf("\nratios of the medians (of the lowest):\n");
    for (int i = 0; i < bench_workload_count(); ++i) {
        printf("%s", bench_workload_at(i).name);
        for (int l = 0; l < libraries; ++l) {
            printf("  API %d / Encode %.2fx (%.2fx)", l + 1, medians[i][l] / medians[i][own],
                   lowest[i][l] / lowest[i][own]);
        }
        for (int l = 0; l < libraries; ++l) {
            printf("  libqrencode / API %d %.1fx (%.1fx)", l + 1,
                   medians[i][qrencode] / medians[i][l], lowest[i][qrencode] / lowest[i][l]);
        }
        printf("\n");
    }
    PrintLoad("after");
    return same ? 0 : 1;
}

/* "/T" and the data, with %XX for '%' and for every byte that is not printable ASCII. */
static char* TextOption(const bench_workload* w) {
    char* text = malloc(3 + 3 * w->length);
    char* at = text + sprintf(text, "/T");
    for (size_t i = 0; i < w->length; ++i) {
        const unsigned char b = w->data[i];
        if (b == '%' || b < 0x20 || b >= 0x7F) {
            at += sprintf(at, "%%%02X", b);
        } else {
            *at++ = (char)b;
        }
    }
    *at = '\0';
    return text;
}

/* Marks the calls that --calls counts for strace, or collects the one call of --one. */
static void Mark(int callgrind) {
    if (callgrind) {
        CALLGRIND_TOGGLE_COLLECT;
    } else {
        syscall(SYS_getpid);
    }
}

static int RunCalls(const char* path, const char* workload, long count, const char* folder,
                    int callgrind) {
    int index = -1;
    for (int i = 0; i < bench_workload_count(); ++i) {
        if (strcmp(bench_workload_at(i).name, workload) == 0) index = i;
    }
    if (index < 0) {
        fprintf(stderr, "api_loop: unknown workload %s\n", workload);
        return 2;
    }
    const bench_workload w = bench_workload_at(index);
    int failed = 0;
    if (folder == NULL) {
        const Api api = LoadApi(path);
        failed |= !ApiEncode(&api, &w);
        Mark(callgrind);
        for (long c = 0; c < count; ++c) failed |= !ApiEncode(&api, &w);
        Mark(callgrind);
    } else {
        DoorFunction door;
        Resolve(Open(path), "tessera", path, &door);
        char* text = TextOption(&w);
        char output[4096], level[8];
        snprintf(output, sizeof output, "/O%s/door.bmp", folder);
        snprintf(level, sizeof level, "/L%d", w.level);
        failed |= door(text, output, level, "") != 0;
        Mark(callgrind);
        for (long c = 0; c < count; ++c) failed |= door(text, output, level, "") != 0;
        Mark(callgrind);
        free(text);
    }
    if (failed) fprintf(stderr, "api_loop: a call failed\n");
    return failed;
}

int main(int argc, char** argv) {
    if (argc >= 5 && strcmp(argv[1], "--calls") == 0 && argc <= 6) {
        return RunCalls(argv[2], argv[3], atol(argv[4]), argc == 6 ? argv[5] : NULL, 0);
    }
    if (argc >= 4 && strcmp(argv[1], "--one") == 0 && argc <= 5) {
        return RunCalls(argv[2], argv[3], 1, argc == 5 ? argv[4] : NULL, 1);
    }
    if (argc > 1 && argv[1][0] == '-') {
        fprintf(stderr,
                "usage: api_loop [LIBRARY...] | api_loop --calls LIBRARY WORKLOAD COUNT [FOLDER] | "
                "api_loop --one LIBRARY WORKLOAD [FOLDER]\n");
        return 2;
    }
    Api apis[kMaxContenders - 2];
    int libraries = 0;
    if (argc == 1) apis[libraries++] = LoadApi(TESSERA_API_LIBRARY);
    for (int i = 1; i < argc && libraries < kMaxContenders - 2; ++i)
        apis[libraries++] = LoadApi(argv[i]);
    return RunTable(apis, libraries);
}
