#include "commands/Operate.h"

#include <optional>
#include <vector>

#include "Toolkit.h"
#include "commands/Command.h"

namespace {

// The pending commands of the current step: at most one move and one turn velocity (the last
// given), and every message in the order sent. Held by value: a step's commands cost no heap
// allocation of their own (a long message text aside), as the queue keeps its storage.
std::optional<MoveCommand> moveCommand;
std::optional<TurnCommand> turnCommand;
std::vector<MessageCommand> messageCommands;

}  // namespace

extern "C" {

void setMoveVelocity(double velocity) {
    moveCommand.emplace(velocity);
}

void setTurnVelocity(double velocity) {
    turnCommand.emplace(velocity);
}

// The id and the text are copied now: the caller may change or free both once this returns.
void sendMessage(const Bot* bot, const char* message) {
    if (bot == nullptr || message == nullptr) return;
    messageCommands.emplace_back(bot->id, message);
}

}  // extern "C"

void commitOperate(JNIEnv* env) {
    // The queue is emptied before anything is delivered: if the host throws part way, the
    // undelivered rest is discarded with these locals and never reaches a later step.
    std::optional<MoveCommand> move;
    move.swap(moveCommand);
    std::optional<TurnCommand> turn;
    turn.swap(turnCommand);
    std::vector<MessageCommand> messages;
    messages.swap(messageCommands);

    if (move) {
        move->commit(env);
        move.reset();
    }
    if (turn) {
        turn->commit(env);
        turn.reset();
    }
    for (MessageCommand& message : messages) message.commit(env);
    // Delivered: the emptied storage goes back to the queue for the next step.
    messages.clear();
    messageCommands.swap(messages);
}
