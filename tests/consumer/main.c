/* consumer OUTPUT.bmp: writes one sample symbol through the installed library and exits with its
 * result code. */
#include <stdio.h>
#include <tessera.h>

int main(int argc, char** argv) {
    char output[300];
    if (argc != 2) {
        fprintf(stderr, "usage: consumer OUTPUT.bmp\n");
        return 64;
    }
    snprintf(output, sizeof output, "/O%s", argv[1]);
    return tessera("/THello from an installed tessera", output, "/L3", "/S2");
}
