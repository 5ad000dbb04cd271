#include "commands/Debug.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Toolkit.h"
#include "commands/Command.h"

namespace {

// Everything printed during the current step, and the views added, in order.
std::string printBuffer;
std::vector<std::unique_ptr<Command>> viewCommands;

}  // namespace

extern "C" {

void print(const char* text) {
    if (text == nullptr) return;
    printBuffer += text;
}

// Each add copies the record (and a text view's text) now: the caller may reuse or free it
// once the call returns.

void addLineView(const LineView* view) {
    if (view == nullptr) return;
    viewCommands.push_back(std::make_unique<LineViewCommand>(view));
}

void addTextView(const TextView* view) {
    if (view == nullptr || view->text == nullptr) return;
    viewCommands.push_back(std::make_unique<TextViewCommand>(view));
}

void addEllipseView(const EllipseView* view) {
    if (view == nullptr) return;
    viewCommands.push_back(std::make_unique<EllipseViewCommand>(view));
}

void addRectangleView(const RectangleView* view) {
    if (view == nullptr) return;
    viewCommands.push_back(std::make_unique<RectangleViewCommand>(view));
}

}  // extern "C"

void commitDebug(JNIEnv* env) {
    // Both are emptied before anything is delivered: if the host throws part way, the
    // undelivered rest is discarded with these locals and never reaches a later step.
    std::string text;
    text.swap(printBuffer);
    std::vector<std::unique_ptr<Command>> views;
    views.swap(viewCommands);

    if (!text.empty()) PrintCommand(text).commit(env);
    for (std::unique_ptr<Command>& view : views) {
        view->commit(env);
        view.reset();
    }
}
