/* Calls the library's two entry points from C, without any Qt of its own.
 * A preloaded helper closes each modal window and logs its title to
 * LMTOOLS_CLOSER_LOG. argv[1]: a ZIP archive; argv[2]: a file that is none. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "lmtools/lmtools.h"

/* True when the titles logged since the last call are `expected`; empties the log. */
static int Logged(const char* expected) {
    char titles[256] = "";
    FILE* f = fopen(getenv("LMTOOLS_CLOSER_LOG"), "a+");
    size_t n = f ? fread(titles, 1, sizeof titles - 1, f) : 0;
    titles[n] = '\0';
    if (f) fclose(f);
    f = fopen(getenv("LMTOOLS_CLOSER_LOG"), "w");
    if (f) fclose(f);
    return strcmp(titles, expected) == 0;
}

static int Check(int ok, const char* what) {
    if (!ok) fprintf(stderr, "FAILED: %s\n", what);
    return !ok;
}

int main(int argc, char** argv) {
    struct stat before, after;
    int failed = 0, fd;
    if (argc < 3 || !getenv("LMTOOLS_CLOSER_LOG")) return 2;
    Logged("");
    failed += Check(_Display_Contents(argv[1]), "contents of an archive give true");
    failed += Check(Logged("Lumora - Archivinhalt\n"), "the contents window opened");
    failed += Check(_Display_Contents(argv[2]), "a non-archive gives true");
    failed += Check(Logged("Warnung\n"), "a non-archive gives the warning only");
    failed += Check(!_Display_Contents(NULL), "no path gives false");

    fd = open(argv[1], O_RDONLY);
    if (fd < 0 || fstat(fd, &before) != 0) return 2;
    _GetFileInfo(argv[1], fd);
    failed += Check(Logged("Lumora - Datei Informationen\n"), "the information window opened");
    /* The number may have been given to another file since; never to this one. */
    failed += Check(fstat(fd, &after) != 0 || after.st_ino != before.st_ino, "fd closed");
    return failed;
}
