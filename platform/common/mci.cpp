// The sequencer device behind MCI command strings. One tune can be open at
// a time, under the alias its open command gives. A play with "notify"
// leaves a notification pending for its window: the window hears
// "successful" only when the tune really reaches its end, and "superseded"
// or "aborted" when a later command takes the play away first, so that a
// stopped or replaced tune is never taken for one that has finished.
#include "platform/common/mci.h"

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "platform/common/sjis.h"

namespace shindan {

namespace {

struct mci_device {
  bool open = false;
  std::string name;  // alias, or the path when no alias was given
  bool pending = false;
  plat_window* pending_window = nullptr;
};
mci_device device;

bool same_word(const std::string& a, const char* b) {
  const std::size_t n = std::strlen(b);
  if (a.size() != n)
    return false;
  for (std::size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// Splits at blanks; a word in double quotes may hold blanks and loses its
// quotes. False when a quote is never closed.
bool split(const char* command, std::vector<std::string>* words) {
  const char* p = command;
  while (*p) {
    while (*p == ' ' || *p == '\t')
      ++p;
    if (!*p)
      break;
    std::string word;
    if (*p == '"') {
      const char* close = std::strchr(p + 1, '"');
      if (!close)
        return false;
      word.assign(p + 1, close);
      p = close + 1;
    } else {
      while (*p && *p != ' ' && *p != '\t')
        word.push_back(*p++);
    }
    words->push_back(word);
  }
  return true;
}

void notify_pending(std::uint32_t code) {
  if (!device.pending)
    return;
  device.pending = false;
  music_post_notify(device.pending_window, code);
}

std::uint32_t answer(const char* text, char* reply, std::uint32_t reply_size) {
  if (!reply || reply_size == 0)
    return 0;
  const std::size_t n = std::strlen(text);
  if (n + 1 > reply_size) {
    std::memcpy(reply, text, reply_size - 1);
    reply[reply_size - 1] = '\0';
    return mci_error_param_overflow;
  }
  std::memcpy(reply, text, n + 1);
  return 0;
}

std::uint32_t open_device(const std::vector<std::string>& w, plat_window* notify, bool wants_notify) {
  if (w.size() < 2)
    return mci_error_bad_parameter;
  std::string alias;
  for (std::size_t i = 2; i < w.size(); ++i) {
    if (same_word(w[i], "type") && i + 1 < w.size()) {
      if (!same_word(w[++i], "sequencer"))
        return mci_error_bad_parameter;
    } else if (same_word(w[i], "alias") && i + 1 < w.size()) {
      alias = w[++i];
    } else if (!same_word(w[i], "wait") && !same_word(w[i], "notify")) {
      return mci_error_unrecognised_keyword;
    }
  }
  const std::string name = alias.empty() ? w[1] : alias;
  if (device.open)
    return same_word(device.name, name.c_str()) ? mci_error_duplicate_alias : mci_error_device_open;
  std::string path;
  if (!sjis_path(w[1].c_str(), &path) || !sequencer_open(path.c_str()))
    return mci_error_file_not_found;
  device.open = true;
  device.name = name;
  if (wants_notify && notify)
    music_post_notify(notify, mci_notify_successful);
  return 0;
}

}  // namespace

std::uint32_t mci_execute(const char* command, char* reply, std::uint32_t reply_size, plat_window* notify) {
  if (reply && reply_size > 0)
    reply[0] = '\0';
  if (!command)
    return mci_error_unrecognised_command;
  std::vector<std::string> w;
  if (!split(command, &w))
    return mci_error_no_closing_quote;
  if (w.empty())
    return mci_error_unrecognised_command;

  bool wants_notify = false;
  for (std::size_t i = 2; i < w.size(); ++i)
    if (same_word(w[i], "notify"))
      wants_notify = true;
  // A new request for notification supersedes the one still waiting.
  if (wants_notify)
    notify_pending(mci_notify_superseded);

  const std::string& verb = w[0];
  if (same_word(verb, "open"))
    return open_device(w, notify, wants_notify);

  if (!same_word(verb, "seek") && !same_word(verb, "play") && !same_word(verb, "stop") && !same_word(verb, "close") &&
      !same_word(verb, "status"))
    return mci_error_unrecognised_command;
  if (w.size() < 2)
    return mci_error_bad_parameter;
  if (!device.open || !same_word(w[1], device.name.c_str()))
    return mci_error_invalid_device_name;

  // The words after the device name, less the ones every command takes.
  std::vector<std::string> rest;
  for (std::size_t i = 2; i < w.size(); ++i)
    if (!same_word(w[i], "notify") && !same_word(w[i], "wait"))
      rest.push_back(w[i]);
  const bool notify_now = wants_notify && notify;

  if (same_word(verb, "status")) {
    if (rest.size() != 1 || !same_word(rest[0], "mode"))
      return mci_error_bad_parameter;
    const std::uint32_t r = answer(sequencer_playing() ? "playing" : "stopped", reply, reply_size);
    if (r == 0 && notify_now)
      music_post_notify(notify, mci_notify_successful);
    return r;
  }
  if (same_word(verb, "seek")) {
    if (rest.size() != 2 || !same_word(rest[0], "to") || !same_word(rest[1], "start"))
      return mci_error_bad_parameter;
    notify_pending(mci_notify_aborted);
    sequencer_seek_start();
  } else if (same_word(verb, "play")) {
    if (!rest.empty())
      return mci_error_bad_parameter;
    notify_pending(mci_notify_aborted);
    if (notify_now) {
      device.pending = true;
      device.pending_window = notify;
    }
    // The sequencer may report the end at once when it stands at the end.
    sequencer_play();
    return 0;
  } else if (same_word(verb, "stop")) {
    if (!rest.empty())
      return mci_error_bad_parameter;
    notify_pending(mci_notify_aborted);
    sequencer_stop();
  } else {  // close
    if (!rest.empty())
      return mci_error_bad_parameter;
    notify_pending(mci_notify_aborted);
    sequencer_close();
    device.open = false;
    device.name.clear();
  }
  if (notify_now)
    music_post_notify(notify, mci_notify_successful);
  return 0;
}

void music_tune_ended() {
  notify_pending(mci_notify_successful);
}

void mci_reset() {
  device = mci_device{};
}

}  // namespace shindan
