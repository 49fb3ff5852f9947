/* LMTools: the archive-contents and file-information windows, as a shared
 * library with two plain C entry points. Paths are NUL-terminated UTF-8 of
 * any length. Both calls block in a modal window on the caller's user
 * interface thread; they use the caller's QApplication when there is one and
 * make their own for the time of the call otherwise. */
#ifndef LUMORA_LMTOOLS_H
#define LUMORA_LMTOOLS_H

#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(LMTOOLS_BUILDING)
#define LMTOOLS_API __attribute__((visibility("default")))
#else
#define LMTOOLS_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Shows the members of the archive `path` in a modal window. True when the
 * listing ran without an exception, also when a listing error was reported
 * in a warning box (then no window is shown); false when an exception ended
 * the listing. */
LMTOOLS_API bool _Display_Contents(const char* path);

/* Shows what the file system records about the file `path` in a modal window,
 * read from `fd`, a descriptor of that file open for reading. The library
 * takes `fd` over and closes it, whatever happens. */
LMTOOLS_API void _GetFileInfo(const char* path, int fd);

#ifdef __cplusplus
}
#endif

#endif
