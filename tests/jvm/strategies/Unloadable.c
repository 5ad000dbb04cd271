/* A library with the three entry points that cannot be loaded: it needs a function no library
 * defines. Read as a file it looks like any strategy; only loading it fails. */
extern void nowhereToBeFound(void);

int adapterInit(void) {
    nowhereToBeFound();
    return 0;
}

void adapterRun(void* env, void* adapter) {
    (void)env;
    (void)adapter;
    nowhereToBeFound();
}

void adapterClearup(void) {}
