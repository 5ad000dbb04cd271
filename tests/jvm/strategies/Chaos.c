/* A chaos strategy: it drives until step CHAOS_STEP, then every step writes random bytes,
 * seeded by CHAOS_SEED, into what its process sends the match: anywhere in the first pages of
 * its exchange area (the words that say which step it answers, the sizes and counts of its
 * orders, the orders themselves), and into its channel to the match. Whatever it writes, the
 * match must end this robot alone and play on. */
#define _GNU_SOURCE
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include "Toolkit.h"

#ifndef CHAOS_SEED
#define CHAOS_SEED 1
#endif
#ifndef CHAOS_STEP
#define CHAOS_STEP 10
#endif

static uint64_t state = 0x9e3779b97f4a7c15ull * (CHAOS_SEED + 1);

static uint64_t next(void) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

/* This robot's own exchange area, as the system lists its mappings. */
static unsigned char* own_area(size_t* size) {
    FILE* maps = fopen("/proc/self/maps", "r");
    char line[512];
    unsigned char* found = NULL;
    while (maps != NULL && found == NULL && fgets(line, sizeof line, maps) != NULL) {
        unsigned long from, to;
        if (strstr(line, "memfd:touchline-robot") != NULL &&
            sscanf(line, "%lx-%lx", &from, &to) == 2) {
            found = (unsigned char*)from;
            *size = to - from;
        }
    }
    if (maps != NULL) fclose(maps);
    return found;
}

/* Random bytes, lengths and counts: each a byte, a 32-bit word or a run of bytes. Each seed
 * aims somewhere of its own: the channel alone (4), the area's first page of words (1), its
 * pages of steps and orders (2), or all of it (3). */
static void scribble(unsigned char* area, size_t size) {
    size_t span = size < 65536 ? size : 65536;
    size_t low = CHAOS_SEED % 4 == 2 ? 4096 : 0;
    size_t high = CHAOS_SEED % 4 == 1 ? 4096 : span;
    int writes = CHAOS_SEED % 4 == 0 ? 0 : 1 + (int)(next() % 8);
    for (int i = 0; i < writes; i++) {
        size_t at = low + (size_t)(next() % (high - low));
        switch (next() % 4) {
            case 0:
                area[at] = (unsigned char)next();
                break;
            case 1: {
                /* A word that looks like a size or a count. */
                static const uint32_t sizes[] = {0, 1, 0x7fffffffu, 0xffffffffu, 0x10000u,
                                                 4096u};
                uint32_t value = sizes[next() % 6];
                if (at + 4 <= span) memcpy(area + (at & ~(size_t)3), &value, 4);
                break;
            }
            case 2: {
                size_t run = (size_t)(next() % 256);
                for (size_t j = 0; j < run && at + j < span; j++) area[at + j] = (unsigned char)next();
                break;
            }
            default: {
                /* Says it answered some step, right or wrong. */
                volatile int* step = (volatile int*)area;
                volatile int* answer = (volatile int*)(area + 192);
                *answer = (next() % 2) ? *step >> 2 : (int)next();
                break;
            }
        }
    }
    if (CHAOS_SEED % 4 == 2) {
        /* Says its scribbled pages are its answer, and gives the match time to read them. */
        volatile int* step = (volatile int*)area;
        volatile int* answer = (volatile int*)(area + 192);
        *answer = *step >> 2;
        usleep(5000);
    }
    if (CHAOS_SEED % 4 == 0 || (CHAOS_SEED % 4 == 3 && next() % 4 == 0)) {
        unsigned char noise[512];
        for (size_t j = 0; j < sizeof noise; j++) noise[j] = (unsigned char)next();
        /* The channel to the match is the process's standard input. */
        ssize_t ignored = write(0, noise, (size_t)(next() % sizeof noise));
        (void)ignored;
    }
}

void initialize(void) {}

void run(void) {
    size_t size = 0;
    unsigned char* area = NULL;
    for (;;) {
        setMoveVelocity(2.0);
        if (getTime() >= CHAOS_STEP) {
            if (area == NULL) area = own_area(&size);
            if (area != NULL) scribble(area, size);
        }
        execute();
    }
}
