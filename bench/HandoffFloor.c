/* handoff_floor: the match's lock-step hand-off with the least work a step needs, in plain
 * processes: one match and R robots, each robot its own area (a memory object only it and the
 * match map) as the host does; or, for comparison, one area every process maps ("shared").
 * A step: the match writes every robot's step number and wakes the sleeping robots; each
 * robot works W microseconds and answers; the match waits for all, works M microseconds, and
 * so on. Prints steps per second.
 *
 *   handoff_floor [--robots R] [--steps S] [--robot-us W] [--match-us M] [--shared] [--cores C]
 *
 * Timing follows the host's: with more robots than cores the match sleeps until C - 1 robots
 * are left to answer, then polls (yielding) for up to 0.5 ms; the robot likely to answer last
 * polls for its next step; with a core for every robot, every robot polls up to 0.2 ms. */
#define _GNU_SOURCE
#include <linux/futex.h>
#include <sched.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

enum { MAX_ROBOTS = 16, LINE = 64 };

struct area {
    _Alignas(64) volatile int step;
    _Alignas(64) volatile int sleeps;
    _Alignas(64) volatile int poll;
    _Alignas(64) volatile int answer;
    _Alignas(64) volatile int wake_match;
    _Alignas(64) volatile long answered_at;
};

/* The shared variant's header: the count of robots still to answer, the round. */
struct shared {
    _Alignas(64) volatile int pending;
    _Alignas(64) volatile int round;
    _Alignas(64) volatile int wake_at;
    _Alignas(64) volatile int poll_at;
};

static long now_ns(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000000L + t.tv_nsec;
}

static void work(long ns) {
    long end = now_ns() + ns;
    while (now_ns() < end) {
    }
}

static void futex_wait(volatile int* word, int value, long ns) {
    struct timespec t = {ns / 1000000000L, ns % 1000000000L};
    syscall(SYS_futex, word, FUTEX_WAIT, value, &t, NULL, 0);
}

static void futex_wake(volatile int* word) {
    syscall(SYS_futex, word, FUTEX_WAKE, 1 << 30, NULL, NULL, 0);
}

struct waiter {
    uint64_t value, address;
    uint32_t flags, reserved;
};

static void futex_waitv(struct waiter* w, int count, long ns) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    long end = t.tv_sec * 1000000000L + t.tv_nsec + ns;
    t.tv_sec = end / 1000000000L;
    t.tv_nsec = end % 1000000000L;
    syscall(449, w, count, 0, &t, CLOCK_MONOTONIC);
}

static int robots = 10, steps = 20000, cores;
static long robot_ns = 25000, match_ns = 27000;
static int shared_mode, broadcast_mode, count_mode, batch_mode, pair_mode;

static void* map_shared(size_t size) {
    void* p = mmap(NULL, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        perror("mmap");
        exit(1);
    }
    memset(p, 0, size);
    return p;
}

static struct shared* header_g;
static void robot_private(struct area* a) {
    int seen = 0;
    for (;;) {
        long spin = a->poll;
        long since = now_ns();
        int value;
        for (;;) {
            value = __atomic_load_n(&a->step, __ATOMIC_SEQ_CST);
            if (value != seen) break;
            if (spin > 0 && now_ns() - since < spin) {
                sched_yield();
                continue;
            }
            if (broadcast_mode) {
                int round = __atomic_load_n(&header_g->round, __ATOMIC_SEQ_CST);
                if (__atomic_load_n(&a->step, __ATOMIC_SEQ_CST) == value) futex_wait(&header_g->round, round, 1000000000L);
                spin = 0;
                continue;
            }
            __atomic_store_n(&a->sleeps, 1, __ATOMIC_SEQ_CST);
            if (__atomic_load_n(&a->step, __ATOMIC_SEQ_CST) == value) futex_wait(&a->step, value, 1000000000L);
            __atomic_store_n(&a->sleeps, 0, __ATOMIC_SEQ_CST);
            spin = 0;
        }
        if (value < 0) return;
        seen = value;
        work(robot_ns);
        a->answered_at = now_ns();
        __atomic_store_n(&a->answer, seen, __ATOMIC_SEQ_CST);
        if (count_mode) {
            int left = __atomic_sub_fetch(&header_g->pending, 1, __ATOMIC_SEQ_CST);
            if (left <= 0 || left == header_g->wake_at) futex_wake(&header_g->pending);
            continue;
        }
        if (__atomic_load_n(&a->wake_match, __ATOMIC_SEQ_CST)) futex_wake(&a->answer);
    }
}

static void robot_shared(struct shared* h, struct area* a) {
    int seen = 0, left_after = 1 << 30;
    for (;;) {
        long spin = left_after <= h->poll_at ? 500000 : 0;
        long since = now_ns();
        int value;
        for (;;) {
            int round = __atomic_load_n(&h->round, __ATOMIC_SEQ_CST);
            value = __atomic_load_n(&a->step, __ATOMIC_SEQ_CST);
            if (value != seen) break;
            if (spin > 0 && now_ns() - since < spin) {
                sched_yield();
                continue;
            }
            futex_wait(&h->round, round, 1000000000L);
        }
        if (value < 0) return;
        seen = value;
        work(robot_ns);
        __atomic_store_n(&a->answer, seen, __ATOMIC_SEQ_CST);
        int left = __atomic_sub_fetch(&h->pending, 1, __ATOMIC_SEQ_CST);
        left_after = left;
        if (left <= 0 || left == h->wake_at) futex_wake(&h->pending);
    }
}

int main(int argc, char** argv) {
    cores = (int)sysconf(_SC_NPROCESSORS_ONLN);
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--robots") && i + 1 < argc) robots = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--steps") && i + 1 < argc) steps = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--robot-us") && i + 1 < argc) robot_ns = atol(argv[++i]) * 1000;
        else if (!strcmp(argv[i], "--match-us") && i + 1 < argc) match_ns = atol(argv[++i]) * 1000;
        else if (!strcmp(argv[i], "--cores") && i + 1 < argc) cores = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--shared")) shared_mode = 1;
        else if (!strcmp(argv[i], "--broadcast")) broadcast_mode = 1;
        else if (!strcmp(argv[i], "--count")) count_mode = 1;
        else if (!strcmp(argv[i], "--batch")) batch_mode = 1;
        else if (!strcmp(argv[i], "--pairs")) pair_mode = 1;
    }
    if (robots < 1 || robots > MAX_ROBOTS) return 2;
    struct area* areas[MAX_ROBOTS];
    for (int r = 0; r < robots; r++) areas[r] = map_shared(4096);
    struct shared* header = map_shared(4096);
    header_g = header;
    int crowded = robots > cores;
    int wake_at = crowded ? cores - 1 : 0;
    header->wake_at = wake_at;
    header->poll_at = crowded ? cores - 2 : robots;
    pid_t pids[MAX_ROBOTS];
    for (int r = 0; r < robots; r++) {
        pids[r] = fork();
        if (pids[r] == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (batch_mode) {
                struct sched_param none = {0};
                sched_setscheduler(0, SCHED_BATCH, &none);
            }
            if (shared_mode) robot_shared(header, areas[r]);
            else robot_private(areas[r]);
            _exit(0);
        }
    }
    int order[MAX_ROBOTS];
    for (int r = 0; r < robots; r++) order[r] = r;
    long start = now_ns();
    for (int step = 1; step <= steps; step++) {
        /* Send. */
        if (shared_mode || count_mode) header->pending = robots;
        int last = order[robots - 1];
        volatile int* pending_wake = NULL;
        for (int r = 0; r < robots; r++) {
            struct area* a = areas[r];
            a->poll = !crowded ? 200000 : r == last ? 500000 : 0;
            __atomic_store_n(&a->step, step, __ATOMIC_SEQ_CST);
            if (!shared_mode && !broadcast_mode && __atomic_load_n(&a->sleeps, __ATOMIC_SEQ_CST)) {
                if (!pair_mode) {
                    futex_wake(&a->step);
                } else if (pending_wake == NULL) {
                    pending_wake = &a->step;
                } else {
                    /* One call wakes both: the second word is or-ed with 0, and its old value
                     * is never -1, so its sleepers are woken too. */
                    syscall(SYS_futex, pending_wake, FUTEX_WAKE_OP, 1 << 30, (void*)(long)(1 << 30),
                            &a->step, FUTEX_OP(FUTEX_OP_OR, 0, FUTEX_OP_CMP_NE, -1));
                    pending_wake = NULL;
                }
            }
        }
        if (pending_wake != NULL) futex_wake(pending_wake);
        if (shared_mode || broadcast_mode) {
            __atomic_add_fetch(&header->round, 1, __ATOMIC_SEQ_CST);
            futex_wake(&header->round);
        }
        /* Wait. */
        long poll_from = 0;
        for (;;) {
            int missing[MAX_ROBOTS], m = 0;
            for (int r = 0; r < robots; r++) {
                if (__atomic_load_n(&areas[r]->answer, __ATOMIC_SEQ_CST) != step) missing[m++] = r;
            }
            if (m == 0) break;
            if (shared_mode || count_mode) {
                int pending = __atomic_load_n(&header->pending, __ATOMIC_SEQ_CST);
                if (crowded && pending <= wake_at) {
                    if (!poll_from) poll_from = now_ns();
                    if (now_ns() - poll_from < 500000) {
                        sched_yield();
                        continue;
                    }
                }
                futex_wait(&header->pending, pending, 20000000L);
                continue;
            }
            /* The predicted order: by the answer times of the last step. */
            for (int i = 1; i < m; i++) {
                for (int j = i; j > 0 && areas[missing[j - 1]]->answered_at > areas[missing[j]]->answered_at; j--) {
                    int t = missing[j];
                    missing[j] = missing[j - 1];
                    missing[j - 1] = t;
                }
            }
            int waker = -1;
            if (m > wake_at) {
                waker = missing[m - wake_at - 1];
            } else if (crowded) {
                if (!poll_from) poll_from = now_ns();
                if (now_ns() - poll_from < 500000) {
                    sched_yield();
                    continue;
                }
            }
            struct waiter w[MAX_ROBOTS];
            for (int i = 0; i < m; i++) {
                struct area* a = areas[missing[i]];
                if (waker < 0 || missing[i] == waker) __atomic_store_n(&a->wake_match, 1, __ATOMIC_SEQ_CST);
                w[i].value = (unsigned)__atomic_load_n(&a->answer, __ATOMIC_SEQ_CST);
                w[i].address = (uint64_t)(uintptr_t)&a->answer;
                w[i].flags = 2;
                w[i].reserved = 0;
            }
            int answered = 0;
            for (int i = 0; i < m; i++) answered |= (int)w[i].value == step;
            if (!answered) futex_waitv(w, m, 20000000L);
            for (int i = 0; i < m; i++) __atomic_store_n(&areas[missing[i]]->wake_match, 0, __ATOMIC_SEQ_CST);
        }
        /* The predicted order of the next step. */
        for (int i = 1; i < robots; i++) {
            for (int j = i; j > 0 && areas[order[j - 1]]->answered_at > areas[order[j]]->answered_at; j--) {
                int t = order[j];
                order[j] = order[j - 1];
                order[j - 1] = t;
            }
        }
        work(match_ns);
    }
    long elapsed = now_ns() - start;
    for (int r = 0; r < robots; r++) {
        __atomic_store_n(&areas[r]->step, -1, __ATOMIC_SEQ_CST);
        futex_wake(&areas[r]->step);
        futex_wake(&header->round);
    }
    for (int r = 0; r < robots; r++) waitpid(pids[r], NULL, 0);
    printf("%s robots %d steps %d: %.0f steps/s\n", shared_mode ? "shared" : "private", robots,
           steps, steps / (elapsed / 1e9));
    return 0;
}
