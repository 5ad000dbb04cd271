#include "commands/Command.h"

#include "adapter/FootballAdapter.h"
#include "adapter/JavaUtils.h"
#include "adapter/ModifiedUtf8.h"

namespace {

// Sets one velocity on the operate console.
void commitVelocity(JNIEnv* env, const char* setter, double velocity) {
    LocalRef console(env, getOperateConsole());
    JavaUtils::setDouble(env, console.get(), setter, velocity);
    console.reset();
}

// The frame every view command shares: create the host view, set its fields, add it to the
// debug console. Without a view object there is nothing to set or add.
template <typename SetFields>
void commitView(JNIEnv* env, const char* createMethod, SetFields setFields) {
    LocalRef console(env, getDebugConsole());
    LocalRef view(env, JavaUtils::readObject(env, console.get(), createMethod));
    if (view) {
        setFields(view.get());
        JavaUtils::setObject(env, console.get(), "addView", view.get());
    }
    view.reset();
    console.reset();
}

}  // namespace

void MoveCommand::commit(JNIEnv* env) {
    commitVelocity(env, "setMoveVelocity", velocity);
}

void TurnCommand::commit(JNIEnv* env) {
    commitVelocity(env, "setTurnVelocity", velocity);
}

// JavaUtils has no two-argument setter, so this call goes to JNI directly. Unlike printed
// text, an empty message is still sent.
void MessageCommand::commit(JNIEnv* env) {
    LocalRef console(env, getOperateConsole());
    HostMethod method =
        JavaUtils::findMethod(env, console.get(), "sendMessage", "(ILjava/lang/String;)V");
    if (!method) return;
    std::string converted;
    LocalRef host(env, env->NewStringUTF(ModifiedUtf8::toHost(message.c_str(), converted)));
    JavaUtils::checkHostException(env);
    if (!host) return;
    env->functions->CallVoidMethod(env, console.get(), method.id, static_cast<jint>(receiverId),
                                   host.get());
    JavaUtils::checkHostException(env);
    method.cls.reset();
    host.reset();
    console.reset();
}

void PrintCommand::commit(JNIEnv* env) {
    LocalRef console(env, getDebugConsole());
    JavaUtils::setString(env, console.get(), "print", text);
    console.reset();
}

LineViewCommand::LineViewCommand(const LineView* view)
    : showTime(view->showTime),
      color(view->color),
      beginX(view->beginX),
      beginY(view->beginY),
      endX(view->endX),
      endY(view->endY) {}

void LineViewCommand::commit(JNIEnv* env) {
    commitView(env, "createLineView", [&](jobject view) {
        JavaUtils::setLong(env, view, "setShowTime", showTime);
        JavaUtils::setInt(env, view, "setColor", color);
        JavaUtils::setDouble(env, view, "setBeginX", beginX);
        JavaUtils::setDouble(env, view, "setBeginY", beginY);
        JavaUtils::setDouble(env, view, "setEndX", endX);
        JavaUtils::setDouble(env, view, "setEndY", endY);
    });
}

TextViewCommand::TextViewCommand(const TextView* view)
    : showTime(view->showTime),
      color(view->color),
      text(view->text),
      size(view->size),
      locationX(view->locationX),
      locationY(view->locationY) {}

void TextViewCommand::commit(JNIEnv* env) {
    commitView(env, "createTextView", [&](jobject view) {
        JavaUtils::setLong(env, view, "setShowTime", showTime);
        JavaUtils::setInt(env, view, "setColor", color);
        // An empty text makes no call: the host view keeps its own text.
        JavaUtils::setString(env, view, "setText", text);
        JavaUtils::setInt(env, view, "setSize", size);
        JavaUtils::setDouble(env, view, "setLocationX", locationX);
        JavaUtils::setDouble(env, view, "setLocationY", locationY);
    });
}

EllipseViewCommand::EllipseViewCommand(const EllipseView* view)
    : showTime(view->showTime),
      color(view->color),
      xRadius(view->xRadius),
      yRadius(view->yRadius),
      fill(view->fill == 1),
      locationX(view->locationX),
      locationY(view->locationY) {}

void EllipseViewCommand::commit(JNIEnv* env) {
    commitView(env, "createEllipseView", [&](jobject view) {
        JavaUtils::setLong(env, view, "setShowTime", showTime);
        JavaUtils::setInt(env, view, "setColor", color);
        JavaUtils::setDouble(env, view, "setXRadius", xRadius);
        JavaUtils::setDouble(env, view, "setYRadius", yRadius);
        JavaUtils::setBool(env, view, "setFill", fill);
        JavaUtils::setDouble(env, view, "setLocationX", locationX);
        JavaUtils::setDouble(env, view, "setLocationY", locationY);
    });
}

RectangleViewCommand::RectangleViewCommand(const RectangleView* view)
    : showTime(view->showTime),
      color(view->color),
      width(view->width),
      height(view->height),
      fill(view->fill == 1),
      locationX(view->locationX),
      locationY(view->locationY) {}

void RectangleViewCommand::commit(JNIEnv* env) {
    commitView(env, "createRectangleView", [&](jobject view) {
        JavaUtils::setLong(env, view, "setShowTime", showTime);
        JavaUtils::setInt(env, view, "setColor", color);
        JavaUtils::setDouble(env, view, "setWidth", width);
        JavaUtils::setDouble(env, view, "setHeight", height);
        JavaUtils::setBool(env, view, "setFill", fill);
        JavaUtils::setDouble(env, view, "setLocationX", locationX);
        JavaUtils::setDouble(env, view, "setLocationY", locationY);
    });
}
