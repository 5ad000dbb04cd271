// Command: the queued host commands. Strategy calls create them during a step; the execution
// cycle delivers each one with commit() and destroys it right after.
#ifndef TOUCHLINE_COMMANDS_COMMAND_H
#define TOUCHLINE_COMMANDS_COMMAND_H

#include <jni.h>

#include <string>
#include <utility>

#include "Toolkit.h"

// Base of every queued host command. Destroying a command, also through a Command pointer,
// releases everything the derived command owns.
class Command {
public:
    Command() = default;
    virtual ~Command() = default;

    // Delivers the command to the host through env.
    virtual void commit(JNIEnv* env) = 0;

protected:
    // Derived commands are copied and moved as themselves (queues hold them by value), never
    // sliced through the base.
    Command(const Command&) = default;
    Command& operator=(const Command&) = default;
};

// The robot's move velocity for the coming step: operate console "setMoveVelocity".
class MoveCommand : public Command {
public:
    explicit MoveCommand(double velocity) : velocity(velocity) {}
    void commit(JNIEnv* env) override;

private:
    double velocity;
};

// The robot's turn velocity for the coming step: operate console "setTurnVelocity".
class TurnCommand : public Command {
public:
    explicit TurnCommand(double velocity) : velocity(velocity) {}
    void commit(JNIEnv* env) override;

private:
    double velocity;
};

// A text for another robot: operate console "sendMessage", with its own copy of the text.
class MessageCommand : public Command {
public:
    MessageCommand(int receiverId, const std::string& message)
        : receiverId(receiverId), message(message) {}
    void commit(JNIEnv* env) override;

private:
    int receiverId;
    std::string message;
};

// Everything printed during one step: debug console "print" (no call for an empty text).
class PrintCommand : public Command {
public:
    explicit PrintCommand(std::string text) : text(std::move(text)) {}
    void commit(JNIEnv* env) override;

private:
    std::string text;
};

// The view commands copy every field of the caller's record, which the caller may reuse or
// free as soon as the add call returns. Each commit creates a host view on the debug console,
// sets its fields and adds it.

class LineViewCommand : public Command {
public:
    explicit LineViewCommand(const LineView* view);
    void commit(JNIEnv* env) override;

private:
    int showTime;
    int color;
    double beginX;
    double beginY;
    double endX;
    double endY;
};

class TextViewCommand : public Command {
public:
    // view->text must not be null.
    explicit TextViewCommand(const TextView* view);
    void commit(JNIEnv* env) override;

private:
    int showTime;
    int color;
    std::string text;
    int size;
    double locationX;
    double locationY;
};

class EllipseViewCommand : public Command {
public:
    explicit EllipseViewCommand(const EllipseView* view);
    void commit(JNIEnv* env) override;

private:
    int showTime;
    int color;
    double xRadius;
    double yRadius;
    bool fill;
    double locationX;
    double locationY;
};

class RectangleViewCommand : public Command {
public:
    explicit RectangleViewCommand(const RectangleView* view);
    void commit(JNIEnv* env) override;

private:
    int showTime;
    int color;
    double width;
    double height;
    bool fill;
    double locationX;
    double locationY;
};

#endif
