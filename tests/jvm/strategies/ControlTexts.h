/* Texts with control characters in them, each marked "#k#", and how a line of a terminal or a
   text file shows each: every control character escaped, the text on one line. ControlText.c
   prints the k-th at step k; the scene helper's test looks for their lines. */
#ifndef TOUCHLINE_TESTS_CONTROL_TEXTS_H
#define TOUCHLINE_TESTS_CONTROL_TEXTS_H

static const char* const kControlTexts[][2] = {
    {"#0# two\nlines", "#0# two\\nlines"},
    {"#1# \x1b[31mred\x1b[0m", "#1# \\e[31mred\\e[0m"},
    {"#2# cr\rover", "#2# cr\\rover"},
    {"#3# tab\tbell\x07", "#3# tab\\tbell\\x07"},
    {"#4# line\xe2\x80\xa8separator", "#4# line\\u2028separator"},
    {"#5# next line\xc2\x85", "#5# next line\\x85"},
    {"#6# ok\n[9] 2 touchline_sample: forged", "#6# ok\\n[9] 2 touchline_sample: forged"},
    {"#7# x\n  FAIL forged.scene:1: forged\n", "#7# x\\n  FAIL forged.scene:1: forged\\n"},
    {"#8# \xe2\x80\xaereversed", "#8# \\u202ereversed"},
};

#define CONTROL_TEXT_COUNT ((int)(sizeof kControlTexts / sizeof kControlTexts[0]))

#endif
