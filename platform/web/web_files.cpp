// Pictures that arrive after the start. The page brings what the title
// needs before the first frame and the rest while the title plays, so the
// first frame, which loads every picture, finds most of them still on their
// way. Such a picture gets its surface at once, of the size its pack's
// listing gives and all black (so all transparent), and its pixels once its
// pack is in: a few milliseconds of decoding between two frames, so that no
// frame waits long. The page holds back a test's start until every picture and sound
// is in, so the game never shows a picture that has not arrived.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/common/sjis.h"
#include "platform/common/surface.h"
#include "platform/web/web.h"

namespace shindan {

namespace {

struct late_picture {
  plat_surface* surface = nullptr;
  std::string path;
  bool read = false;
  std::vector<std::uint8_t> bytes;  // the file, once read
  bmp_band_cursor decoded;          // how far its pixels are in
};

// Time given to unpacking pictures and sounds between two frames, in
// milliseconds; at least one step goes in each time, however long it takes.
// A step reads one file, decodes a band of rows of one picture, or unpacks
// one sound: the largest picture is 640 by 5760, which whole would hold a
// slow phone for well over 100 ms.
constexpr double unpack_budget_ms = 4.0;
constexpr std::uint32_t band_rows = 32;

std::vector<late_picture> late_pictures;
std::uint32_t pictures_in = 0;
std::uint32_t seen_arrivals = 0;
bool checked = false;
bool cut_short = false;  // the last pass left arrived files for the next
bool ready_told = false;

// clang-format off
// Whether path is coming in a later pack; then writes its width and height.
EM_JS(int, web_picture_coming, (const char* path, std::uint32_t* size), {
  const got = Module.host.pictureComing(UTF8ToString(path));
  if (!got)
    return 0;
  HEAPU32[size >> 2] = got[0];
  HEAPU32[(size >> 2) + 1] = got[1];
  return 1;
});
// 0 while the file is on its way, 1 once it is in the program's folder, 2
// when it will never come.
EM_JS(int, web_file_state, (const char* path), { return Module.host.fileState(UTF8ToString(path)); });
// How many later packs have come in or failed so far.
EM_JS(std::uint32_t, web_arrivals, (), { return Module.host.arrivals() >>> 0; });
EM_JS(void, web_late_progress, (std::uint32_t done, std::uint32_t total), {
  Module.host.lateProgress(done >>> 0, total >>> 0);
});
EM_JS(void, web_files_ready, (), { Module.host.filesReady(); });
// clang-format on

bool alive(const plat_surface* surface) {
  return std::find(live_surfaces.begin(), live_surfaces.end(), surface) != live_surfaces.end();
}

// One step of bringing in an arrived picture; true once it is all in. A
// file that came broken, or is not of the size its pack's listing gave,
// leaves its picture black, as a missing file leaves its slot empty.
bool step_picture(late_picture* p) {
  if (!alive(p->surface))
    return true;
  plat_surface* surface = p->surface;
  if (!p->read) {
    // Its shape is judged once, with the read; the bands then only decode.
    p->read = true;
    bmp_shape shape;
    return !read_picture_file(p->path.c_str(), &p->bytes, nullptr) ||
           !bmp_shape_of(p->bytes.data(), p->bytes.size(), surface->layout, &shape, nullptr) ||
           shape.width != surface->width || shape.height != surface->height;
  }
  if (!decode_bmp_band(p->bytes.data(), p->bytes.size(), surface->layout, band_rows, surface_row(surface, 0),
                       static_cast<std::uint32_t>(surface->pitch) / 2, &p->decoded, nullptr)) {
    // Broken part way: black again, as if it had been refused whole.
    std::fill(surface->memory.begin(), surface->memory.end(), std::uint16_t{0});
    return true;
  }
  return p->decoded.done;
}

// Brings in what has arrived until the deadline; true when it stopped with
// arrived pictures left over.
bool bring_in_pictures(double deadline) {
  bool first = true;
  for (auto it = late_pictures.begin(); it != late_pictures.end();) {
    const web::file_arrival state = web::file_state(it->path.c_str());
    if (state == web::file_coming) {
      ++it;
      continue;
    }
    for (bool done = state != web::file_here; !done;) {
      if (!first && emscripten_get_now() >= deadline)
        return true;
      first = false;
      done = step_picture(&*it);
    }
    ++pictures_in;
    it = late_pictures.erase(it);
  }
  return false;
}

}  // namespace

plat_surface* plat_load_picture(plat_display* device, const char* file_name) {
  if (!device)
    return nullptr;
  std::string path;
  if (!sjis_path(file_name, &path))
    return nullptr;
  decoded_picture picture;
  if (decode_bmp_file(path.c_str(), device->layout, &picture, nullptr))
    return picture_surface(device->layout, picture);
  std::uint32_t size[2] = {0, 0};
  if (!web_picture_coming(path.c_str(), size))
    return nullptr;
  plat_surface* surface = create_surface(device->layout, size[0], size[1]);
  if (!surface)
    return nullptr;
  surface->has_colour_key = true;
  surface->colour_key = 0;
  late_picture late;
  late.surface = surface;
  late.path = path;
  late_pictures.push_back(std::move(late));
  return surface;
}

namespace web {

file_arrival file_state(const char* path) {
  switch (web_file_state(path)) {
    case 0:
      return file_coming;
    case 1:
      return file_here;
    default:
      return file_never;
  }
}

void bring_in_late_files() {
  if (ready_told)
    return;
  // Nothing new since a pass that left nothing to do.
  const std::uint32_t arrivals = web_arrivals();
  if (checked && arrivals == seen_arrivals && !cut_short)
    return;
  checked = true;
  seen_arrivals = arrivals;
  const double deadline = emscripten_get_now() + unpack_budget_ms;
  const bool pictures_left = bring_in_pictures(deadline);
  const bool sounds_done = bring_in_late_sounds(deadline);
  cut_short = pictures_left || !sounds_done;
  web_late_progress(pictures_in, pictures_in + static_cast<std::uint32_t>(late_pictures.size()));
  if (late_pictures.empty() && sounds_done) {
    ready_told = true;
    web_files_ready();
  }
}

}  // namespace web

}  // namespace shindan
