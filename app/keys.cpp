// Keyboard latches: a key's polled down state becomes a press that lasts for
// exactly one poll, so a held key acts once.
#include "app/keys.h"

namespace shindan {

void poll_key(plat_key key, key_latch* latch) {
  if (plat_key_down(key)) {
    *latch = (*latch == key_up) ? key_pressed : key_held;
  } else {
    // A key must be seen up at two polls in a row before a new press counts.
    *latch = (*latch == key_pressed || *latch == key_held) ? key_released : key_up;
  }
}

}  // namespace shindan
