/* tessera API: QR Code symbols in memory. Encode data to a symbol, read its modules, render it
 * as BMP, PNG, SVG, text and more into a buffer of yours, or save it to a file that is never left
 * partial. Plain C; link with -ltessera_api (tessera_api.dll on Windows).
 *
 * Every function may be called from any thread at any time: the library keeps no global state
 * but reused working memory, and a symbol, once made, is only read. Nothing is printed; a status
 * says what happened and tessera_status_message() turns it into words. Styled symbols are declared
 * in tessera_style.h, which this header includes. */
#ifndef TESSERA_API_H
#define TESSERA_API_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#if defined(TESSERA_BUILDING) || defined(TESSERA_API_STATIC)
#define TESSERA_API_FUNCTION
#else
#define TESSERA_API_FUNCTION __declspec(dllimport)
#endif
#else
#define TESSERA_API_FUNCTION __attribute__((visibility("default")))
#endif

/* What a call did. 1 to 3 are also the result codes of the library's tessera() call. */
typedef enum tessera_status {
    TESSERA_OK = 0,                         /* done */
    TESSERA_ERROR_NOTHING_TO_DO = 1,        /* no data, or no output named */
    TESSERA_ERROR_CANNOT_ENCODE = 2,        /* the data is empty or does not fit */
    TESSERA_ERROR_CANNOT_WRITE = 3,         /* the file cannot be written */
    TESSERA_ERROR_BAD_ARGUMENT = 4,         /* a null pointer, or a setting out of its range */
    TESSERA_ERROR_BUFFER_TOO_SMALL = 5,     /* *size holds the bytes needed */
    TESSERA_ERROR_FORMAT_NOT_AVAILABLE = 6, /* this build cannot make the format */
    TESSERA_ERROR_NO_MEMORY = 7             /* memory ran out; nothing was made */
} tessera_status;

/* Error-correction levels: about 7, 15, 25 and 30 percent of the symbol may be lost. */
enum { TESSERA_LEVEL_L = 0, TESSERA_LEVEL_M = 1, TESSERA_LEVEL_Q = 2, TESSERA_LEVEL_H = 3 };

/* A value that leaves a setting to the library (level, mask, margin). */
#define TESSERA_DEFAULT (-1)

/* The format argument of tessera_save() and its kin that takes each file's format from the
 * extension of its path. */
#define TESSERA_FORMAT_FROM_PATH (-1)

/* The option strings that the one-export library's tessera() takes (tessera.h), slot by slot. */
#define TESSERA_OPTION_SLOTS (4)

/* The room, NUL included, that the bindings give a one-line reason a call writes into `text`
 * (tessera_check_settings(), tessera_style_set(), ...); a longer one is cut to it. */
#define TESSERA_MESSAGE_ROOM (512)

/* Output formats, numbered from 0. These keep their numbers; formats added later (XPM, PBM, ...)
 * have names and numbers only: tessera_format_name(0, 1, ...) lists every one until it gives
 * null, and tessera_format_from_name() finds one. */
typedef enum tessera_format {
    TESSERA_FORMAT_BMP = 0,  /* 1-bit BMP, the library's file byte for byte by default */
    TESSERA_FORMAT_PNG = 1,  /* 1-bit grey, or a palette with other colours */
    TESSERA_FORMAT_SVG = 2,  /* one path of the dark modules */
    TESSERA_FORMAT_TXT = 3,  /* ASCII: "##" dark, two spaces light, a line per pixel row */
    TESSERA_FORMAT_UTF8 = 4, /* UTF-8 half blocks, two pixel rows per line, ANSI colours */
    TESSERA_FORMAT_ANSI = 5, /* two spaces per pixel on ANSI backgrounds */
    TESSERA_FORMAT_EPS = 6,  /* Encapsulated PostScript, one path */
    TESSERA_FORMAT_PDF = 7   /* a one-page PDF, one path */
} tessera_format;

/* What to encode and how. Initialise with tessera_settings_init(), then change what you need;
 * `size` tells the library which fields your program knows, so programs built against an older
 * header keep working. */
typedef struct tessera_settings {
    size_t size;        /* sizeof(tessera_settings), set by tessera_settings_init */
    int level;          /* TESSERA_LEVEL_L..H, or TESSERA_DEFAULT: M (Micro QR: L; rMQR: M or H) */
    int version;        /* 1-40 (Micro QR: 1-4 for M1-M4; rMQR: 1-32 for R7x43-R17x139, as
                           tessera_rmqr_version() names them), or 0: the smallest that holds the
                           data */
    int strict_version; /* non-zero: fail rather than take a larger version than `version` */
    int mask;           /* 0-7 (Micro QR: 0-3), or TESSERA_DEFAULT: the best */
    int utf8;           /* non-zero: the data is UTF-8 text, marked as such (ECI 26), no Kanji */
    int micro;          /* non-zero: a Micro QR symbol */
    int boost;          /* non-zero: the highest level the chosen version holds, never lower */
    int rmqr;           /* non-zero: an rMQR symbol (rectangular; levels M and H, no mask, no
                           ECI, no structured append) */
    int rmqr_height;    /* rMQR: 7, 9, 11, 13, 15 or 17, the narrowest size of that height, or 0 */
    int gs1;            /* non-zero: the data is a GS1 element string, "[01]09501101530003[10]AB",
                           checked and written with FNC1 in first position (QR Code and rMQR) */
    int fit_width;      /* with fit_height, a box in modules (1-10000 each, or both 0: none): the */
    int fit_height;     /* symbol of smallest area, quiet zone included, among QR Code, Micro QR
                           and rMQR that fits it at the level (M when none is asked); no version,
                           mask, micro or rmqr with it */
} tessera_settings;

/* How to draw a symbol. Initialise with tessera_render_options_init(). */
typedef struct tessera_render_options {
    size_t size;    /* sizeof(tessera_render_options), set by tessera_render_options_init */
    int scale;      /* pixels (points for EPS and PDF, characters for text) per module, 1-20, or
                       0: 4 for images, 1 for text */
    int margin;     /* quiet zone in modules, 0-64, or TESSERA_DEFAULT: 4 (Micro QR, rMQR: 2) */
    uint32_t dark;  /* 0xRRGGBBAA, default 0x000000FF; a format may take only the defaults, or */
    uint32_t light; /* no alpha below FF (tessera_check_render_options); default 0xFFFFFFFF */
    int dpi;        /* resolution stated in PNG and BMP files, 1-100000, or 0: none stated */
} tessera_render_options;

/* A finished symbol; opaque. */
typedef struct tessera_symbol tessera_symbol;

/* Fills the first `size` bytes of `settings`, your program's sizeof(tessera_settings), with the
 * defaults: `size` itself, level and mask TESSERA_DEFAULT, everything else 0; nothing past `size`
 * is written. Returns TESSERA_OK, or TESSERA_ERROR_BAD_ARGUMENT with nothing written when
 * `settings` is null or `size` is below the first tessera_settings any header had (size to boost),
 * above 4096, or ends inside a field. tessera_settings_init(s) calls it with sizeof *s. */
TESSERA_API_FUNCTION tessera_status tessera_settings_init_sized(tessera_settings* settings,
                                                                size_t size);

/* Fills the first `size` bytes of `options`, your program's sizeof(tessera_render_options), with
 * the defaults: `size` itself, scale 0, margin TESSERA_DEFAULT, black on opaque white, dpi 0;
 * nothing past `size` is written. Returns and refuses as tessera_settings_init_sized() does.
 * tessera_render_options_init(o) calls it with sizeof *o. */
TESSERA_API_FUNCTION tessera_status
tessera_render_options_init_sized(tessera_render_options* options, size_t size);

/* The functions programs built against headers before the sized ones call: each fills the record
 * as the first header laid it out (settings: size to boost) and nothing past it, and does nothing
 * when given null. A program compiled with this header calls the sized ones instead. */
TESSERA_API_FUNCTION void tessera_settings_init(tessera_settings* settings);
TESSERA_API_FUNCTION void tessera_render_options_init(tessera_render_options* options);
#define tessera_settings_init(settings) tessera_settings_init_sized((settings), sizeof *(settings))
#define tessera_render_options_init(options) \
    tessera_render_options_init_sized((options), sizeof *(options))

/* Encodes `length` bytes at `data` as one symbol with `settings` (null: the defaults) and stores a
 * new symbol, to be released with tessera_symbol_free(), at *symbol. No more than the first 7090
 * bytes are read (one more than any symbol holds), so a longer `length` is not a longer read.
 * Returns TESSERA_OK;
 * TESSERA_ERROR_CANNOT_ENCODE when the data is empty or does not fit; TESSERA_ERROR_BAD_ARGUMENT
 * for a null `symbol`, null `data` with a length, or a setting out of range; or
 * TESSERA_ERROR_NO_MEMORY. *symbol is null whenever the result is not TESSERA_OK. */
TESSERA_API_FUNCTION tessera_status tessera_encode(const void* data, size_t length,
                                                   const tessera_settings* settings,
                                                   tessera_symbol** symbol);

/* Writes into `text` (at most `capacity` bytes with the terminating NUL) why tessera_encode()
 * with the same arguments cannot encode the data: how many bits it needs ("at least" so many for
 * more than tessera_encode() reads, and no further is read) and how many the largest or the
 * requested version holds. Returns TESSERA_OK; TESSERA_ERROR_BAD_ARGUMENT when it can be
 * encoded after all, or for bad arguments; TESSERA_ERROR_BUFFER_TOO_SMALL (with as much as fits
 * written) when `capacity` is too small. */
TESSERA_API_FUNCTION tessera_status tessera_explain_encode_failure(const void* data, size_t length,
                                                                   const tessera_settings* settings,
                                                                   char* text, size_t capacity);

/* Checks `settings` (null: the defaults) without encoding, as tessera_encode() checks them: each
 * setting in its range and, with `micro`, what Micro QR offers (no level in M1, L and M in M2 and
 * M3, L, M and Q in M4; masks 0-3; no `utf8`). Returns TESSERA_OK, or TESSERA_ERROR_BAD_ARGUMENT
 * with one line that names the first setting refused written into `text` (at most `capacity`
 * bytes with the NUL; `text` may be null to learn only the status). A `size` field below the
 * first setting's end, above 4096, ending inside a field, or with a setting this library does not
 * know set beyond what it knows is refused too, here and by every call that takes the
 * structure. */
TESSERA_API_FUNCTION tessera_status tessera_check_settings(const tessera_settings* settings,
                                                           char* text, size_t capacity);

/* Checks that `format` takes `options` (null: the defaults), as tessera_render() does. Returns
 * TESSERA_OK, or TESSERA_ERROR_BAD_ARGUMENT with the reason in `text` as for
 * tessera_check_settings(). */
TESSERA_API_FUNCTION tessera_status tessera_check_render_options(
    int format, const tessera_render_options* options, char* text, size_t capacity);

/* Encodes `length` bytes at `data` as structured append: data spread over several symbols that a
 * reader joins again. With `count` 2-16, in that many symbols of parts as equal in length as
 * whole characters allow (never splitting a Kanji pair or, with `utf8`, a UTF-8 sequence); with
 * `count` 0, in symbols of `settings->version` filled in order, the last taking the rest, at most
 * 16 (one plain symbol when all of it fits one). The symbols share the level and one version,
 * the smallest that holds the largest part; `boost` raises their level together. Stores the
 * symbols made at symbols[0] .. symbols[*made - 1], each to be released with
 * tessera_symbol_free(). Returns TESSERA_OK; TESSERA_ERROR_BUFFER_TOO_SMALL when more symbols
 * were made than `capacity` holds (*made says how many; none is kept); TESSERA_ERROR_CANNOT_ENCODE
 * when the data is empty, has fewer characters than `count`, or does not fit (data longer than
 * 113424 bytes, what 16 symbols hold at most, is refused without being read);
 * TESSERA_ERROR_BAD_ARGUMENT for a count out of range, Micro QR, `count` 0 without a version, or
 * a null `symbols` or `made`; TESSERA_ERROR_NO_MEMORY. */
TESSERA_API_FUNCTION tessera_status tessera_encode_structured(const void* data, size_t length,
                                                              const tessera_settings* settings,
                                                              int count, tessera_symbol** symbols,
                                                              size_t capacity, size_t* made);

/* Why tessera_encode_structured() with the same arguments fails, written into `text` as
 * tessera_explain_encode_failure() writes. Returns TESSERA_OK; TESSERA_ERROR_BAD_ARGUMENT when it
 * succeeds after all or for bad arguments; TESSERA_ERROR_BUFFER_TOO_SMALL (cut to fit). */
TESSERA_API_FUNCTION tessera_status tessera_explain_structured_failure(
    const void* data, size_t length, const tessera_settings* settings, int count, char* text,
    size_t capacity);

/* Releases a symbol; null is allowed. */
TESSERA_API_FUNCTION void tessera_symbol_free(tessera_symbol* symbol);

/* The symbol's modules per side (21-177; Micro QR 11-17; rMQR: its width, 27-139), version (1-40;
 * Micro QR 1-4; rMQR 1-32), level (TESSERA_LEVEL_*, or TESSERA_DEFAULT for M1, which has none),
 * mask (0-7; Micro QR 0-3; rMQR 0, its one fixed mask), and whether it is a Micro QR symbol (1)
 * or not (0). Each returns 0 for a null symbol. */
TESSERA_API_FUNCTION int tessera_symbol_size(const tessera_symbol* symbol);
TESSERA_API_FUNCTION int tessera_symbol_version(const tessera_symbol* symbol);
TESSERA_API_FUNCTION int tessera_symbol_level(const tessera_symbol* symbol);
TESSERA_API_FUNCTION int tessera_symbol_mask(const tessera_symbol* symbol);
TESSERA_API_FUNCTION int tessera_symbol_is_micro(const tessera_symbol* symbol);

/* The symbol's modules down (its size, but 7-17 for rMQR), whether it is an rMQR symbol (1) or
 * not (0), and whether it holds GS1 data (1) or not (0). Each returns 0 for a null symbol. */
TESSERA_API_FUNCTION int tessera_symbol_height(const tessera_symbol* symbol);
TESSERA_API_FUNCTION int tessera_symbol_is_rmqr(const tessera_symbol* symbol);
TESSERA_API_FUNCTION int tessera_symbol_is_gs1(const tessera_symbol* symbol);

/* The rMQR version (1-32) of the size named `name`, "R<height>x<width>" in either case, such as
 * "R11x59"; 0 when no size has that name (or `name` is null). */
TESSERA_API_FUNCTION int tessera_rmqr_version(const char* name);

/* How full the symbol is: the bits its data takes (the stream before its terminator and padding)
 * and the data bits its version holds at its level. Each returns 0 for a null symbol. */
TESSERA_API_FUNCTION int tessera_symbol_data_bits(const tessera_symbol* symbol);
TESSERA_API_FUNCTION int tessera_symbol_capacity_bits(const tessera_symbol* symbol);

/* Whether `symbol` is one of a structured-append set (1) or a symbol of its own (0). For one of a
 * set, stores its index from 0, the number of symbols in the set and the parity of the whole data
 * (the XOR of all its bytes) where the pointers are not null. */
TESSERA_API_FUNCTION int tessera_symbol_structured(const tessera_symbol* symbol, int* index,
                                                   int* count, int* parity);

/* Copies the symbol's modules into `cells`, row by row from the top, each row from the left, one
 * byte per module: 1 dark, 0 light, no quiet zone; size x height bytes in all. Returns TESSERA_OK;
 * TESSERA_ERROR_BUFFER_TOO_SMALL when `capacity` is smaller (nothing is written);
 * TESSERA_ERROR_BAD_ARGUMENT for a null symbol or cells. */
TESSERA_API_FUNCTION tessera_status tessera_symbol_modules(const tessera_symbol* symbol,
                                                           unsigned char* cells, size_t capacity);

/* Renders the symbol as `format` with `options` (null: the defaults) into `buffer`, and stores the
 * number of bytes at *size (text is not NUL-terminated). With a null `buffer` or a `capacity`
 * too small, nothing is written, *size is the bytes needed and the result is
 * TESSERA_ERROR_BUFFER_TOO_SMALL: call once to learn the size, then again. Returns TESSERA_OK;
 * TESSERA_ERROR_BAD_ARGUMENT for a null symbol or size, an unknown format or an option out of
 * range or not taken by the format; TESSERA_ERROR_FORMAT_NOT_AVAILABLE; TESSERA_ERROR_NO_MEMORY. */
TESSERA_API_FUNCTION tessera_status tessera_render(const tessera_symbol* symbol, int format,
                                                   const tessera_render_options* options,
                                                   void* buffer, size_t capacity, size_t* size);

/* Renders the symbol as `format` (or, with TESSERA_FORMAT_FROM_PATH, the format the extension of
 * `path` names) and
 * creates or replaces the file at `path`: the file is written in full beside its name, synced and
 * renamed into place, so it is never partial; on failure a file that was there is left as it was.
 * Returns TESSERA_OK; TESSERA_ERROR_CANNOT_WRITE; or as tessera_render(), with
 * TESSERA_ERROR_BAD_ARGUMENT also for an empty path or an extension that names no format. */
TESSERA_API_FUNCTION tessera_status tessera_save(const tessera_symbol* symbol, const char* path,
                                                 int format, const tessera_render_options* options);

/* Saves `count` symbols at once: symbols[i] to paths[i], each as tessera_save() would, but made
 * durable together, so that many files cost about one sync: every file is written in full beside
 * its name, their data is synced once per file system, then each takes its name, then the names
 * are synced once (in groups of up to 64 files when there are more). A crash leaves each file old
 * or new, whole. `format` and `options` are for every file, as in tessera_save()
 * (TESSERA_FORMAT_FROM_PATH: each path's extension). Every argument is checked before anything is
 * written: TESSERA_ERROR_BAD_ARGUMENT for null `symbols` or `paths` with a count, a null symbol, a
 * null or empty path, a path whose extension names no format, or bad options; nothing is written
 * then. Otherwise each file's status (TESSERA_OK, TESSERA_ERROR_CANNOT_WRITE, or as
 * tessera_render()) is stored in results[i] when `results` is not null, and the files that fail do
 * not stop the others. Returns TESSERA_OK when every file was saved, else the status of the first
 * that was not. */
TESSERA_API_FUNCTION tessera_status tessera_save_all(const tessera_symbol* const* symbols,
                                                     const char* const* paths, size_t count,
                                                     int format,
                                                     const tessera_render_options* options,
                                                     tessera_status* results);

/* As tessera_save(), and says why a file cannot be written: with TESSERA_ERROR_CANNOT_WRITE,
 * stores the C library's error number for the reason (ENOSPC, EACCES, ENOENT, ...) at
 * *error_number and writes the reason in words ("no space left on the device") into `text` (at
 * most `capacity` bytes with the NUL), where they are not null; with any other result, 0 and an
 * empty text. */
TESSERA_API_FUNCTION tessera_status tessera_save_explained(const tessera_symbol* symbol,
                                                           const char* path, int format,
                                                           const tessera_render_options* options,
                                                           int* error_number, char* text,
                                                           size_t capacity);

/* The format named `name` in any case ("png", "PNG"); -1 when none (or `name` is null). */
TESSERA_API_FUNCTION int tessera_format_from_name(const char* name);

/* The format that the extension of the last component of `path` names, in any case
 * ("labels/a.PNG"); -1 when none (or `path` is null). */
TESSERA_API_FUNCTION int tessera_format_from_path(const char* path);

/* The lower-case name of `format` ("png"), or null for an unknown format. The formats are
 * numbered from 0 without gaps, so calling this with 0, 1, 2, ... until it gives null lists them
 * all. */
TESSERA_API_FUNCTION const char* tessera_format_name(int format);

/* The extension, lower case and without the dot, that files of `format` are given ("png"; "pbm"
 * for both PBM formats, a path with it naming the raw one), or null for the terminal styles,
 * which are not files, and for an unknown format. */
TESSERA_API_FUNCTION const char* tessera_format_extension(int format);

/* The media type of `format` ("image/png", "image/svg+xml", ...; "application/octet-stream" for
 * the terminal styles), for data URIs and HTTP; null for an unknown format. */
TESSERA_API_FUNCTION const char* tessera_format_media_type(int format);

/* 1 when this build can render `format`, else 0. */
TESSERA_API_FUNCTION int tessera_format_available(int format);

/* A fact of `format`: "binary" (1: not text, refused on a terminal), "colours" (1: takes other
 * colours than black on white), "alpha" (1: takes colours with an alpha below FF), "dpi" (1:
 * states a resolution), "scale" (its scale when the options leave it at 0), "columns" (characters
 * a pixel takes on a terminal; 0 for images) or "available" (as tessera_format_available()).
 * -1 for an unknown format or fact. */
TESSERA_API_FUNCTION int tessera_format_fact(int format, const char* fact);

/* The library's table of limits, one number a row: stores the name of row `index` (0, 1, ...)
 * at *name and its value at *value, and returns 1; returns 0 past the last row or for a null
 * pointer. The rows (a program looks them up by name, so that later rows may be added):
 *   level.low, level.high, level.default      TESSERA_LEVEL_L, _H; M when left to the library
 *   version.low, version.high                 1, 40 (0: the smallest that holds the data)
 *   mask.low, mask.high                       0, 7
 *   micro.version.low, micro.version.high     1, 4 (M1 to M4)
 *   micro.mask.low, micro.mask.high           0, 3
 *   micro.level.default                       L, above M1 (which has no level)
 *   micro.levels.1 .. micro.levels.4          the levels M1..M4 offer: bit (1 << level) each
 *   structured.low, structured.high           2, 16 symbols of structured append
 *   scale.low, scale.high                     1, 20 (0: scale.image, or scale.text for text)
 *   scale.image, scale.text                   4, 1
 *   margin.low, margin.high                   0, 64 (TESSERA_DEFAULT: margin.default or
 *   margin.default, margin.micro              4, 2    margin.micro for Micro QR)
 *   dpi.low, dpi.high                         1, 100000 (0: none stated)
 *   dark.default, light.default               0x000000FF, 0xFFFFFFFF
 *   input.symbol.high                         7089: the most bytes one symbol holds
 *   input.read                                7090: what tessera_encode() reads at most
 *   input.structured.high                     113424: the most that 16 symbols hold */
TESSERA_API_FUNCTION int tessera_limit(int index, const char** name, long long* value);

/* The numbered constants of this header (TESSERA_OK, TESSERA_LEVEL_Q, TESSERA_FORMAT_PDF,
 * TESSERA_DEFAULT, ...): stores the name of constant `index` (0, 1, ...) at *name and its value
 * at *value, and returns 1; returns 0 past the last one or for a null pointer. Bindings take
 * their statuses, levels and formats from here rather than copying them. */
TESSERA_API_FUNCTION int tessera_constant(int index, const char** name, int* value);

/* A sentence that says what `status` means, never null. */
TESSERA_API_FUNCTION const char* tessera_status_message(int status);

/* The release's version, MAJOR.MINOR.PATCH (such as "1.1.0"), as its VERSION file says. */
TESSERA_API_FUNCTION const char* tessera_library_version(void);

/* Payloads: the texts that phones read as a WiFi network to join, a contact, a payment, a place,
 * a message, an event or one-time passwords, made from fields and checked. Each kind ("wifi",
 * "vcard", "mecard", "epc", "geo", "email", "tel", "sms", "event", "otp") has a table of fields,
 * read with the queries below; every field's value is text as a person types it (UTF-8), an
 * empty or absent one taking its default. */

/* How a field's value is given. */
typedef enum tessera_field_type {
    TESSERA_FIELD_TEXT = 0,   /* free text; TESSERA_FIELD_TAKES says what it is */
    TESSERA_FIELD_CHOICE = 1, /* one of its choices, in any case */
    TESSERA_FIELD_FLAG = 2    /* "true" or "false" */
} tessera_field_type;

/* What tessera_payload_field_text() and tessera_payload_field_number() tell of a field. */
typedef enum tessera_field_fact {
    TESSERA_FIELD_NAME = 0,          /* text: "ssid", as every surface spells it */
    TESSERA_FIELD_HELP = 1,          /* text: one line */
    TESSERA_FIELD_TAKES = 2,         /* text: what a text field takes ("TEXT", "YYYY-MM-DD") */
    TESSERA_FIELD_DEFAULT = 3,       /* text: taken when the field is empty; "" for none */
    TESSERA_FIELD_REQUIRED = 4,      /* number: 1 when the kind cannot be made without it */
    TESSERA_FIELD_KIND_OF_VALUE = 5, /* number: a tessera_field_type */
    TESSERA_FIELD_MULTILINE = 6,     /* number: 1 when line breaks are taken */
    TESSERA_FIELD_MAX_CHARACTERS = 7 /* number: the most characters taken, or 0: any */
} tessera_field_fact;

/* The name of payload kind `index` ("wifi"), numbered from 0 without gaps, or null past the last:
 * calling it with 0, 1, 2, ... until it gives null lists them all. */
TESSERA_API_FUNCTION const char* tessera_payload_kind(int index);

/* One line of help for the kind named `kind` (as tessera_payload_kind() names it), or null for
 * an unknown kind. */
TESSERA_API_FUNCTION const char* tessera_payload_kind_help(const char* kind);

/* The text `fact` (NAME, HELP, TAKES or DEFAULT) of field `index` (from 0, without gaps) of the
 * kind named `kind`; null past its last field, for an unknown kind or a fact that is a number,
 * and TAKES is null for a field that is not text. */
TESSERA_API_FUNCTION const char* tessera_payload_field_text(const char* kind, int index, int fact);

/* The number `fact` (REQUIRED, KIND_OF_VALUE, MULTILINE or MAX_CHARACTERS) of field `index` of the
 * kind named `kind`; -1 past its last field, for an unknown kind or a fact that is text. */
TESSERA_API_FUNCTION int tessera_payload_field_number(const char* kind, int index, int fact);

/* Choice `choice` (from 0) of field `index` of the kind named `kind` ("WPA"; "false", "true" for
 * a flag), or null past the last choice and for a text field. */
TESSERA_API_FUNCTION const char* tessera_payload_field_choice(const char* kind, int index,
                                                              int choice);

/* Makes the text of the kind named `kind` (in any case) from `count` fields: names[i] (a field of
 * the kind, each at most once) with values[i]. Writes it NUL-terminated into `text` and stores at
 * *size the bytes it takes with the NUL; with a null `text` or a `capacity` too small nothing is
 * written, *size is the bytes needed and the result is TESSERA_ERROR_BUFFER_TOO_SMALL: call once
 * to learn the size, then again. Stores the limits the payload sets its symbol where the pointers
 * are not null: *level a TESSERA_LEVEL_* or TESSERA_DEFAULT (any), *max_version the largest
 * version or 0 (any). Returns TESSERA_OK; TESSERA_ERROR_BAD_ARGUMENT for an unknown kind, a field
 * the kind does not have, a value it refuses, or a null `kind`, `size`, name or value, with one
 * line written into `reason` (at most `reason_capacity` bytes with the NUL; it may be null) that
 * starts with the field's name and a colon ("iban: ..."); TESSERA_ERROR_NO_MEMORY. `reason` is
 * empty unless the result is TESSERA_ERROR_BAD_ARGUMENT. */
TESSERA_API_FUNCTION tessera_status tessera_payload_build(const char* kind,
                                                          const char* const* names,
                                                          const char* const* values, size_t count,
                                                          char* text, size_t capacity, size_t* size,
                                                          int* level, int* max_version,
                                                          char* reason, size_t reason_capacity);

/* Makes the text as tessera_payload_build() does and encodes it as one QR Code symbol with
 * `settings` (null: the defaults) within the payload's limits: a payload that sets them (a
 * payment: level M, at most version 13) takes exactly its level, its text as bytes (no ECI, as
 * the apps that read it expect) and no larger version than its largest, and settings that ask
 * otherwise (another level, boost, UTF-8, Micro QR, a larger version) are refused. Stores a new
 * symbol at *symbol, to be released with tessera_symbol_free(). Returns TESSERA_OK;
 * TESSERA_ERROR_BAD_ARGUMENT for the fields or settings refused; TESSERA_ERROR_CANNOT_ENCODE when
 * the text does not fit; TESSERA_ERROR_NO_MEMORY; with one line in `reason` as for
 * tessera_payload_build(). *symbol is null whenever the result is not TESSERA_OK. */
TESSERA_API_FUNCTION tessera_status tessera_payload_encode(const char* kind,
                                                           const char* const* names,
                                                           const char* const* values, size_t count,
                                                           const tessera_settings* settings,
                                                           tessera_symbol** symbol, char* reason,
                                                           size_t reason_capacity);

#ifdef __cplusplus
}
#endif

/* Styled symbols and their verification. */
#include "tessera_style.h"

#endif /* TESSERA_API_H */
