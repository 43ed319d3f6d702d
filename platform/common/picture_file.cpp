// Pictures read from their bitmap files when the program asks for them: the
// way of every memory-surface backend whose files are all there at the start
// (the browser's own arrive over the network and load on its own terms).
#include <string>

#include "platform/common/sjis.h"
#include "platform/common/surface.h"

namespace shindan {

plat_surface* plat_load_picture(plat_display* device, const char* file_name) {
  if (!device)
    return nullptr;
  std::string path;
  if (!sjis_path(file_name, &path))
    return nullptr;
  decoded_picture picture;
  if (!decode_bmp_file(path.c_str(), device->layout, &picture, nullptr))
    return nullptr;
  return picture_surface(device->layout, picture);
}

}  // namespace shindan
