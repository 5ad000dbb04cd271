/* Text across the host boundary: prints a text with a 4-byte character in its first step and
   bytes that are not UTF-8 in its second, and sends the first text to every teammate. Each
   message received is printed later, on its own, as the sender's id and the hexadecimal bytes
   the toolkit handed over, so the host can compare them byte for byte. */
#include <stdio.h>
#include <string.h>

#include "Toolkit.h"

static const char* const kEmojiText = "\xF0\x9F\x98\x80 emoji then ABCDEFGH";

void initialize(void) {}

static void sendToTeammates(const char* text) {
    int i;
    Bot self;
    Bot bot;
    getSelfBot(&self);
    for (i = 0; i < getBotNum(); ++i) {
        getBot(i, &bot);
        if (bot.teamId == self.teamId && bot.id != self.id) sendMessage(&bot, text);
    }
}

/* The received messages of this step, as "got=<sender>:<hex>" lines, appended to notes. */
static void noteMessages(char* notes, size_t size) {
    int i;
    for (i = 0; i < getActionNum(); ++i) {
        ActionUnion value;
        const unsigned char* byte;
        size_t used = strlen(notes);
        if (getActionType(i) != ACTION_MESSAGE_RECEIVED) continue;
        getActionValue(i, &value);
        used +=
            (size_t)snprintf(notes + used, size - used, "got=%d:", value.messageReceived.sender);
        for (byte = (const unsigned char*)value.messageReceived.message; *byte && used + 3 < size;
             ++byte) {
            used += (size_t)snprintf(notes + used, size - used, "%02X", *byte);
        }
    }
}

void run(void) {
    char notes[1024] = "";
    int step;
    for (step = 0;; ++step) {
        if (step == 0) {
            print(kEmojiText);
            sendToTeammates(kEmojiText);
        } else if (step == 1) {
            print("\xff tail");
        } else if (notes[0] != '\0') {
            print(notes);
            notes[0] = '\0';
        }
        execute();
        noteMessages(notes, sizeof notes);
    }
}
