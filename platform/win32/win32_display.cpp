// The display on DirectDraw: exclusive full screen at 640x480 with 16 bits per
// pixel, a primary surface with one back buffer, picture surfaces loaded
// through GDI and keyed through a device context, the keyed and stretched
// blits, surface locks and GDI text.
//
// The platform's opaque handles are the DirectDraw interfaces themselves:
// plat_display is an IDirectDraw2, plat_surface an IDirectDrawSurface3.
#include <cstddef>

#include "platform/win32/win32.h"

namespace shindan {

namespace {

constexpr DWORD display_width = 640;
constexpr DWORD display_height = 480;
constexpr DWORD display_bits = 16;
constexpr LONG widest_picture = 640;

IDirectDraw2* to_device(plat_display* device) {
  return reinterpret_cast<IDirectDraw2*>(device);
}
IDirectDrawSurface3* to_surface(plat_surface* surface) {
  return reinterpret_cast<IDirectDrawSurface3*>(surface);
}
plat_surface* from_surface(IDirectDrawSurface3* surface) {
  return reinterpret_cast<plat_surface*>(surface);
}

RECT to_rect(const plat_rect& rect) {
  return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

bool is_inverted(const plat_rect& rect) {
  return rect.right < rect.left || rect.bottom < rect.top;
}
bool is_empty(const plat_rect& rect) {
  return rect.right <= rect.left || rect.bottom <= rect.top;
}

// The records handed to DirectDraw and GDI have the sizes the 32-bit systems
// the game was made for expect; the 64-bit build's differ only by its wider
// pointers, which a 64-bit system expects in turn.
#ifndef _WIN64
static_assert(sizeof(DDSURFACEDESC) == 108, "surface description of 32-bit DirectDraw");
static_assert(sizeof(DDBLTFX) == 100, "blit effects of 32-bit DirectDraw");
static_assert(sizeof(BITMAP) == 24, "bitmap record of 32-bit GDI");
#endif
// The headers' DDCAPS is DirectX 7's, longer than the capability record the
// program was written against; DirectDraw fills the version its dwSize names,
// so the older record is passed as it is.
using display_caps = DDCAPS_DX5;
static_assert(sizeof(display_caps) == 364, "capability record of DirectX 5");
// The font record is the wide form of the 60-byte LOGFONTA, so that the
// Japanese face name resolves on any code page: the same fields up to the face
// name, which holds 32 wide characters instead of 32 bytes.
static_assert(offsetof(LOGFONTW, lfFaceName) == offsetof(LOGFONTA, lfFaceName) && sizeof(LOGFONTA) == 60 &&
                  sizeof(LOGFONTW) == sizeof(LOGFONTA) + LF_FACESIZE,
              "wide font record");

DDSURFACEDESC empty_surface_description() {
  DDSURFACEDESC description = {};
  description.dwSize = sizeof(description);
  return description;
}

// Turns a first-version surface into the third-version interface the program
// works with, dropping the first interface's reference either way.
IDirectDrawSurface3* third_surface_interface(IDirectDrawSurface* surface) {
  IDirectDrawSurface3* third = nullptr;
  const HRESULT result = surface->QueryInterface(IID_IDirectDrawSurface3, reinterpret_cast<void**>(&third));
  surface->Release();
  return SUCCEEDED(result) ? third : nullptr;
}

}  // namespace

BOOL WINAPI choose_display_device(GUID* guid, LPSTR, LPSTR, LPVOID context) {
  IDirectDraw** chosen = static_cast<IDirectDraw**>(context);
  IDirectDraw* device = nullptr;
  if (FAILED(DirectDrawCreate(guid, &device, nullptr))) {
    *chosen = nullptr;
    return DDENUMRET_OK;
  }
  display_caps driver_caps = {};
  driver_caps.dwSize = sizeof(driver_caps);
  display_caps emulation_caps = {};
  emulation_caps.dwSize = sizeof(emulation_caps);
  const HRESULT result =
      device->GetCaps(reinterpret_cast<DDCAPS*>(&driver_caps), reinterpret_cast<DDCAPS*>(&emulation_caps));
  if (SUCCEEDED(result) && (driver_caps.dwCaps & DDCAPS_3D) != 0 &&
      (driver_caps.ddsCaps.dwCaps & DDSCAPS_TEXTURE) != 0) {
    *chosen = device;
    return DDENUMRET_CANCEL;
  }
  *chosen = nullptr;
  device->Release();
  return DDENUMRET_OK;
}

plat_display_stage plat_open_display(plat_display_objects* objects) {
  IDirectDraw* candidate = nullptr;
  DirectDrawEnumerateA(choose_display_device, &candidate);
  if (candidate == nullptr && FAILED(DirectDrawCreate(nullptr, &candidate, nullptr))) {
    return plat_display_stage::no_device;
  }
  // Until the second interface is held, nobody else can reach the candidate,
  // so it is released here on failure rather than leaked.
  if (FAILED(candidate->SetCooperativeLevel(main_window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE))) {
    candidate->Release();
    return plat_display_stage::no_exclusive_mode;
  }
  IDirectDraw2* device = nullptr;
  const HRESULT query = candidate->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&device));
  candidate->Release();
  if (FAILED(query)) {
    return plat_display_stage::no_device_interface;
  }
  objects->device = reinterpret_cast<plat_display*>(device);

  if (FAILED(device->SetDisplayMode(display_width, display_height, display_bits, 0, 0))) {
    return plat_display_stage::no_display_mode;
  }

  DDSURFACEDESC description = empty_surface_description();
  description.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
  description.dwBackBufferCount = 1;
  IDirectDrawSurface* first = nullptr;
  if (FAILED(device->CreateSurface(&description, &first, nullptr))) {
    return plat_display_stage::no_primary_surface;
  }
  IDirectDrawSurface3* primary = third_surface_interface(first);
  if (primary == nullptr) {
    return plat_display_stage::no_surface_interface;
  }
  objects->primary_surface = from_surface(primary);

  DDSCAPS back_caps = {};
  back_caps.dwCaps = DDSCAPS_BACKBUFFER;
  IDirectDrawSurface3* back = nullptr;
  if (FAILED(primary->GetAttachedSurface(&back_caps, &back))) {
    return plat_display_stage::no_back_buffer;
  }
  objects->back_buffer = from_surface(back);
  return plat_display_stage::ready;
}

void plat_close_display(const plat_display_objects& objects) {
  if (objects.device == nullptr) {
    return;
  }
  // The back buffer belongs to the primary's flip chain and goes with it.
  if (objects.primary_surface != nullptr) {
    to_surface(objects.primary_surface)->Release();
  }
  IDirectDraw2* device = to_device(objects.device);
  device->RestoreDisplayMode();
  device->SetCooperativeLevel(main_window, DDSCL_NORMAL);
  device->Release();
}

void plat_flip_to_desktop(plat_display* device) {
  if (device != nullptr) {
    to_device(device)->FlipToGDISurface();
  }
}

plat_surface* plat_load_picture(plat_display* device, const char* file_name) {
  if (device == nullptr || file_name == nullptr) {
    return nullptr;
  }
  const std::wstring wide_name = wide_from_sjis(file_name);
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageW(nullptr, wide_name.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  if (bitmap == nullptr) {
    return nullptr;
  }
  BITMAP info = {};
  GetObjectA(bitmap, sizeof(info), &info);
  // Sprite sheets are stacked vertically, so only the width is capped.
  const LONG width = info.bmWidth <= widest_picture ? info.bmWidth : widest_picture;
  const LONG height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;

  DDSURFACEDESC description = empty_surface_description();
  description.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  description.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  description.dwWidth = static_cast<DWORD>(width);
  description.dwHeight = static_cast<DWORD>(height);
  IDirectDrawSurface* first = nullptr;
  if (width <= 0 || height <= 0 || FAILED(to_device(device)->CreateSurface(&description, &first, nullptr))) {
    DeleteObject(bitmap);
    return nullptr;
  }
  IDirectDrawSurface3* surface = third_surface_interface(first);
  if (surface == nullptr) {
    DeleteObject(bitmap);
    return nullptr;
  }

  // GDI converts the bitmap's pixels to the surface's 16-bit format.
  HDC memory = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  HDC target = nullptr;
  const bool copied = SUCCEEDED(surface->GetDC(&target));
  if (copied) {
    BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    surface->ReleaseDC(target);
  }
  SelectObject(memory, previous);
  DeleteDC(memory);
  DeleteObject(bitmap);
  if (!copied) {
    // Without the copy the surface would show whatever its memory held.
    surface->Release();
    return nullptr;
  }
  return from_surface(surface);
}

namespace {

// The raw value a GDI colour takes in the surface's pixel format: GDI writes
// the colour into the first pixel, the pixel is read back through a lock,
// and the picture's own first pixel is put back. 0xFFFFFFFF when the surface
// cannot be locked.
std::uint32_t match_colour(IDirectDrawSurface3* surface, COLORREF colour) {
  std::uint32_t result = 0xFFFFFFFFu;
  COLORREF saved = 0;
  HDC dc = nullptr;
  const bool swapped = SUCCEEDED(surface->GetDC(&dc));
  if (swapped) {
    saved = GetPixel(dc, 0, 0);
    SetPixel(dc, 0, 0, colour);
    surface->ReleaseDC(dc);
  }

  DDSURFACEDESC description = empty_surface_description();
  HRESULT locking;
  do {
    locking = surface->Lock(nullptr, &description, 0, nullptr);
  } while (locking == DDERR_WASSTILLDRAWING);
  if (SUCCEEDED(locking)) {
    const std::uint32_t bit_count = description.ddpfPixelFormat.dwRGBBitCount;
    // Only the first pixel's own bytes are read: a one-pixel surface may end
    // right after them.
    if (description.lpSurface != nullptr && description.dwWidth > 0 && description.dwHeight > 0) {
      std::uint32_t bytes = (bit_count + 7) / 8;
      if (bytes > 4) {
        bytes = 4;
      }
      const auto* first = static_cast<const std::uint8_t*>(description.lpSurface);
      std::uint32_t word = 0;
      for (std::uint32_t i = 0; i < bytes; ++i) {
        word |= static_cast<std::uint32_t>(first[i]) << (8 * i);
      }
      if (bit_count < 32) {
        word &= (1u << bit_count) - 1u;
      }
      result = word;
    }
    surface->Unlock(nullptr);
  }

  if (swapped && SUCCEEDED(surface->GetDC(&dc))) {
    SetPixel(dc, 0, 0, saved);
    surface->ReleaseDC(dc);
  }
  return result;
}

}  // namespace

plat_result plat_set_colour_key(plat_surface* picture, std::uint32_t colour) {
  if (picture == nullptr) {
    return plat_result::failed;
  }
  const std::uint32_t raw_key = match_colour(to_surface(picture), colour);
  DDCOLORKEY key = {};
  key.dwColorSpaceLowValue = raw_key;
  key.dwColorSpaceHighValue = raw_key;
  return to_result(to_surface(picture)->SetColorKey(DDCKEY_SRCBLT, &key));
}

void plat_release_surface(plat_surface* surface) {
  if (surface != nullptr) {
    to_surface(surface)->Release();
  }
}

plat_result plat_describe(plat_surface* surface, plat_pixels* info) {
  DDSURFACEDESC description = empty_surface_description();
  const HRESULT result = to_surface(surface)->GetSurfaceDesc(&description);
  if (FAILED(result)) {
    return to_result(result);
  }
  info->pixels = nullptr;
  info->width = description.dwWidth;
  info->height = description.dwHeight;
  info->pitch = description.lPitch;
  info->bit_count = description.ddpfPixelFormat.dwRGBBitCount;
  info->red_mask = description.ddpfPixelFormat.dwRBitMask;
  info->green_mask = description.ddpfPixelFormat.dwGBitMask;
  info->blue_mask = description.ddpfPixelFormat.dwBBitMask;
  return plat_result::ok;
}

plat_result plat_restore_surface(plat_surface* surface) {
  return to_result(to_surface(surface)->Restore());
}

// Waits out a blit still pending on the surface rather than answering it.
plat_result plat_lock(plat_surface* surface, plat_pixels* locked) {
  DDSURFACEDESC description = empty_surface_description();
  const HRESULT result = to_surface(surface)->Lock(nullptr, &description, DDLOCK_WAIT, nullptr);
  if (FAILED(result)) {
    return to_result(result);
  }
  locked->pixels = description.lpSurface;
  locked->pitch = description.lPitch;
  locked->width = description.dwWidth;
  locked->height = description.dwHeight;
  locked->bit_count = description.ddpfPixelFormat.dwRGBBitCount;
  locked->red_mask = description.ddpfPixelFormat.dwRBitMask;
  locked->green_mask = description.ddpfPixelFormat.dwGBitMask;
  locked->blue_mask = description.ddpfPixelFormat.dwBBitMask;
  return plat_result::ok;
}

void plat_unlock(plat_surface* surface) {
  to_surface(surface)->Unlock(nullptr);
}

plat_result plat_fill(plat_surface* surface, const plat_rect& rect, std::uint32_t raw_colour) {
  DDBLTFX effects = {};
  effects.dwSize = sizeof(effects);
  effects.dwFillColor = raw_colour;
  RECT target = to_rect(rect);
  return to_result(to_surface(surface)->Blt(&target, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &effects));
}

plat_result plat_copy_keyed(plat_surface* target, std::int32_t x, std::int32_t y, plat_surface* source,
                            const plat_rect& src_rect) {
  // Drivers differ on empty rectangles (some answer an error, some take the
  // whole surface); an empty region simply copies nothing.
  if (is_inverted(src_rect) || x < 0 || y < 0) {
    return plat_result::failed;
  }
  if (is_empty(src_rect)) {
    return plat_result::ok;
  }
  RECT region = to_rect(src_rect);
  return to_result(to_surface(target)->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), to_surface(source),
                                               &region, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT));
}

plat_result plat_copy_keyed_stretched(plat_surface* target, const plat_rect& dst_rect, plat_surface* source,
                                      const plat_rect& src_rect) {
  if (is_inverted(dst_rect) || is_inverted(src_rect)) {
    return plat_result::failed;
  }
  if (is_empty(dst_rect) || is_empty(src_rect)) {
    return plat_result::ok;
  }
  RECT destination = to_rect(dst_rect);
  RECT region = to_rect(src_rect);
  return to_result(
      to_surface(target)->Blt(&destination, to_surface(source), &region, DDBLT_KEYSRC | DDBLT_WAIT, nullptr));
}

plat_result plat_present(const plat_display_objects& objects) {
  if (objects.primary_surface == nullptr || objects.back_buffer == nullptr) {
    return plat_result::failed;
  }
  RECT screen = {0, 0, static_cast<LONG>(display_width), static_cast<LONG>(display_height)};
  return to_result(
      to_surface(objects.primary_surface)->BltFast(0, 0, to_surface(objects.back_buffer), &screen, DDBLTFAST_WAIT));
}

// The face name and the text are Shift-JIS; the wide font and text functions
// take them converted, so the face is found and the glyphs are right whatever
// the machine's own code page is. A Japanese Windows draws the same as with
// the ANSI functions.
void plat_draw_text(plat_surface* surface, const plat_font_request& font, std::int32_t x, std::int32_t y,
                    std::uint32_t colour, const char* text, std::uint32_t length) {
  HDC dc = nullptr;
  if (surface == nullptr || FAILED(to_surface(surface)->GetDC(&dc))) {
    return;
  }
  LOGFONTW* description = static_cast<LOGFONTW*>(GlobalAlloc(GPTR, sizeof(LOGFONTW)));
  if (description == nullptr) {
    to_surface(surface)->ReleaseDC(dc);
    return;
  }
  description->lfHeight = font.height;
  description->lfWeight = font.weight;
  description->lfCharSet = SHIFTJIS_CHARSET;
  const std::wstring face = wide_from_sjis(font.face);
  lstrcpynW(description->lfFaceName, face.c_str(), LF_FACESIZE);

  HFONT created = CreateFontIndirectW(description);
  HGDIOBJ previous = SelectObject(dc, created);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour);
  const std::wstring wide_text = wide_from_sjis(text, static_cast<int>(length));
  if (!wide_text.empty()) {
    TextOutW(dc, x, y, wide_text.c_str(), static_cast<int>(wide_text.size()));
  }
  SelectObject(dc, previous);
  DeleteObject(created);
  to_surface(surface)->ReleaseDC(dc);
  GlobalFree(description);
}

}  // namespace shindan
