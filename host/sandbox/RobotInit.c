/* touchline-robot-init: the first process of a robot. It seals the robot's program before the
 * program's first instruction runs (resource limits, no new privileges, a system-call filter),
 * starts it, waits for it to end and tells the match, on a descriptor of its own, exactly how
 * it ended (the wait status, which tells an exit status from a signal) and what the JVM's crash
 * report said. Started by the match, inside the robot's namespaces when the robot is sandboxed
 * (it is then the process with id 1 there, which no process of the robot can signal or trace),
 * or directly when it is not.
 *
 *   touchline-robot-init --check      (exits at once: run as a trial sandbox's robot)
 *   touchline-robot-init [--uid U --gid G] [--memory BYTES] [--threads N] [--files N]
 *                        [--file-size BYTES] [--filter] [--preload LIBRARY] [--report FILE]
 *                        [--receive] --status-fd FD --lifeline FD -- PROGRAM ARGUMENT...
 *
 * With --receive, the status descriptor is a socket on which the match first sends the
 * robot's channel and area: the program gets them as its descriptors 0 and 4. They come this
 * way, not inherited, so that no process but the robot's own holds them (bubblewrap keeps
 * what it inherits open while the robot lives): the channel ends when the program closes it.
 *
 * The lifeline is the read end of a pipe whose other end only the match holds: when it ends
 * (the match closed it to stop the robot, or the match itself has gone, however it died) this
 * process kills the program and ends, and every process of the robot ends with it.
 *
 * On the status descriptor it writes, as text lines: "started" once the program runs (or
 * "failed REASON" if it cannot), then "status W" with the program's wait status, then
 * "report N" and N bytes of the crash report (N is 0 without one). Nothing else writes there:
 * the program does not inherit the descriptor. */
#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/sched.h>
#include <poll.h>
#include <sched.h>
#include <seccomp.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

/* The most of a crash report passed on: a JVM's report is some tens of kilobytes. */
#define REPORT_LIMIT (1 << 20)

struct settings {
    long long uid, gid;
    long long memory, threads, files, file_size;
    int filter;
    const char* report;
    const char* preload;
    int receive;
    int status_fd;
    int lifeline;
    char** program;
};

static int status_fd = -1;
/* In the program's process before it starts: where a failure to seal it is told. */
static int child_fd = -1;

static void say(const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    int length = vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (length < 0) return;
    if (length > (int)sizeof line - 2) length = (int)sizeof line - 2;
    line[length++] = '\n';
    for (int done = 0; done < length;) {
        ssize_t n = write(status_fd, line + done, (size_t)(length - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += (int)n;
    }
}

static void fail(const char* what) {
    if (child_fd >= 0) {
        char text[256];
        int length = snprintf(text, sizeof text, "%s: %s", what, strerror(errno));
        ssize_t ignored = write(child_fd, text, length > 0 ? (size_t)length : 0);
        (void)ignored;
        _exit(127);
    }
    if (status_fd >= 0)
        say("failed %s: %s", what, strerror(errno));
    else
        fprintf(stderr, "touchline-robot-init: %s: %s\n", what, strerror(errno));
    _exit(127);
}

static long long number(const char* text) {
    char* end;
    errno = 0;
    long long value = strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < 0) {
        fprintf(stderr, "touchline-robot-init: not a number: %s\n", text);
        exit(2);
    }
    return value;
}

static struct settings parse(int argc, char** argv) {
    struct settings s = {.uid = -1,
                         .gid = -1,
                         .memory = -1,
                         .threads = -1,
                         .files = -1,
                         .file_size = -1,
                         .status_fd = -1,
                         .lifeline = -1};
    int i = 1;
    for (; i < argc && strcmp(argv[i], "--") != 0; i++) {
        const char* option = argv[i];
        if (strcmp(option, "--filter") == 0) {
            s.filter = 1;
            continue;
        }
        if (strcmp(option, "--receive") == 0) {
            s.receive = 1;
            continue;
        }
        if (i + 1 >= argc) break;
        const char* value = argv[++i];
        if (strcmp(option, "--uid") == 0) {
            s.uid = number(value);
        } else if (strcmp(option, "--gid") == 0) {
            s.gid = number(value);
        } else if (strcmp(option, "--memory") == 0) {
            s.memory = number(value);
        } else if (strcmp(option, "--threads") == 0) {
            s.threads = number(value);
        } else if (strcmp(option, "--files") == 0) {
            s.files = number(value);
        } else if (strcmp(option, "--file-size") == 0) {
            s.file_size = number(value);
        } else if (strcmp(option, "--lifeline") == 0) {
            s.lifeline = (int)number(value);
        } else if (strcmp(option, "--report") == 0) {
            s.report = value;
        } else if (strcmp(option, "--preload") == 0) {
            s.preload = value;
        } else if (strcmp(option, "--status-fd") == 0) {
            s.status_fd = (int)number(value);
        } else {
            fprintf(stderr, "touchline-robot-init: unknown option %s\n", option);
            exit(2);
        }
    }
    if (i >= argc - 1 || s.status_fd < 0 || s.lifeline < 0) {
        fprintf(stderr,
                "usage: touchline-robot-init [options] --status-fd FD --lifeline FD "
                "-- PROGRAM...\n");
        exit(2);
    }
    s.program = argv + i + 1;
    return s;
}

static void limit(int resource, long long value, const char* name) {
    if (value < 0) return;
    struct rlimit r = {(rlim_t)value, (rlim_t)value};
    if (setrlimit(resource, &r) != 0) fail(name);
}

/* The calls that reach beyond the robot's own process, or start another process: a robot
 * that makes one is ended with SIGSYS (which the host names). */
static const char* const FORBIDDEN[] = {
    "ptrace",
    "process_vm_readv",
    "process_vm_writev",
    "kcmp",
    "pidfd_getfd",
    "fork",
    "vfork",
    "unshare",
    "setns",
    "mount",
    "umount2",
    "pivot_root",
    "chroot",
    "move_mount",
    "open_tree",
    "fsopen",
    "fsmount",
    "fsconfig",
    "fspick",
    "mount_setattr",
    "kexec_load",
    "kexec_file_load",
    "init_module",
    "finit_module",
    "delete_module",
    "reboot",
    "swapon",
    "swapoff",
    "acct",
    "settimeofday",
    "clock_settime",
    "clock_adjtime",
    "adjtimex",
};

/* Kernel interfaces a strategy has no use for and that widen what it can reach: they fail
 * with EPERM, as they do in many containers, so a program probing for them carries on. */
static const char* const REFUSED[] = {
    "bpf",
    "perf_event_open",
    "userfaultfd",
    "keyctl",
    "add_key",
    "request_key",
    "syslog",
    "quotactl",
    "quotactl_fd",
    "open_by_handle_at",
    "name_to_handle_at",
    "lookup_dcookie",
    "iopl",
    "ioperm",
    "io_uring_setup",
    "io_uring_enter",
    "io_uring_register",
    "fanotify_init",
    "vhangup",
    "uselib",
    "nfsservctl",
    "migrate_pages",
    "move_pages",
    "pidfd_open",
    "pidfd_send_signal",
};

static void add(scmp_filter_ctx filter, uint32_t action, const char* name) {
    int call = seccomp_syscall_resolve_name(name);
    if (call == __NR_SCMP_ERROR) return;  // not a call on this machine
    if (seccomp_rule_add(filter, action, call, 0) != 0) {
        errno = EINVAL;
        fail(name);
    }
}

static void install_filter(void) {
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
    if (filter == NULL) fail("seccomp_init");
    for (size_t i = 0; i < sizeof FORBIDDEN / sizeof FORBIDDEN[0]; i++) {
        add(filter, SCMP_ACT_TRAP, FORBIDDEN[i]);
    }
    for (size_t i = 0; i < sizeof REFUSED / sizeof REFUSED[0]; i++) {
        add(filter, SCMP_ACT_ERRNO(EPERM), REFUSED[i]);
    }
    /* Threads only: a clone without CLONE_THREAD, or into new namespaces, starts a process. */
    const uint64_t spaces[] = {CLONE_NEWUSER, CLONE_NEWPID, CLONE_NEWNS,    CLONE_NEWNET,
                               CLONE_NEWIPC,  CLONE_NEWUTS, CLONE_NEWCGROUP};
    int clone = seccomp_syscall_resolve_name("clone");
    int failed = seccomp_rule_add(filter, SCMP_ACT_TRAP, clone, 1,
                                  SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0));
    for (size_t i = 0; i < sizeof spaces / sizeof spaces[0]; i++) {
        failed |= seccomp_rule_add(filter, SCMP_ACT_TRAP, clone, 1,
                                   SCMP_A0(SCMP_CMP_MASKED_EQ, spaces[i], spaces[i]));
    }
    /* clone3 passes its flags in memory, where a filter cannot look: the C library then falls
     * back on clone. */
    int clone3 = seccomp_syscall_resolve_name("clone3");
    if (clone3 != __NR_SCMP_ERROR) {
        failed |= seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), clone3, 0);
    }
    if (failed != 0) {
        errno = EINVAL;
        fail("the system-call filter");
    }
    /* A binary tree of the calls rather than a list, so that the calls a robot makes every
     * step (futex, sched_yield) cost a few comparisons each. And no forced speculative store
     * bypass mitigation: it would slow all of the robot's code, and what it guards against
     * only ever reads the robot's own memory. */
    seccomp_attr_set(filter, SCMP_FLTATR_CTL_OPTIMIZE, 2);
    seccomp_attr_set(filter, SCMP_FLTATR_CTL_SSB, 1);
    if (seccomp_attr_set(filter, SCMP_FLTATR_CTL_NNP, 1) != 0 || seccomp_load(filter) != 0) {
        fail("the system-call filter");
    }
    seccomp_release(filter);
}

/* In the program's process, before it starts: everything it may not change. */
static void seal(const struct settings* s) {
    /* The batch policy: a robot woken for its step does not preempt the process on the core
     * (the match, sending the other robots theirs); it takes the next free core. No robot may
     * raise its priority above that. */
    struct sched_param none = {0};
    sched_setscheduler(0, SCHED_BATCH, &none);
    limit(RLIMIT_RTPRIO, 0, "the real-time priority limit");
    limit(RLIMIT_NICE, 0, "the nice limit");
    limit(RLIMIT_CORE, 0, "the core size limit");
    limit(RLIMIT_AS, s->memory, "the memory limit");
    limit(RLIMIT_NPROC, s->threads, "the thread limit");
    limit(RLIMIT_NOFILE, s->files, "the open-file limit");
    limit(RLIMIT_FSIZE, s->file_size, "the file-size limit");
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) fail("PR_SET_PDEATHSIG");
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) fail("PR_SET_NO_NEW_PRIVS");
    if (s->preload != NULL && setenv("LD_PRELOAD", s->preload, 1) != 0) fail("LD_PRELOAD");
    if (s->filter) install_filter();
}

/* The crash report, if the program left a regular file of a sane size there. */
static void send_report(const char* path) {
    int fd = path == NULL ? -1 : open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0) close(fd);
        say("report 0");
        return;
    }
    static char report[REPORT_LIMIT];
    size_t size = 0;
    while (size < sizeof report) {
        ssize_t n = read(fd, report + size, sizeof report - size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        size += (size_t)n;
    }
    close(fd);
    say("report %zu", size);
    for (size_t done = 0; done < size;) {
        ssize_t n = write(status_fd, report + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += (size_t)n;
    }
}

/* Where the program's channel and area are placed, and where this process keeps them until
 * then (above anything the program is given). */
#define CHANNEL_FD 0
#define AREA_FD 4
#define HIGH_FD 64

/* The robot's channel and area, sent by the match on the status socket. */
static void receive_descriptors(int socket, int fds[2]) {
    char byte;
    struct iovec data = {.iov_base = &byte, .iov_len = 1};
    union {
        char buffer[CMSG_SPACE(2 * sizeof(int))];
        struct cmsghdr align;
    } control;
    struct msghdr message = {.msg_iov = &data,
                             .msg_iovlen = 1,
                             .msg_control = control.buffer,
                             .msg_controllen = sizeof control.buffer};
    ssize_t n;
    do {
        n = recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
    } while (n < 0 && errno == EINTR);
    struct cmsghdr* header = CMSG_FIRSTHDR(&message);
    if (n != 1 || header == NULL || header->cmsg_type != SCM_RIGHTS ||
        header->cmsg_len != CMSG_LEN(2 * sizeof(int))) {
        errno = EPROTO;
        fail("receiving the robot's channel");
    }
    int received[2];
    memcpy(received, CMSG_DATA(header), sizeof received);
    for (int i = 0; i < 2; i++) {
        fds[i] = fcntl(received[i], F_DUPFD_CLOEXEC, HIGH_FD);
        if (fds[i] < 0) fail("keeping the robot's channel");
        close(received[i]);
    }
}

/* Everything but what this process itself uses: the program keeps its own copies, so that
 * its channel ends when the program does. */
static void close_others(const struct settings* s) {
    for (int fd = 0; fd < 1024; fd++) {
        if (fd != 1 && fd != 2 && fd != s->status_fd && fd != s->lifeline) close(fd);
    }
}

/* Kills whatever the program left behind: as a subreaper this process inherits every orphan
 * of the robot's, daemons included (an unsealed robot may start processes; a sealed one
 * cannot, and its namespace ends with this process anyway). */
static void end_descendants(void) {
    for (int round = 0; round < 1000; round++) {
        int found = 0;
        DIR* proc = opendir("/proc");
        for (struct dirent* e; proc != NULL && (e = readdir(proc)) != NULL;) {
            if (e->d_name[0] < '1' || e->d_name[0] > '9') continue;
            char path[300], stat[512];
            snprintf(path, sizeof path, "/proc/%s/stat", e->d_name);
            int fd = open(path, O_RDONLY | O_CLOEXEC);
            if (fd < 0) continue;
            ssize_t n = read(fd, stat, sizeof stat - 1);
            close(fd);
            if (n <= 0) continue;
            stat[n] = '\0';
            char* after = strrchr(stat, ')');
            char state;
            int parent;
            if (after == NULL || sscanf(after + 1, " %c %d", &state, &parent) != 2) continue;
            if (parent == getpid()) {
                kill((pid_t)atoi(e->d_name), SIGKILL);
                found++;
            }
        }
        if (proc != NULL) closedir(proc);
        while (waitpid(-1, NULL, WNOHANG) > 0) {
        }
        if (found == 0) return;
    }
}

/* Waits for the program to end, or for the lifeline to, which kills it first. */
static int await_program(const struct settings* s, pid_t program) {
    sigset_t child;
    sigemptyset(&child);
    sigaddset(&child, SIGCHLD);
    int signals = signalfd(-1, &child, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signals < 0) fail("signalfd");
    int status = 0;
    for (;;) {
        pid_t ended;
        while ((ended = waitpid(-1, &status, WNOHANG)) > 0) {
            if (ended == program) return status;
        }
        struct pollfd watched[2] = {{.fd = s->lifeline, .events = POLLIN},
                                    {.fd = signals, .events = POLLIN}};
        if (poll(watched, 2, -1) < 0 && errno != EINTR) fail("poll");
        if (watched[0].revents != 0) {
            kill(program, SIGKILL);
            waitpid(program, &status, 0);
            return status;
        }
        struct signalfd_siginfo info;
        while (read(signals, &info, sizeof info) > 0) {
        }
    }
}

int main(int argc, char** argv) {
    /* A trial sandbox runs this program as its robot: that it starts, sealed, is the test. */
    if (argc == 2 && strcmp(argv[1], "--check") == 0) return 0;
    struct settings s = parse(argc, argv);
    status_fd = s.status_fd;
    if (fcntl(status_fd, F_SETFD, FD_CLOEXEC) != 0 || fcntl(s.lifeline, F_SETFD, FD_CLOEXEC) != 0) {
        fail("the status descriptors");
    }
    /* SIGCHLD is read from a descriptor; the program gets it back, unblocked, at its start. */
    sigset_t child;
    sigemptyset(&child);
    sigaddset(&child, SIGCHLD);
    sigprocmask(SIG_BLOCK, &child, NULL);
    if (s.gid >= 0 &&
        (setgroups(0, NULL) != 0 || setresgid((gid_t)s.gid, (gid_t)s.gid, (gid_t)s.gid) != 0)) {
        fail("setting the robot's group");
    }
    if (s.uid >= 0 && setresuid((uid_t)s.uid, (uid_t)s.uid, (uid_t)s.uid) != 0) {
        fail("setting the robot's user");
    }
    /* No process of the robot may read this one's memory or descriptors; every process the
     * robot starts, and that outlives its parent, becomes this one's child. */
    prctl(PR_SET_DUMPABLE, 0);
    prctl(PR_SET_CHILD_SUBREAPER, 1);

    /* A descriptor closed on exec tells whether the program started: it reads EOF then, and
     * why it did not otherwise. */
    int passed[2] = {-1, -1};
    if (s.receive) receive_descriptors(s.status_fd, passed);
    int started[2];
    if (pipe2(started, O_CLOEXEC) != 0) fail("pipe");
    for (int i = 0; i < 2; i++) {
        int high = fcntl(started[i], F_DUPFD_CLOEXEC, HIGH_FD);
        if (high < 0) fail("pipe");
        close(started[i]);
        started[i] = high;
    }
    pid_t program = fork();
    if (program < 0) fail("fork");
    if (program == 0) {
        close(started[0]);
        child_fd = started[1];
        sigprocmask(SIG_UNBLOCK, &child, NULL);
        if (s.receive && (dup2(passed[0], CHANNEL_FD) < 0 || dup2(passed[1], AREA_FD) < 0)) {
            fail("placing the robot's channel");
        }
        seal(&s);
        execv(s.program[0], s.program);
        fail(s.program[0]);
    }
    close(started[1]);
    char why[256];
    ssize_t n;
    do {
        n = read(started[0], why, sizeof why - 1);
    } while (n < 0 && errno == EINTR);
    close(started[0]);
    if (n > 0) {
        why[n] = '\0';
        say("failed %s", why);
    } else {
        say("started");
    }
    close_others(&s);
    int status = await_program(&s, program);
    end_descendants();
    say("status %d", status);
    send_report(s.report);
    return 0;
}
