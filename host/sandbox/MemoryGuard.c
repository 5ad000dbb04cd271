/* libtouchline-guard: preloaded into a sealed robot's process, it names the robot's memory
 * limit when the robot reaches it. The kernel enforces the limit (the address space of the
 * process): an allocation past it fails. The first allocation through the C library that
 * fails so (the strategy's malloc or new, or the JVM's own) ends the robot there, having
 * noted why in the robot's area, so that the match reports "out of memory" rather than
 * whatever a null pointer would have done later. What the guard notes only tells about the
 * robot itself: a strategy that tampers with it misleads no one about any other robot. */
#define _GNU_SOURCE
#include <errno.h>
#include <signal.h>
#include <stddef.h>
#include <unistd.h>

/* The C library's own allocator, under the names it exports for allocators that wrap it. */
extern void* __libc_malloc(size_t size);
extern void* __libc_calloc(size_t count, size_t size);
extern void* __libc_realloc(void* pointer, size_t size);
extern void* __libc_memalign(size_t alignment, size_t size);

/* Where the robot notes that it reached its memory limit (set by the host's bridge). */
static volatile int* limit_word;

__attribute__((visibility("default"))) void touchline_guard_attach(volatile int* word) {
    limit_word = word;
}

/* The robot reached its limit: note it and end the process. */
static void* exhausted(void) {
    if (limit_word != NULL) *limit_word = 1;
    static const char line[] =
        "touchline-robot: out of memory: an allocation failed at the "
        "robot's memory limit\n";
    ssize_t ignored = write(2, line, sizeof line - 1);
    (void)ignored;
    kill(getpid(), SIGKILL);
    return NULL;
}

static void* checked(void* result, size_t size) {
    if (result == NULL && size > 0 && errno == ENOMEM) return exhausted();
    return result;
}

__attribute__((visibility("default"))) void* malloc(size_t size) {
    return checked(__libc_malloc(size), size);
}

__attribute__((visibility("default"))) void* calloc(size_t count, size_t size) {
    size_t total;
    if (__builtin_mul_overflow(count, size, &total)) {
        errno = ENOMEM;
        return NULL;  // a size no memory could hold: not the limit
    }
    return checked(__libc_calloc(count, size), total);
}

__attribute__((visibility("default"))) void* realloc(void* pointer, size_t size) {
    return checked(__libc_realloc(pointer, size), size);
}

__attribute__((visibility("default"))) void* memalign(size_t alignment, size_t size) {
    return checked(__libc_memalign(alignment, size), size);
}

__attribute__((visibility("default"))) void* aligned_alloc(size_t alignment, size_t size) {
    return checked(__libc_memalign(alignment, size), size);
}

__attribute__((visibility("default"))) int posix_memalign(void** result, size_t alignment,
                                                          size_t size) {
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
    void* pointer = __libc_memalign(alignment, size);
    if (pointer == NULL && size > 0) {
        exhausted();
        return ENOMEM;
    }
    *result = pointer;
    return 0;
}
