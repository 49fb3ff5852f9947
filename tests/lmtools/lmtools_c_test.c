/* Calls the library's two entry points from C, without any Qt of its own.
 * A preloaded helper closes each modal window and logs its title to
 * LMTOOLS_CLOSER_LOG. argv[1]: a ZIP archive; argv[2]: a scratch folder. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "lmtools/lmtools.h"

/* The titles logged since the last call, one line each; then the log is emptied. */
static void TakeLog(const char* log, char* out, size_t size) {
    FILE* f = fopen(log, "r");
    size_t n = f ? fread(out, 1, size - 1, f) : 0;
    out[n] = '\0';
    if (f) fclose(f);
    f = fopen(log, "w");
    if (f) fclose(f);
}

static int Check(int ok, const char* what) {
    if (!ok) fprintf(stderr, "FAILED: %s\n", what);
    return ok ? 0 : 1;
}

int main(int argc, char** argv) {
    const char* log = getenv("LMTOOLS_CLOSER_LOG");
    char titles[512];
    char plain[4096];
    struct stat before;
    struct stat after;
    int failed = 0;
    int fd;
    if (argc < 3 || !log) return 2;
    snprintf(plain, sizeof plain, "%s/plain.txt", argv[2]);
    fd = open(plain, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || write(fd, "no archive\n", 11) != 11 || close(fd) != 0) return 2;
    TakeLog(log, titles, sizeof titles);

    failed += Check(_Display_Contents(argv[1]), "contents of an archive give true");
    TakeLog(log, titles, sizeof titles);
    failed += Check(strcmp(titles, "Lumora - Archivinhalt\n") == 0, "the contents window opened");

    failed += Check(_Display_Contents(plain), "a non-archive gives true");
    TakeLog(log, titles, sizeof titles);
    failed += Check(strcmp(titles, "Warnung\n") == 0, "a non-archive gives the warning only");

    failed += Check(!_Display_Contents(NULL), "no path gives false");

    fd = open(argv[1], O_RDONLY);
    if (fd < 0 || fstat(fd, &before) != 0) return 2;
    _GetFileInfo(argv[1], fd);
    TakeLog(log, titles, sizeof titles);
    failed += Check(strcmp(titles, "Lumora - Datei Informationen\n") == 0,
                    "the information window opened");
    /* The number may have been given to another file since; never to this one. */
    failed += Check(
        fstat(fd, &after) != 0 || after.st_ino != before.st_ino || after.st_dev != before.st_dev,
        "the descriptor was closed");
    return failed;
}
