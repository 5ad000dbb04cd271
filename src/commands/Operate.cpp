#include "commands/Operate.h"

#include <memory>
#include <utility>
#include <vector>

#include "Toolkit.h"
#include "commands/Command.h"

namespace {

// The pending commands of the current step: at most one move and one turn velocity (the last
// given), and every message in the order sent.
std::unique_ptr<MoveCommand> moveCommand;
std::unique_ptr<TurnCommand> turnCommand;
std::vector<std::unique_ptr<MessageCommand>> messageCommands;

}  // namespace

extern "C" {

void setMoveVelocity(double velocity) {
    moveCommand = std::make_unique<MoveCommand>(velocity);
}

void setTurnVelocity(double velocity) {
    turnCommand = std::make_unique<TurnCommand>(velocity);
}

// The id and the text are copied now: the caller may change or free both once this returns.
void sendMessage(const Bot* bot, const char* message) {
    if (bot == nullptr || message == nullptr) return;
    messageCommands.push_back(std::make_unique<MessageCommand>(bot->id, message));
}

}  // extern "C"

void commitOperate(JNIEnv* env) {
    // The queue is emptied before anything is delivered: if the host throws part way, the
    // undelivered rest is discarded with these locals and never reaches a later step.
    std::unique_ptr<MoveCommand> move = std::move(moveCommand);
    std::unique_ptr<TurnCommand> turn = std::move(turnCommand);
    std::vector<std::unique_ptr<MessageCommand>> messages;
    messages.swap(messageCommands);

    if (move) {
        move->commit(env);
        move.reset();
    }
    if (turn) {
        turn->commit(env);
        turn.reset();
    }
    for (std::unique_ptr<MessageCommand>& message : messages) {
        message->commit(env);
        message.reset();
    }
}
