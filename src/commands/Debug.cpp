#include "commands/Debug.h"

#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "Toolkit.h"
#include "commands/Command.h"

namespace {

using ViewCommand =
    std::variant<LineViewCommand, TextViewCommand, EllipseViewCommand, RectangleViewCommand>;

// Everything printed during the current step, and the views added, in order. The views are
// held by value, so adding one costs no heap allocation of its own once the queue has grown.
std::string printBuffer;
std::vector<ViewCommand> viewCommands;

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
    viewCommands.emplace_back(std::in_place_type<LineViewCommand>, view);
}

void addTextView(const TextView* view) {
    if (view == nullptr || view->text == nullptr) return;
    viewCommands.emplace_back(std::in_place_type<TextViewCommand>, view);
}

void addEllipseView(const EllipseView* view) {
    if (view == nullptr) return;
    viewCommands.emplace_back(std::in_place_type<EllipseViewCommand>, view);
}

void addRectangleView(const RectangleView* view) {
    if (view == nullptr) return;
    viewCommands.emplace_back(std::in_place_type<RectangleViewCommand>, view);
}

}  // extern "C"

void commitDebug(JNIEnv* env) {
    // Both are emptied before anything is delivered: if the host throws part way, the
    // undelivered rest is discarded with these locals and never reaches a later step.
    std::string text;
    text.swap(printBuffer);
    std::vector<ViewCommand> views;
    views.swap(viewCommands);

    if (!text.empty()) PrintCommand(std::move(text)).commit(env);
    for (ViewCommand& view : views) {
        std::visit([env](Command& command) { command.commit(env); }, view);
    }
    // Delivered: the emptied storage goes back to the queue for the next step.
    views.clear();
    viewCommands.swap(views);
}
