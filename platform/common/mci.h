// The MCI command-string interpreter for backends without WINMM: it parses
// the sequencer commands the program sends, keeps the device alias and the
// pending notification, and hands the real playing to a sequencer each
// backend supplies through the hooks below.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace shindan {

// Notification codes a window receives in its music_notify message.
constexpr std::uint32_t mci_notify_successful = 1;
constexpr std::uint32_t mci_notify_superseded = 2;
constexpr std::uint32_t mci_notify_aborted = 4;

// Error answers, numbered as the window system numbers them.
constexpr std::uint32_t mci_error_unrecognised_keyword = 259;
constexpr std::uint32_t mci_error_unrecognised_command = 261;
constexpr std::uint32_t mci_error_invalid_device_name = 263;
constexpr std::uint32_t mci_error_bad_parameter = 274;
constexpr std::uint32_t mci_error_file_not_found = 275;
constexpr std::uint32_t mci_error_device_open = 288;
constexpr std::uint32_t mci_error_duplicate_alias = 289;
constexpr std::uint32_t mci_error_param_overflow = 299;
constexpr std::uint32_t mci_error_no_closing_quote = 313;

// Runs one command string; plat_send_music_command of each backend calls it.
std::uint32_t mci_execute(const char* command, char* reply, std::uint32_t reply_size, plat_window* notify);
// The backend's sequencer reports that the tune has played to its end. Call
// it on the main thread (a backend whose audio runs elsewhere hands the
// event over first); the waiting window gets its successful notification.
void music_tune_ended();
// Forgets the open device and any pending notification, without telling the
// sequencer (for backends that reset between runs).
void mci_reset();

// ---- hooks every backend implements
// Opens the tune at path (host encoding); false when it cannot be read.
bool sequencer_open(const char* path);
void sequencer_seek_start();
// Plays from the current position; at the end of the tune the backend calls
// music_tune_ended, at once if the position already is the end.
void sequencer_play();
void sequencer_stop();
void sequencer_close();
bool sequencer_playing();
// Queues a music_notify message with this code for the window.
void music_post_notify(plat_window* window, std::uint32_t code);

}  // namespace shindan
