/* tessera API, styled symbols: the options that shape, colour and label a symbol, rendering and
 * saving with them, and verifying what they draw. Part of the C API of tessera_api.h, which
 * includes this header: programs include tessera_api.h and link with -ltessera_api. */
#ifndef TESSERA_STYLE_H
#define TESSERA_STYLE_H

#include "tessera_api.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The regions that take colours of their own: tessera_style_name(TESSERA_STYLE_REGION, i) names
 * region i. */
#define TESSERA_STYLE_REGIONS (14)

/* Styled symbols: the shape of the dark modules, finder styles, a colour for each region, a
 * gradient, a logo, an accessible title, a CMYK dark colour and a printed size, for the formats
 * that can draw them (SVG, EPS, PDF, PNG and BMP, each what it can: tessera_check_style() says
 * what a format refuses). Initialise with tessera_style_options_init(), then set parts by name
 * with tessera_style_set(), or the fields directly. With every field at its default nothing is
 * styled and the bytes are tessera_render()'s. The names of the shapes, finder styles and
 * regions are the library's: tessera_style_name() lists them. */
typedef struct tessera_style_options {
    size_t size; /* sizeof(tessera_style_options), set by tessera_style_options_init */
    int shape;   /* tessera_style_name(TESSERA_STYLE_SHAPE, shape): 0 square */
    int finder;  /* tessera_style_name(TESSERA_STYLE_FINDER, finder): 0 square */
    /* 0xRRGGBBAA by tessera_style_name(TESSERA_STYLE_REGION, i); 0 (not set): the dark or the
     * light colour */
    uint32_t regions[TESSERA_STYLE_REGIONS];
    int gradient; /* 0 none, 1 linear, 2 radial: from `gradient_from` to `gradient_to` */
    uint32_t gradient_from;
    uint32_t gradient_to;
    int gradient_angle; /* linear: degrees 0-359, 0 left to right, 90 top to bottom */
    int logo_percent;   /* the logo's width in percent of the symbol's, 1-100 (default 20) */
    const void* logo;   /* a PNG or SVG image of `logo_size` bytes, or null; kept by the caller */
    size_t logo_size;
    const char* title;       /* SVG: <title> and aria-label, UTF-8, or null; kept by the caller */
    const char* description; /* SVG: <desc>, or null */
    int cmyk;                /* non-zero: EPS and PDF paint the dark colour as `cmyk_percent` */
    int cmyk_percent[4];     /* cyan, magenta, yellow, black, 0-100 each */
    int printed_unit;        /* 0 none, 1 mm, 2 in, 3 pt */
    double printed_size;     /* the printed width with the quiet zone, in `printed_unit` */
} tessera_style_options;

/* The lists tessera_style_name() names. */
enum {
    TESSERA_STYLE_SHAPE = 0,
    TESSERA_STYLE_FINDER = 1,
    TESSERA_STYLE_REGION = 2,
    TESSERA_STYLE_SETTING = 3,
    TESSERA_STYLE_GRADIENT = 4
};

/* What tessera_verify() found. */
enum {
    TESSERA_VERIFY_READS = 0,     /* every check passed, with margin */
    TESSERA_VERIFY_WARNINGS = 1,  /* it reads, but something may trip a reader */
    TESSERA_VERIFY_UNREADABLE = 2 /* readers should not be expected to read it */
};

/* Fills the first `size` bytes of `style`, your program's sizeof(tessera_style_options), with the
 * defaults: `size` itself, nothing styled, logo size 20, everything else 0; nothing past `size` is
 * written. Returns TESSERA_OK, or TESSERA_ERROR_BAD_ARGUMENT with nothing written when `style` is
 * null or `size` is below the first tessera_style_options any header had or above 4096.
 * tessera_style_options_init(s) calls it with sizeof *s. */
TESSERA_API_FUNCTION tessera_status tessera_style_options_init_sized(tessera_style_options* style,
                                                                     size_t size);

/* The function programs built against headers before the sized one call: it fills the record as
 * the first header with styles laid it out and nothing past it, and does nothing when given
 * null. */
TESSERA_API_FUNCTION void tessera_style_options_init(tessera_style_options* style);
#define tessera_style_options_init(style) tessera_style_options_init_sized((style), sizeof *(style))

/* The name of entry `index` of list `list` (TESSERA_STYLE_*): "square", "dot", ... for shapes,
 * "square", "rounded", "dot" for finders, "finder-dark", ..., "quiet-zone" for regions, the
 * names tessera_style_set() takes for settings, and "linear", "radial" for gradient kinds. Null
 * past the end of a list or for an unknown list, so calling it with 0, 1, ... until null lists one.
 */
TESSERA_API_FUNCTION const char* tessera_style_name(int list, int index);

/* Sets the part of `style` named `name` (a TESSERA_STYLE_SETTING name: "shape", "finder", a
 * region's name, "gradient", "logo-size", "cmyk" or "size") from text as the command takes it
 * ("dot", "FF0000", "linear:000000,0000FF,45", "30mm", ...). Returns TESSERA_OK, or
 * TESSERA_ERROR_BAD_ARGUMENT with one line that says what the part takes written into `text` (at
 * most `capacity` bytes with the NUL; may be null), `style` unchanged. */
TESSERA_API_FUNCTION tessera_status tessera_style_set(tessera_style_options* style,
                                                      const char* name, const char* value,
                                                      char* text, size_t capacity);

/* Checks that `format` can draw `symbol` with `options` and `style` (null: the defaults): the
 * options as tessera_check_render_options() does, every part of the style in range and drawn by
 * the format, and a logo no larger than error correction absorbs (the largest size that fits is
 * named); an rMQR symbol takes no style. Returns TESSERA_OK, or TESSERA_ERROR_BAD_ARGUMENT with one
 * line written into `text` as for tessera_style_set(). */
TESSERA_API_FUNCTION tessera_status tessera_check_style(const tessera_symbol* symbol, int format,
                                                        const tessera_render_options* options,
                                                        const tessera_style_options* style,
                                                        char* text, size_t capacity);

/* Renders the symbol as tessera_render() does, with `style` (null: none). Returns as
 * tessera_render(), TESSERA_ERROR_BAD_ARGUMENT also when tessera_check_style() refuses. */
TESSERA_API_FUNCTION tessera_status tessera_render_styled(const tessera_symbol* symbol, int format,
                                                          const tessera_render_options* options,
                                                          const tessera_style_options* style,
                                                          void* buffer, size_t capacity,
                                                          size_t* size);

/* Saves the symbol as tessera_save() does, with `style` (null: none): never a partial file.
 * Returns as tessera_save(), TESSERA_ERROR_BAD_ARGUMENT also when tessera_check_style()
 * refuses. */
TESSERA_API_FUNCTION tessera_status tessera_save_styled(const tessera_symbol* symbol,
                                                        const char* path, int format,
                                                        const tessera_render_options* options,
                                                        const tessera_style_options* style);

/* Verifies what tessera_render_styled() draws with the same arguments: samples it at every
 * module's centre, counts the changed modules of each block against what its error correction
 * repairs, and checks the contrast (WCAG, at least 3:1), the quiet zone (4 modules, 2 for Micro
 * QR) and, with a printed size or a resolution, a module of at least 0.25 mm. Stores
 * TESSERA_VERIFY_* at *verdict and writes one line per problem into `text` (at most `capacity`
 * bytes with the NUL; may be null). Returns TESSERA_OK; TESSERA_ERROR_BUFFER_TOO_SMALL when the
 * lines were cut to fit (*verdict is set); TESSERA_ERROR_BAD_ARGUMENT for a null symbol or
 * verdict, for an rMQR symbol (not verified) or what tessera_check_style() refuses, with the
 * reason in `text`; TESSERA_ERROR_NO_MEMORY. */
TESSERA_API_FUNCTION tessera_status tessera_verify(const tessera_symbol* symbol, int format,
                                                   const tessera_render_options* options,
                                                   const tessera_style_options* style, int* verdict,
                                                   char* text, size_t capacity);

#ifdef __cplusplus
}
#endif

#endif /* TESSERA_STYLE_H */
