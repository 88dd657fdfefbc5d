// Message boxes in a browser: shown on the page, never waiting, and written to stderr (the
// console) as a box without a display is.
#include <cstdio>

#include "base/debug_server.h"
#include "platform/message_box.h"
#include "platform/web_page.h"

namespace {

void errorBox(const char* caption, const char* text) { showMessageBox(caption, text, BoxIcon::error); }

}  // namespace

bool boxesCanBeShown() { return true; }

void showMessageBox(const char* caption, const char* text, BoxIcon icon) {
    std::fprintf(stderr, "%s\n%s\n", caption, text);
    page::showBox(caption, text, icon == BoxIcon::error);
}

// A page cannot stop the program to ask: the question is shown and the safe answer taken.
bool askYesNo(const char* caption, const char* text, bool safeAnswer) {
    showMessageBox(caption, text, BoxIcon::information);
    return safeAnswer;
}

void installMessageBoxes() { setErrorBoxHandler(errorBox); }
