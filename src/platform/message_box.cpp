#include "platform/message_box.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/debug_server.h"
#include "platform/terminal.h"

namespace {

bool namedIn(const char* value, const char* a, const char* b) {
    return value && (std::strcmp(value, a) == 0 || std::strcmp(value, b) == 0);
}

void printBox(const char* caption, const char* text) {
    std::fprintf(stderr, "%s\n%s\n", caption, text);
    std::fflush(stderr);
}

void errorBox(const char* caption, const char* text) {
    showMessageBox(caption, text, BoxIcon::error);
}

}  // namespace

const char* namedDisplay() {
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* name = std::getenv(variable); name && *name) return name;
    return nullptr;
}

bool boxesCanBeShown() {
    if (!namedDisplay()) return false;
    if (namedIn(std::getenv("SDL_VIDEODRIVER"), "offscreen", "dummy")) return false;
    if (SDL_WasInit(SDL_INIT_VIDEO) && namedIn(SDL_GetCurrentVideoDriver(), "offscreen", "dummy"))
        return false;
    return true;
}

void showMessageBox(const char* caption, const char* text, BoxIcon icon) {
    if (boxesCanBeShown()) {
        Uint32 flags = icon == BoxIcon::error ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
        terminal::SignalsEndTheProgram whileTheBoxWaits;
        if (SDL_ShowSimpleMessageBox(flags, caption, text, nullptr) == 0) return;
        std::fprintf(stderr, "glimmertide: cannot show a message box: %s\n", SDL_GetError());
    }
    printBox(caption, text);
}

bool askYesNo(const char* caption, const char* text, bool safeAnswer) {
    if (boxesCanBeShown()) {
        const SDL_MessageBoxButtonData buttons[] = {
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
            {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
        };
        const SDL_MessageBoxData box = {SDL_MESSAGEBOX_WARNING, nullptr, caption, text,
                                        SDL_arraysize(buttons), buttons, nullptr};
        int answer = -1;
        terminal::SignalsEndTheProgram whileTheBoxWaits;
        // Closing the box without a button counts as No, like Escape.
        if (SDL_ShowMessageBox(&box, &answer) == 0) return answer == 1;
        std::fprintf(stderr, "glimmertide: cannot show a message box: %s\n", SDL_GetError());
    }
    printBox(caption, text);
    std::fprintf(stderr, "(answered %s: no display to ask on)\n", safeAnswer ? "Yes" : "No");
    return safeAnswer;
}

int chooseInBox(const char* caption, const char* text, const std::vector<std::string>& choices) {
    std::vector<SDL_MessageBoxButtonData> buttons;
    for (size_t i = 0; i < choices.size(); ++i)
        buttons.push_back({i == 0 ? Uint32(SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT) : 0u, int(i), choices[i].c_str()});
    buttons.push_back({SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, -1, "Cancel"});
    const SDL_MessageBoxData box = {SDL_MESSAGEBOX_INFORMATION, nullptr, caption, text, int(buttons.size()),
                                    buttons.data(), nullptr};
    int chosen = -1;
    terminal::SignalsEndTheProgram whileTheBoxWaits;
    if (SDL_ShowMessageBox(&box, &chosen) != 0) return -1;
    return chosen;
}

void installMessageBoxes() { setErrorBoxHandler(errorBox); }
