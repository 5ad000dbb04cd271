/* A hostile strategy: it stands still, and at step ATTACK_STEP tries one way (chosen when it
 * is built, ATTACK_*) of reaching beyond its own robot, printing what it found. Whatever it
 * does, the other robots must play exactly as they would beside a robot that only stands
 * still, and the match must end as usual. */
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include "Toolkit.h"

#ifndef ATTACK_STEP
#define ATTACK_STEP 3
#endif

static char said[4096];

static void note(const char* format, ...) __attribute__((format(printf, 1, 2)));
static void note(const char* format, ...) {
    va_list args;
    va_start(args, format);
    size_t used = strlen(said);
    vsnprintf(said + used, sizeof said - used, format, args);
    va_end(args);
}

/* The other processes this one can see, by their ids. */
__attribute__((unused)) static void seen_processes(void) {
    DIR* proc = opendir("/proc");
    note("processes:");
    if (proc == NULL) return;
    for (struct dirent* e; (e = readdir(proc)) != NULL;) {
        if (e->d_name[0] >= '0' && e->d_name[0] <= '9') note(" %s", e->d_name);
    }
    closedir(proc);
}

/* This robot's own area, as the system lists its mappings: address and size. */
__attribute__((unused)) static unsigned char* own_area(size_t* size) {
    FILE* maps = fopen("/proc/self/maps", "r");
    char line[512];
    unsigned char* found = NULL;
    int areas = 0;
    while (maps != NULL && fgets(line, sizeof line, maps) != NULL) {
        if (strstr(line, "memfd:touchline-robot") == NULL) continue;
        unsigned long from, to;
        if (sscanf(line, "%lx-%lx", &from, &to) == 2 && found == NULL) {
            found = (unsigned char*)from;
            *size = to - from;
        }
        areas++;
    }
    if (maps != NULL) fclose(maps);
    note("areas mapped: %d; ", areas);
    return found;
}

#ifdef ATTACK_EXCHANGE
/* Looks for other robots' areas everywhere one could, then reaches past its own. */
static void attack(void) {
    size_t size = 0;
    unsigned char* area = own_area(&size);
    DIR* shm = opendir("/dev/shm");
    int files = 0;
    if (shm != NULL) {
        for (struct dirent* e; (e = readdir(shm)) != NULL;) files += e->d_name[0] != '.';
        closedir(shm);
    }
    note("/dev/shm files: %d; ", files);
    int fd = open("/proc/1/fd/4", O_RDWR);
    note("another process's descriptor: %s; ", fd < 0 ? strerror(errno) : "opened");
    seen_processes();
    print(said);
    execute();
    /* Map more than its own area: the pages past it are no one's. */
    unsigned char* wide = mremap(area, size, 64 * size, MREMAP_MAYMOVE);
    if (wide != MAP_FAILED) {
        volatile unsigned char sum = 0;
        for (size_t i = size; i < 64 * size; i += 4096) sum += wide[i];
    }
}
#endif

#ifdef ATTACK_ORDERS
/* Answers its step itself with orders that claim 2147483647 messages. */
static void attack(void) {
    size_t size = 0;
    unsigned char* area = own_area(&size);
    print(said);
    execute();
    if (area == NULL) return;
    /* The orders it wrote last are a whole message: find it by its type and time. */
    int now = getTime();
    for (size_t at = 4096; at + 32 < size; at++) {
        if (area[at + 4] != 4) continue;
        unsigned char* time = area + at + 5;
        long long t = 0;
        for (int i = 0; i < 8; i++) t = t << 8 | time[i];
        if (t != now - 1) continue;
        unsigned char* count = area + at + 5 + 8 + 16;
        count[0] = 0x7f;
        count[1] = count[2] = count[3] = 0xff;
        volatile int* step = (volatile int*)area;
        volatile int* answer = (volatile int*)(area + 192);
        *answer = *step >> 2;
        break;
    }
    for (;;) sleep(1);
}
#endif

#ifdef ATTACK_SIGNALS
/* Signals every other process it can find (its first process among them), its group, then
 * everything. */
static void attack(void) {
    seen_processes();
    DIR* proc = opendir("/proc");
    note("; killed:");
    for (struct dirent* e; proc != NULL && (e = readdir(proc)) != NULL;) {
        int pid = atoi(e->d_name);
        if (pid > 0 && pid != getpid() && kill(pid, SIGKILL) == 0) note(" %d", pid);
    }
    if (proc != NULL) closedir(proc);
    note("; group: %d", kill(-getpgrp(), SIGCONT));
    print(said);
    execute();
    kill(-1, SIGKILL);
}
#endif

#ifdef ATTACK_TRACE
/* Opens another process's memory, then traces it. */
static void attack(void) {
    int fd = open("/proc/1/mem", O_RDONLY);
    note("memory of process 1: %s", fd < 0 ? strerror(errno) : "opened");
    print(said);
    execute();
    ptrace(PTRACE_ATTACH, 1, NULL, NULL);
}
#endif

#ifdef ATTACK_SEAT
/* Looks for a socket to take another robot's seat on. */
static void attack(void) {
    int sockets = 0;
    const char* folders[] = {"/tmp", "/dev/shm", "/run", "/var/run"};
    for (size_t f = 0; f < sizeof folders / sizeof folders[0]; f++) {
        DIR* d = opendir(folders[f]);
        if (d == NULL) continue;
        for (struct dirent* e; (e = readdir(d)) != NULL;) sockets += e->d_type == DT_SOCK;
        closedir(d);
    }
    FILE* unix_sockets = fopen("/proc/net/unix", "r");
    int listed = -1;
    char line[512];
    while (unix_sockets != NULL && fgets(line, sizeof line, unix_sockets) != NULL) listed++;
    if (unix_sockets != NULL) fclose(unix_sockets);
    int s = socket(AF_UNIX, SOCK_STREAM, 0);
    struct sockaddr_un abstract = {.sun_family = AF_UNIX};
    memcpy(abstract.sun_path, "\0touchline", 10);
    int connected = connect(s, (struct sockaddr*)&abstract, sizeof(sa_family_t) + 10);
    note("sockets in folders: %d; sockets listed: %d; abstract: %s", sockets,
         listed < 0 ? 0 : listed, connected == 0 ? "connected" : strerror(errno));
    print(said);
}
#endif

#ifdef ATTACK_DAEMON
/* Forks a daemon to outlive the match. */
static void attack(void) {
    print("forking");
    execute();
    if (fork() == 0) {
        setsid();
        for (;;) sleep(1);
    }
}
#endif

#ifdef ATTACK_LIBRARY
/* Reads another strategy's library and writes into the host's folders. */
static void attack(void) {
    int fd = open(OTHER_LIBRARY, O_RDONLY);
    note("other library: %s; ", fd < 0 ? strerror(errno) : "opened");
    fd = open(OUT_FOLDER "/planted.txt", O_WRONLY | O_CREAT, 0644);
    note("out folder: %s; ", fd < 0 ? strerror(errno) : "written");
    fd = open("/etc/passwd", O_RDONLY);
    note("/etc/passwd: %s; ", fd < 0 ? strerror(errno) : "opened");
    fd = open("/planted", O_WRONLY | O_CREAT, 0644);
    note("root: %s", fd < 0 ? strerror(errno) : "written");
    print(said);
}
#endif

#ifdef ATTACK_NETWORK
/* Connects to the host's loopback and to the outside world. */
static void attack(void) {
    const char* hosts[] = {"127.0.0.1", "1.1.1.1"};
    for (int i = 0; i < 2; i++) {
        int s = socket(AF_INET, SOCK_STREAM, 0);
        struct sockaddr_in to = {.sin_family = AF_INET, .sin_port = htons(HOSTILE_PORT)};
        inet_pton(AF_INET, hosts[i], &to.sin_addr);
        int connected = connect(s, (struct sockaddr*)&to, sizeof to);
        note("%s: %s; ", hosts[i], connected == 0 ? "connected" : strerror(errno));
        close(s);
    }
    print(said);
}
#endif

#ifdef ATTACK_MEMORY
/* Takes memory until there is no more. */
static void attack(void) {
    for (long taken = 0;; taken++) {
        char* block = malloc(1 << 20);
        if (block == NULL) {
            note("malloc failed after %ld MiB", taken);
            print(said);
            return;
        }
        block[0] = 1;
    }
}
#endif

#ifdef ATTACK_THREADS
static void* spin(void* unused) {
    for (;;) pause();
    return unused;
}

/* Starts threads until no more will start. */
static void attack(void) {
    int started = 0;
    pthread_t thread;
    while (started < 10000 && pthread_create(&thread, NULL, spin, NULL) == 0) started++;
    note("threads started: %d", started);
    print(said);
}
#endif

#ifdef ATTACK_TIME
/* Thinks for a long time every step. */
static void attack(void) {
    for (;;) {
        struct timespec pause = {0, 200000000};
        nanosleep(&pause, NULL);
        execute();
    }
}
#endif

void initialize(void) {}

void run(void) {
    for (;;) {
        if (getTime() == ATTACK_STEP) attack();
        execute();
    }
}
