/* Not a strategy library: it exports two of the three entry points, adapterRun is missing. */
int adapterInit(void) {
    return 1;
}

void adapterClearup(void) {}
