/* Every step, sends "hello" to every id from 1 to 6: in a 2 v 2 match two of them are its own
   team (itself included), two the other team and two no robot at all. */
#include "Toolkit.h"

void initialize(void) {}

void run(void) {
    for (;;) {
        for (int id = 1; id <= 6; ++id) {
            Bot bot = {0};
            bot.id = id;
            sendMessage(&bot, "hello");
        }
        execute();
    }
}
