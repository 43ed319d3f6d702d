// Gamepads through SDL's game-controller interface, which names the buttons
// by their place on the pad whatever its make. The d-pad and the left
// stick's up and down are the arrow keys, the bottom face button (A) is
// Space, the top one (Y) Shift and Back (View) Enter. Nothing on a pad
// closes the game: Esc and the window's close button stay the only ways out.
#include <algorithm>
#include <vector>

#include "platform/sdl/sdl.h"

namespace shindan {

namespace {

// Half the stick's travel counts as a press, so a stick resting slightly
// off centre never moves the cursor.
constexpr Sint16 stick_press = 16384;

struct pad_state {
  std::vector<SDL_GameController*> open;  // every pad plugged in, in the order they came
};
pad_state pads;

bool pad_key_down(SDL_GameController* pad, plat_key key) {
  const auto button = [pad](SDL_GameControllerButton b) { return SDL_GameControllerGetButton(pad, b) != 0; };
  switch (key) {
    case plat_key::up:
      return button(SDL_CONTROLLER_BUTTON_DPAD_UP) ||
             SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY) <= -stick_press;
    case plat_key::down:
      return button(SDL_CONTROLLER_BUTTON_DPAD_DOWN) ||
             SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY) >= stick_press;
    case plat_key::space:
      return button(SDL_CONTROLLER_BUTTON_A);
    case plat_key::shift:
      return button(SDL_CONTROLLER_BUTTON_Y);
    case plat_key::enter:
      return button(SDL_CONTROLLER_BUTTON_BACK);
  }
  return false;
}

}  // namespace

void take_pad_event(const SDL_Event& event) {
  if (event.type == SDL_CONTROLLERDEVICEADDED) {
    // Pads present at start arrive this way too, one event each.
    SDL_GameController* pad = SDL_GameControllerOpen(event.cdevice.which);
    if (pad != nullptr && std::find(pads.open.begin(), pads.open.end(), pad) == pads.open.end())
      pads.open.push_back(pad);
    else if (pad != nullptr)
      SDL_GameControllerClose(pad);  // already open: drop the extra reference
  } else if (event.type == SDL_CONTROLLERDEVICEREMOVED) {
    SDL_GameController* pad = SDL_GameControllerFromInstanceID(event.cdevice.which);
    const auto it = std::find(pads.open.begin(), pads.open.end(), pad);
    if (it != pads.open.end()) {
      SDL_GameControllerClose(pad);
      pads.open.erase(it);
    }
  }
}

bool any_pad_key_down(plat_key key) {
  return std::any_of(pads.open.begin(), pads.open.end(),
                     [key](SDL_GameController* pad) { return pad_key_down(pad, key); });
}

void close_pads() {
  for (SDL_GameController* pad : pads.open)
    SDL_GameControllerClose(pad);
  pads.open.clear();
}

}  // namespace shindan
