/* tessera: one QR Code Model 2 symbol written as a 1-bit BMP file, in one call. */
#ifndef TESSERA_H
#define TESSERA_H

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes of tessera(). */
typedef enum tessera_result {
    TESSERA_WRITTEN = 0,       /* the BMP file was written */
    TESSERA_NOTHING_TO_DO = 1, /* no input data was loaded, or the output path is empty */
    TESSERA_CANNOT_ENCODE = 2, /* no data, or too much for the version and level */
    TESSERA_CANNOT_WRITE = 3   /* the output file cannot be created */
} tessera_result;

#if defined(_WIN32)
#if defined(TESSERA_BUILDING) || defined(TESSERA_STATIC)
#define TESSERA_API
#else
#define TESSERA_API __declspec(dllimport)
#endif
#else
#define TESSERA_API __attribute__((visibility("default")))
#endif

/* Encodes data as one QR Code symbol and writes it as a BMP file. Each argument holds one option,
 * "/" then a letter (either case) then its value, or an empty string (a null pointer counts as
 * one):
 *   /Ttext  data as text, %XX for any byte      /Ipath  data from a whole file
 *   /Opath  the BMP file to create or replace    /L0-3   level L, M (default), Q, H
 *   /V1-40  version (default: smallest fitting)  /EN     never a larger version than /V
 *   /M0-7   mask (default: lowest penalty)       /S1-20  pixels per module (default 4)
 * Returns a tessera_result code. */
TESSERA_API int tessera(const char* option1, const char* option2, const char* option3,
                        const char* option4);

#ifdef __cplusplus
}
#endif

#endif /* TESSERA_H */
