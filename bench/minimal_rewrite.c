/* The least a program can do to add a head and a tail to every ".txt" file directly in a folder with
 * the durability varnotta-cli gives: per file open, create a temporary beside it, write the head, the former
 * content and the tail, fsync, rename over the original, and fsync the folder so that the new name is on
 * disk too. A file of up to 1 MiB is read whole and written in one piece; a larger one is copied inside the
 * kernel (copy_file_range, as cp does), so memory stays flat. One file after the other, in one process. No
 * encoding check, no attribute keeping, no checks that the file stayed the same: the floor that the
 * benchmark measures varnotta-cli against.
 *
 * Usage: minimal_rewrite [--sync-folder=each|once|never] FOLDER HEAD_BYTES TAIL_BYTES
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static void die(const char* what, const char* path) {
    fprintf(stderr, "minimal_rewrite: %s %s: %s\n", what, path, strerror(errno));
    exit(1);
}

static void write_all(int fd, const char* data, size_t size, const char* path) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0)
            die("write", path);
        data += n;
        size -= (size_t)n;
    }
}

enum { WHOLE_LIMIT = 1 << 20 };

/* Appends `size` bytes of `in` to `out`, inside the kernel where it can, else through `buffer`. */
static void copy_all(int in, int out, size_t size, char* buffer, const char* path) {
    while (size > 0) {
        ssize_t n = copy_file_range(in, NULL, out, NULL, size, 0);
        if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
            n = read(in, buffer, size < WHOLE_LIMIT ? size : WHOLE_LIMIT);
            if (n > 0)
                write_all(out, buffer, (size_t)n, path);
        }
        if (n < 0)
            die("copy", path);
        if (n == 0)
            break;
        size -= (size_t)n;
    }
}

int main(int argc, char** argv) {
    enum { EACH, ONCE, NEVER } sync_folder = EACH;
    int arg = 1;
    if (argc > 1 && strncmp(argv[1], "--sync-folder=", 14) == 0) {
        const char* mode = argv[1] + 14;
        sync_folder = strcmp(mode, "once") == 0 ? ONCE : strcmp(mode, "never") == 0 ? NEVER : EACH;
        ++arg;
    }
    if (argc - arg != 3) {
        fprintf(stderr, "usage: minimal_rewrite [--sync-folder=each|once|never] FOLDER HEAD TAIL\n");
        return 2;
    }
    const char* folder = argv[arg];
    const char* head = argv[arg + 1];
    const char* tail = argv[arg + 2];
    const size_t head_size = strlen(head), tail_size = strlen(tail);

    int folder_fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_fd < 0)
        die("open", folder);
    DIR* dir = fdopendir(dup(folder_fd));
    if (!dir)
        die("opendir", folder);

    /* The names first: a renamed file may show up again in a listing still being read. */
    size_t count = 0, slots = 1024;
    char** names = malloc(slots * sizeof *names);
    struct dirent* entry;
    while ((entry = readdir(dir)) != NULL) {
        const size_t length = strlen(entry->d_name);
        if (length < 4 || strcmp(entry->d_name + length - 4, ".txt") != 0)
            continue;
        if (count == slots)
            names = realloc(names, (slots *= 2) * sizeof *names);
        names[count++] = strdup(entry->d_name);
    }
    closedir(dir);

    size_t capacity = WHOLE_LIMIT + head_size + tail_size + 4;
    char* buffer = malloc(capacity);
    char temporary[64];
    unsigned counter = 0;
    for (size_t i = 0; i < count; ++i) {
        const char* name = names[i];
        int in = openat(folder_fd, name, O_RDONLY | O_CLOEXEC);
        if (in < 0)
            die("open", name);
        struct stat info;
        if (fstat(in, &info) != 0)
            die("fstat", name);
        const size_t size = (size_t)info.st_size;
        snprintf(temporary, sizeof temporary, "~minimal-%d-%u.tmp", (int)getpid(), counter++);
        int out = openat(folder_fd, temporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (out < 0)
            die("create", temporary);
        if (size <= WHOLE_LIMIT) {
            memcpy(buffer, head, head_size);
            memcpy(buffer + head_size, "\r\n", 2);
            size_t got = 0;
            while (got < size) {
                ssize_t n = read(in, buffer + head_size + 2 + got, size - got);
                if (n < 0)
                    die("read", name);
                if (n == 0)
                    break;
                got += (size_t)n;
            }
            memcpy(buffer + head_size + 2 + got, "\r\n", 2);
            memcpy(buffer + head_size + 2 + got + 2, tail, tail_size);
            write_all(out, buffer, head_size + 2 + got + 2 + tail_size, temporary);
        } else {
            write_all(out, head, head_size, temporary);
            write_all(out, "\r\n", 2, temporary);
            copy_all(in, out, size, buffer, name);
            write_all(out, "\r\n", 2, temporary);
            write_all(out, tail, tail_size, temporary);
        }
        close(in);
        if (fsync(out) != 0)
            die("fsync", temporary);
        close(out);
        if (renameat(folder_fd, temporary, folder_fd, name) != 0)
            die("rename", name);
        if (sync_folder == EACH && fsync(folder_fd) != 0)
            die("fsync", folder);
    }
    if (sync_folder == ONCE && fsync(folder_fd) != 0)
        die("fsync", folder);
    close(folder_fd);
    for (size_t i = 0; i < count; ++i)
        free(names[i]);
    free(names);
    free(buffer);
    return 0;
}
