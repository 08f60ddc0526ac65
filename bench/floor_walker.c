/* The least a crawl of a home can cost: per folder one open, its listing (getdents64) and an
 * inotify watch; per entry one read of the tag attribute relative to the folder (getxattrat).
 * Two threads, as the index crawls. Nothing is kept. Prints the wall and CPU seconds:
 *   floor_walker DIR */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

struct xattr_args {
    uint64_t value;
    uint32_t size;
    uint32_t flags;
};

static char** queue;
static size_t queued, capacity;
static int busy, inotify_fd;
static long tagged;
static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t wake = PTHREAD_COND_INITIALIZER;

static void push(char* path) {
    if (queued == capacity) {
        capacity = capacity ? capacity * 2 : 1024;
        queue = realloc(queue, capacity * sizeof *queue);
    }
    queue[queued++] = path;
}

static long walk(const char* path, char*** found, size_t* count, size_t* room) {
    long files = 0;
    int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    inotify_add_watch(inotify_fd, path, IN_ATTRIB | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                                            IN_MOVED_TO | IN_DELETE_SELF | IN_ONLYDIR);
    char buffer[32768] __attribute__((aligned(8)));
    char value[1024];
    size_t length = strlen(path);
    for (;;) {
        long got = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        for (long offset = 0; offset < got;) {
            struct dirent64* entry = (struct dirent64*)(buffer + offset);
            offset += entry->d_reclen;
            if (entry->d_name[0] == '.' || (entry->d_type != DT_DIR && entry->d_type != DT_REG)) {
                continue;
            }
            struct xattr_args args = {(uint64_t)(uintptr_t)value, sizeof value, 0};
            if (syscall(464, fd, entry->d_name, AT_SYMLINK_NOFOLLOW, "user.xdg.tags", &args,
                        sizeof args) > 0) {
                ++files;
            }
            if (entry->d_type == DT_DIR) {
                size_t name = strlen(entry->d_name);
                char* sub = malloc(length + name + 2);
                memcpy(sub, path, length);
                sub[length] = '/';
                memcpy(sub + length + 1, entry->d_name, name + 1);
                if (*count == *room) {
                    *room = *room ? *room * 2 : 64;
                    *found = realloc(*found, *room * sizeof **found);
                }
                (*found)[(*count)++] = sub;
            }
        }
    }
    close(fd);
    return files;
}

static void* worker(void* unused) {
    (void)unused;
    char** found = NULL;
    size_t count = 0, room = 0;
    pthread_mutex_lock(&lock);
    for (;;) {
        while (queued == 0 && busy > 0) {
            pthread_cond_wait(&wake, &lock);
        }
        if (queued == 0) {
            pthread_cond_broadcast(&wake);
            pthread_mutex_unlock(&lock);
            free(found);
            return NULL;
        }
        char* path = queue[--queued];
        ++busy;
        pthread_mutex_unlock(&lock);
        count = 0;
        long files = walk(path, &found, &count, &room);
        free(path);
        pthread_mutex_lock(&lock);
        tagged += files;
        --busy;
        for (size_t i = 0; i < count; ++i) {
            push(found[i]);
        }
        pthread_cond_broadcast(&wake);
    }
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: floor_walker DIR\n");
        return 2;
    }
    struct timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    inotify_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    push(strdup(argv[1]));
    pthread_t threads[2];
    for (int i = 0; i < 2; ++i) {
        pthread_create(&threads[i], NULL, worker, NULL);
    }
    for (int i = 0; i < 2; ++i) {
        pthread_join(threads[i], NULL);
    }
    clock_gettime(CLOCK_MONOTONIC, &end);
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    printf("floor_s=%.3f floor_cpu_s=%.3f floor_tagged=%ld\n",
           (end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) / 1e9,
           usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
               (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6,
           tagged);
    return 0;
}
