/* handoff_floor: the least a match needs, played in plain processes: one match and R robots
 * handing steps over as the host does, with no JVM, no strategy and no physics, only the work
 * a step cannot do without. Each robot has an area of its own (a memory object only it and the
 * match map); a step: the match writes every robot's step number and wakes the sleeping ones,
 * two to a system call; each robot works W ns and answers; the match waits for all of them,
 * works M ns, and sends the next step.
 *
 *   handoff_floor --robots R --steps S --robot-ns W --match-ns M [--cores C]
 *
 * Work is a calibrated busy loop: a chain of dependent multiplications, as many as the fastest
 * of several timed trials says take W (or M) ns here, so a robot preempted in the middle of its
 * work still owes all of it. make bench gives W the real-JVM floor's cycle (the JNI calls of one
 * robot's step) and M the physics' step (bench/floor-bench.sh).
 *
 * The waiting and waking follow the host's (host/java/src/touchline/host/match/Pacer.java and
 * protocol/RobotArea.java). With more robots than cores (C, default the cores this process may
 * run on) the match sleeps until C - 1 robots are left to answer, woken by the one expected to
 * answer C-th from last (the order of the last step's answers), then polls the rest, yielding
 * its core, for up to 0.5 ms before it sleeps on all of them; the robots left then are told to
 * poll up to 0.5 ms for their next step. With a core for every robot, the match sleeps until
 * the last answer and every robot polls up to 0.2 ms. Robots run under the batch policy, as the
 * sandbox puts them.
 *
 * Prints "first T", "half T" and "last T" (the wall clock, seconds since the epoch, as the
 * host's TOUCHLINE_TIMING_FILE) when the first step is sent, after S / 2 steps and after the
 * last, then a summary line. Exits 1 if a robot did not play every step exactly once. */
#define _GNU_SOURCE
#include <errno.h>
#include <linux/futex.h>
#include <sched.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#ifndef SYS_futex_waitv
#define SYS_futex_waitv 449
#endif

#ifndef FUTEX_32
#define FUTEX_32 2
#endif

enum { MAX_ROBOTS = 22 };

static const long MATCH_POLL_NS = 500000, LAST_ROBOT_POLL_NS = 500000, OWN_CORE_POLL_NS = 200000;
static const long ROBOT_WAIT_NS = 1000000000L, MATCH_WAIT_NS = 20000000L;

/* One robot's area: each word on a line of its own, as in the host's. */
struct area {
    _Alignas(64) int step;       /* the step sent; -1: no more */
    _Alignas(64) int sleeps;     /* the robot sleeps on step */
    _Alignas(64) int poll_ns;    /* how long the robot polls for its next step */
    _Alignas(64) int answer;     /* the step the robot answered last */
    _Alignas(64) int wake_match; /* the match sleeps and wants this robot's answer to wake it */
    _Alignas(64) long answered_at;
    _Alignas(64) long played;    /* steps the robot worked, for the check at the end */
    long timeouts;               /* the robot's sleeps that ran out */
};

struct waiter {
    uint64_t value, address;
    uint32_t flags, reserved;
};

static double loops_per_ns;

static long now_ns(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000000L + t.tv_nsec;
}

static int load(const int* word) { return __atomic_load_n(word, __ATOMIC_SEQ_CST); }
static void store(int* word, int value) { __atomic_store_n(word, value, __ATOMIC_SEQ_CST); }

static uint64_t spin(long loops) {
    uint64_t x = 1;
    for (long i = 0; i < loops; i++) {
        x = x * 6364136223846793005ULL + 1442695040888963407ULL;
        __asm__ volatile("" : "+r"(x));
    }
    return x;
}

static void work(long ns) { spin((long)(ns * loops_per_ns)); }

/* The loop's speed on this machine: the fastest of several trials, the one least disturbed. */
static void calibrate(void) {
    const long loops = 200000;
    long best = -1;
    for (int trial = 0; trial < 15; trial++) {
        long start = now_ns();
        spin(loops);
        long took = now_ns() - start;
        if (best < 0 || took < best) best = took;
    }
    loops_per_ns = (double)loops / (double)(best > 0 ? best : 1);
}

static void print_time(const char* what) {
    struct timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    printf("%s %ld.%09ld\n", what, (long)t.tv_sec, t.tv_nsec);
}

/* 1 when the wait ran out. */
static int futex_wait(int* word, int value, long ns) {
    struct timespec t = {ns / 1000000000L, ns % 1000000000L};
    return syscall(SYS_futex, word, FUTEX_WAIT, value, &t, NULL, 0) < 0 && errno == ETIMEDOUT;
}

static void futex_wake(int* word) { syscall(SYS_futex, word, FUTEX_WAKE, 1 << 30, NULL, NULL, 0); }

/* Wakes both words' sleepers in one call: the second word, or-ed with 0, is left as it is, and
 * its old value is never -1 while steps are sent, so its sleepers are woken too. */
static void futex_wake_two(int* first, int* second) {
    syscall(SYS_futex, first, FUTEX_WAKE_OP, 1 << 30, (void*)(long)(1 << 30), second,
            FUTEX_OP(FUTEX_OP_OR, 0, FUTEX_OP_CMP_NE, -1));
}

static int futex_waitv(struct waiter* w, int count, long ns) {
    long end = now_ns() + ns;
    struct timespec t = {end / 1000000000L, end % 1000000000L};
    return syscall(SYS_futex_waitv, w, count, 0, &t, CLOCK_MONOTONIC) < 0 && errno == ETIMEDOUT;
}

static void robot(struct area* a, long work_ns) {
    int seen = 0;
    for (;;) {
        long poll = load(&a->poll_ns);
        long since = now_ns();
        int step;
        while ((step = load(&a->step)) == seen) {
            if (poll > 0 && now_ns() - since < poll) {
                sched_yield();
                continue;
            }
            store(&a->sleeps, 1);
            /* Looked at again once the match can know this robot sleeps: a step written before
             * then is seen here, one written after wakes it. */
            if (load(&a->step) == seen) a->timeouts += futex_wait(&a->step, seen, ROBOT_WAIT_NS);
            store(&a->sleeps, 0);
            poll = 0;
        }
        if (step < 0) return;
        work(work_ns);
        a->played++;
        __atomic_store_n(&a->answered_at, now_ns(), __ATOMIC_SEQ_CST);
        store(&a->answer, step);
        if (load(&a->wake_match)) futex_wake(&a->answer);
        seen = step;
    }
}

static long option(int argc, char** argv, const char* name, long otherwise) {
    for (int i = 1; i + 1 < argc; i++) {
        if (!strcmp(argv[i], name)) return atol(argv[i + 1]);
    }
    return otherwise;
}

static struct area* areas[MAX_ROBOTS];

/* Sorts robots (indexes) by the time of their last answer, earliest first. */
static void by_answer_time(int* robots, int count) {
    for (int i = 1; i < count; i++) {
        for (int j = i; j > 0 && areas[robots[j - 1]]->answered_at > areas[robots[j]]->answered_at;
             j--) {
            int t = robots[j];
            robots[j] = robots[j - 1];
            robots[j - 1] = t;
        }
    }
}

int main(int argc, char** argv) {
    cpu_set_t allowed;
    int cores = sched_getaffinity(0, sizeof allowed, &allowed) == 0 ? CPU_COUNT(&allowed) : 1;
    int robots = (int)option(argc, argv, "--robots", 10);
    int steps = (int)option(argc, argv, "--steps", 20000);
    long robot_ns = option(argc, argv, "--robot-ns", 0);
    long match_ns = option(argc, argv, "--match-ns", 0);
    cores = (int)option(argc, argv, "--cores", cores);
    if (robots < 1 || robots > MAX_ROBOTS || steps < 1 || robot_ns < 0 || match_ns < 0 ||
        cores < 1) {
        fprintf(stderr, "usage: handoff_floor --robots 1..%d --steps S --robot-ns W --match-ns M "
                        "[--cores C]\n", MAX_ROBOTS);
        return 2;
    }
    calibrate();
    for (int r = 0; r < robots; r++) {
        areas[r] = mmap(NULL, sizeof(struct area), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (areas[r] == MAP_FAILED) {
            perror("handoff_floor: mmap");
            return 1;
        }
    }
    int crowded = robots > cores;
    int wake_at = crowded ? cores - 1 : 0;
    setvbuf(stdout, NULL, _IOFBF, 0);
    long start = now_ns();
    pid_t pids[MAX_ROBOTS];
    for (int r = 0; r < robots; r++) {
        pids[r] = fork();
        if (pids[r] < 0) {
            perror("handoff_floor: fork");
            return 1;
        }
        if (pids[r] == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            struct sched_param none = {0};
            sched_setscheduler(0, SCHED_BATCH, &none);
            for (int o = 0; o < robots; o++) {
                if (o != r) munmap(areas[o], sizeof(struct area));
            }
            robot(areas[r], robot_ns);
            _exit(0);
        }
    }
    long timeouts = 0, half_at = 0, first_at = now_ns();
    print_time("first");
    for (int step = 1; step <= steps; step++) {
        /* Send: every step written, then the sleepers woken, two to a call. */
        int* sleeper = NULL;
        for (int r = 0; r < robots; r++) {
            store(&areas[r]->poll_ns, crowded ? 0 : (int)OWN_CORE_POLL_NS);
            store(&areas[r]->step, step);
            if (!load(&areas[r]->sleeps)) continue;
            if (sleeper == NULL) {
                sleeper = &areas[r]->step;
            } else {
                futex_wake_two(sleeper, &areas[r]->step);
                sleeper = NULL;
            }
        }
        if (sleeper != NULL) futex_wake(sleeper);
        /* Wait for every answer. */
        long poll_from = 0;
        for (;;) {
            int missing[MAX_ROBOTS], m = 0;
            for (int r = 0; r < robots; r++) {
                if (load(&areas[r]->answer) != step) missing[m++] = r;
            }
            if (m == 0) break;
            by_answer_time(missing, m);
            int waker = -1;
            if (m > wake_at) {
                waker = missing[m - wake_at - 1];
            } else if (crowded) {
                long now = now_ns();
                if (poll_from == 0) {
                    poll_from = now;
                    for (int i = 0; i < m; i++) {
                        store(&areas[missing[i]]->poll_ns, (int)LAST_ROBOT_POLL_NS);
                    }
                }
                if (now - poll_from < MATCH_POLL_NS) {
                    sched_yield();
                    continue;
                }
            }
            struct waiter w[MAX_ROBOTS];
            int answered = 0;
            for (int i = 0; i < m; i++) {
                struct area* a = areas[missing[i]];
                if (waker < 0 || missing[i] == waker) store(&a->wake_match, 1);
                int answer = load(&a->answer);
                answered |= answer == step;
                w[i] = (struct waiter){(uint32_t)answer, (uint64_t)(uintptr_t)&a->answer,
                                       FUTEX_32, 0};
            }
            if (!answered) timeouts += futex_waitv(w, m, MATCH_WAIT_NS);
            for (int i = 0; i < m; i++) store(&areas[missing[i]]->wake_match, 0);
        }
        work(match_ns);
        if (step == steps / 2) {
            half_at = now_ns();
            print_time("half");
        }
    }
    long last_at = now_ns();
    print_time("last");
    for (int r = 0; r < robots; r++) {
        store(&areas[r]->step, -1);
        futex_wake(&areas[r]->step);
    }
    int failed = 0;
    for (int r = 0; r < robots; r++) {
        int status;
        if (waitpid(pids[r], &status, 0) != pids[r] || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            fprintf(stderr, "handoff_floor: robot %d did not end well\n", r);
            failed = 1;
        }
        if (areas[r]->played != steps || areas[r]->answer != steps) {
            fprintf(stderr, "handoff_floor: robot %d played %ld steps of %d, answered %d last\n",
                    r, areas[r]->played, steps, areas[r]->answer);
            failed = 1;
        }
        timeouts += areas[r]->timeouts;
    }
    long end = now_ns();
    struct rusage children;
    getrusage(RUSAGE_CHILDREN, &children);
    double robot_cpu = (double)(children.ru_utime.tv_sec + children.ru_stime.tv_sec) * 1e6 +
                       (double)(children.ru_utime.tv_usec + children.ru_stime.tv_usec);
    printf("robots %d steps %d robot-ns %ld match-ns %ld cores %d: whole %.0f steps/s "
           "(%.3f s from the first fork to the last robot's end), steady %.0f steps/s, "
           "first to last %.0f steps/s; robot CPU %.1f us a step; sleeps that ran out %ld\n",
           robots, steps, robot_ns, match_ns, cores, steps / ((end - start) / 1e9),
           (end - start) / 1e9, half_at ? (steps - steps / 2) / ((last_at - half_at) / 1e9) : 0.0,
           steps / ((last_at - first_at) / 1e9), robot_cpu / ((double)robots * steps), timeouts);
    return failed;
}
