/* A paced drive for the benchmarks: a FUSE passthrough of a folder whose
 * reads are delivered no faster than a given rate, the way a disc drive
 * without read-ahead of its own delivers them. The drive is a clock: a read
 * of n bytes that arrives while the drive is idle ends n / rate seconds
 * after it arrived, one that arrives while it is busy ends n / rate seconds
 * after the reads before it. Time the reader leaves the drive idle is lost,
 * as on a real drive. Writes can be paced the same way, each one returning
 * only when its bytes are "on the disk" (a slow synchronous target).
 *
 *   paced_fs SOURCE MOUNTPOINT READ_BYTES_PER_S WRITE_BYTES_PER_S [FUSE OPTIONS]
 *
 * A rate of 0 means unpaced. Files are opened with direct_io, so the kernel
 * neither caches nor reads ahead: every byte a program reads comes through
 * the pacer. The pacer asks for real-time scheduling where it may: the drive
 * it stands in for is hardware, not slowed down by a busy processor. Runs in
 * the foreground until unmounted (umount MOUNTPOINT), then prints how long
 * the drive was busy between its first and its last transfer:
 *   paced_fs: read BYTES bytes, busy S s of W s (first to last transfer)
 * With PACED_FS_TRACE=FILE in the environment it also writes one line per
 * read to FILE: when the drive began and ended it (seconds since 1970) and
 * the bytes, so a benchmark can tell how busy the drive was in a window.
 */
#define FUSE_USE_VERSION 31
#define _GNU_SOURCE

#include <fuse.h>

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <sched.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

struct pacer {
    double bytes_per_second; /* 0: unpaced */
    double busy_until;       /* CLOCK_MONOTONIC seconds */
    double first_start;      /* of the first transfer; 0 before it */
    double busy;             /* seconds spent moving bytes */
    unsigned long long bytes;
    pthread_mutex_t lock;
};

static struct pacer read_pacer = {0, 0, 0, 0, 0, PTHREAD_MUTEX_INITIALIZER};
static struct pacer write_pacer = {0, 0, 0, 0, 0, PTHREAD_MUTEX_INITIALIZER};
static int source_dir = -1;
static FILE *trace = NULL; /* written under read_pacer.lock */

static double now_seconds(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

/* Waits until the drive has moved `bytes`, counting from now or from the end
 * of the transfers before this one, whichever is later. */
static void pace(struct pacer *p, size_t bytes) {
    if (p->bytes_per_second <= 0 || bytes == 0) return;
    pthread_mutex_lock(&p->lock);
    double start = now_seconds();
    if (p->busy_until > start) start = p->busy_until;
    double end = start + (double)bytes / p->bytes_per_second;
    p->busy_until = end;
    if (p->first_start == 0) p->first_start = start;
    p->busy += end - start;
    p->bytes += bytes;
    if (trace != NULL && p == &read_pacer) {
        struct timespec wall;
        clock_gettime(CLOCK_REALTIME, &wall);
        double offset = (double)wall.tv_sec + (double)wall.tv_nsec / 1e9 - now_seconds();
        fprintf(trace, "%.6f %.6f %zu\n", start + offset, end + offset, bytes);
        fflush(trace);
    }
    pthread_mutex_unlock(&p->lock);
    struct timespec until;
    until.tv_sec = (time_t)end;
    until.tv_nsec = (long)((end - (double)until.tv_sec) * 1e9);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, NULL) == EINTR) {
    }
}

/* Paths below the source folder, relative to it ("/" is the folder). */
static const char *rel(const char *path) {
    while (*path == '/') ++path;
    return *path ? path : ".";
}

static int fail(void) { return -errno; }

static void *pfs_init(struct fuse_conn_info *conn, struct fuse_config *cfg) {
    /* Requests of up to 1 MiB: fewer round trips through the kernel, whose
     * cost would otherwise count as time the drive was idle. */
    conn->max_read = 1u << 20;
    conn->max_write = 1u << 20;
    conn->max_readahead = 0;
    cfg->use_ino = 0;
    cfg->direct_io = 1;
    cfg->kernel_cache = 0;
    /* Names and attributes stay cached, as a disc's directory does once it
     * was read (the medium is fresh for every run: a new mount); without
     * it every path a program opens costs each of its names a round trip
     * through the kernel, which no drive would. */
    cfg->attr_timeout = 3600;
    cfg->entry_timeout = 3600;
    cfg->negative_timeout = 3600;
    return NULL;
}

static int pfs_getattr(const char *path, struct stat *st, struct fuse_file_info *fi) {
    if (fi != NULL) return fstat((int)fi->fh, st) == 0 ? 0 : fail();
    return fstatat(source_dir, rel(path), st, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : fail();
}

static int pfs_access(const char *path, int mask) {
    return faccessat(source_dir, rel(path), mask, 0) == 0 ? 0 : fail();
}

static int pfs_readdir(const char *path, void *buf, fuse_fill_dir_t fill, off_t offset,
                       struct fuse_file_info *fi, enum fuse_readdir_flags flags) {
    (void)offset;
    (void)fi;
    (void)flags;
    int fd = openat(source_dir, rel(path), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return fail();
    DIR *dir = fdopendir(fd);
    if (dir == NULL) {
        int e = errno;
        close(fd);
        return -e;
    }
    struct dirent *entry;
    while ((entry = readdir(dir)) != NULL) {
        struct stat st;
        memset(&st, 0, sizeof st);
        st.st_ino = entry->d_ino;
        st.st_mode = (mode_t)(entry->d_type << 12);
        if (fill(buf, entry->d_name, &st, 0, 0)) break;
    }
    closedir(dir);
    return 0;
}

static int pfs_mkdir(const char *path, mode_t mode) {
    return mkdirat(source_dir, rel(path), mode) == 0 ? 0 : fail();
}

static int pfs_unlink(const char *path) {
    return unlinkat(source_dir, rel(path), 0) == 0 ? 0 : fail();
}

static int pfs_rmdir(const char *path) {
    return unlinkat(source_dir, rel(path), AT_REMOVEDIR) == 0 ? 0 : fail();
}

static int pfs_rename(const char *from, const char *to, unsigned int flags) {
    if (flags != 0) return -EINVAL;
    return renameat(source_dir, rel(from), source_dir, rel(to)) == 0 ? 0 : fail();
}

static int pfs_chmod(const char *path, mode_t mode, struct fuse_file_info *fi) {
    if (fi != NULL) return fchmod((int)fi->fh, mode) == 0 ? 0 : fail();
    return fchmodat(source_dir, rel(path), mode, 0) == 0 ? 0 : fail();
}

static int pfs_chown(const char *path, uid_t uid, gid_t gid, struct fuse_file_info *fi) {
    if (fi != NULL) return fchown((int)fi->fh, uid, gid) == 0 ? 0 : fail();
    return fchownat(source_dir, rel(path), uid, gid, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : fail();
}

static int pfs_truncate(const char *path, off_t size, struct fuse_file_info *fi) {
    if (fi != NULL) return ftruncate((int)fi->fh, size) == 0 ? 0 : fail();
    int fd = openat(source_dir, rel(path), O_WRONLY);
    if (fd < 0) return fail();
    int r = ftruncate(fd, size) == 0 ? 0 : fail();
    close(fd);
    return r;
}

static int pfs_utimens(const char *path, const struct timespec tv[2], struct fuse_file_info *fi) {
    if (fi != NULL) return futimens((int)fi->fh, tv) == 0 ? 0 : fail();
    return utimensat(source_dir, rel(path), tv, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : fail();
}

static int pfs_create(const char *path, mode_t mode, struct fuse_file_info *fi) {
    int fd = openat(source_dir, rel(path), fi->flags, mode);
    if (fd < 0) return fail();
    fi->fh = (uint64_t)fd;
    fi->direct_io = 1;
    return 0;
}

static int pfs_open(const char *path, struct fuse_file_info *fi) {
    int fd = openat(source_dir, rel(path), fi->flags & ~O_NOFOLLOW);
    if (fd < 0) return fail();
    fi->fh = (uint64_t)fd;
    fi->direct_io = 1;
    return 0;
}

static int pfs_read(const char *path, char *buf, size_t size, off_t offset,
                    struct fuse_file_info *fi) {
    (void)path;
    ssize_t got = pread((int)fi->fh, buf, size, offset);
    if (got < 0) return fail();
    pace(&read_pacer, (size_t)got);
    return (int)got;
}

static int pfs_write(const char *path, const char *buf, size_t size, off_t offset,
                     struct fuse_file_info *fi) {
    (void)path;
    ssize_t put = pwrite((int)fi->fh, buf, size, offset);
    if (put < 0) return fail();
    pace(&write_pacer, (size_t)put);
    return (int)put;
}

static int pfs_statfs(const char *path, struct statvfs *st) {
    (void)path;
    return fstatvfs(source_dir, st) == 0 ? 0 : fail();
}

static int pfs_release(const char *path, struct fuse_file_info *fi) {
    (void)path;
    close((int)fi->fh);
    return 0;
}

static int pfs_fsync(const char *path, int datasync, struct fuse_file_info *fi) {
    (void)path;
    return (datasync ? fdatasync((int)fi->fh) : fsync((int)fi->fh)) == 0 ? 0 : fail();
}

static void report(const char *what, struct pacer *p) {
    if (p->bytes_per_second <= 0 || p->bytes == 0) return;
    fprintf(stderr, "paced_fs: %s %llu bytes, busy %.3f s of %.3f s (first to last transfer)\n",
            what, p->bytes, p->busy, p->busy_until - p->first_start);
}

static void pfs_destroy(void *private_data) {
    (void)private_data;
    report("read", &read_pacer);
    report("wrote", &write_pacer);
}

static const struct fuse_operations operations = {
    .destroy = pfs_destroy,
    .getattr = pfs_getattr,
    .mkdir = pfs_mkdir,
    .unlink = pfs_unlink,
    .rmdir = pfs_rmdir,
    .rename = pfs_rename,
    .chmod = pfs_chmod,
    .chown = pfs_chown,
    .truncate = pfs_truncate,
    .open = pfs_open,
    .read = pfs_read,
    .write = pfs_write,
    .statfs = pfs_statfs,
    .release = pfs_release,
    .fsync = pfs_fsync,
    .readdir = pfs_readdir,
    .init = pfs_init,
    .access = pfs_access,
    .create = pfs_create,
    .utimens = pfs_utimens,
};

static int parse_rate(const char *text, double *rate) {
    char *end = NULL;
    errno = 0;
    double value = strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || value < 0) return 0;
    *rate = value;
    return 1;
}

int main(int argc, char **argv) {
    if (argc < 5) {
        fprintf(stderr,
                "usage: paced_fs SOURCE MOUNTPOINT READ_BYTES_PER_S WRITE_BYTES_PER_S "
                "[FUSE OPTIONS]\n");
        return 2;
    }
    if (!parse_rate(argv[3], &read_pacer.bytes_per_second) ||
        !parse_rate(argv[4], &write_pacer.bytes_per_second)) {
        fprintf(stderr, "paced_fs: a rate is a number of bytes per second, 0 for unpaced\n");
        return 2;
    }
    const char *trace_path = getenv("PACED_FS_TRACE");
    if (trace_path != NULL && *trace_path != '\0') {
        trace = fopen(trace_path, "a");
        if (trace == NULL) perror(trace_path);
    }
    struct sched_param realtime = {.sched_priority = 10};
    sched_setscheduler(0, SCHED_FIFO, &realtime); /* best effort; its threads inherit it */
    source_dir = open(argv[1], O_RDONLY | O_DIRECTORY);
    if (source_dir < 0) {
        perror(argv[1]);
        return 1;
    }
    /* fuse_main gets: program, mount point, foreground, then the caller's options. */
    char *args[64];
    int n = 0;
    args[n++] = argv[0];
    args[n++] = argv[2];
    args[n++] = "-f";
    args[n++] = "-omax_read=1048576";
    for (int i = 5; i < argc && n < 63; ++i) args[n++] = argv[i];
    args[n] = NULL;
    int status = fuse_main(n, args, &operations, NULL);
    close(source_dir);
    if (trace != NULL) fclose(trace);
    return status;
}
