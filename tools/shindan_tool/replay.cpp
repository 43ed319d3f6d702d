// Scripted replays on the headless platform. The game runs through the real
// start-up, loop turns and window handlers; only the clock and the keys come
// from the script, so the same script gives the same frames every time.
#include "tools/shindan_tool/replay.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "app/frame.h"
#include "app/shell.h"
#include "app/transitions.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "platform/common/frame_png.h"
#include "platform/common/sjis.h"
#include "platform/headless/headless.h"
#include "sound/sound.h"

namespace shindan {

namespace {

std::string utf8(const std::string& sjis) {
  return sjis_to_utf8(sjis.data(), sjis.size());
}

// Which sound slot a recorded sound belongs to; sounds are numbered as the
// platform makes them, and only the first frame's loading makes any.
int slot_of_sound(replay_session* session, int sound) {
  if (session->sound_slots.empty()) {
    for (int slot = 0; slot < sound_slot_count; ++slot) {
      if (audio.sounds[slot] == nullptr)
        continue;
      const int number = headless::sound_number(audio.sounds[slot]);
      if (number <= 0)
        continue;
      if (static_cast<std::size_t>(number) >= session->sound_slots.size()) {
        session->sound_slots.resize(static_cast<std::size_t>(number) + 1, -1);
      }
      session->sound_slots[static_cast<std::size_t>(number)] = slot;
    }
  }
  if (sound < 0 || static_cast<std::size_t>(sound) >= session->sound_slots.size())
    return -1;
  return session->sound_slots[static_cast<std::size_t>(sound)];
}

const char* sound_file_of_slot(int slot) {
  for (const sound_asset& asset : sound_assets) {
    if (asset.slot == slot)
      return asset.file_name;
  }
  return "?";
}

// Adds what happened since the last look to the log, stamped with the frame
// it happened in (or, for messages handled between frames, the frame before).
// Within one frame the three kinds are listed one after another.
void collect_events(replay_session* session) {
  const auto& boxes = headless::message_boxes();
  const auto& records = headless::sound_records();
  const auto& calls = headless::tune_calls();
  const auto& speech = headless::speech_records();
  if (!session->options.log) {
    session->boxes_seen = boxes.size();
    session->sounds_seen = records.size();
    session->tune_calls_seen = calls.size();
    session->speech_seen = speech.size();
    return;
  }
  const std::string stamp = "frame " + std::to_string(session->frames) + ": ";
  for (; session->boxes_seen < boxes.size(); ++session->boxes_seen) {
    const headless::message_box_record& box = boxes[session->boxes_seen];
    session->log += stamp + "message [" + (box.has_caption ? utf8(box.caption) : std::string("(default)")) + "] " +
                    utf8(box.text) + "\n";
  }
  for (; session->sounds_seen < records.size(); ++session->sounds_seen) {
    const headless::sound_record& record = records[session->sounds_seen];
    if (record.action != headless::sound_action::play)
      continue;
    const int slot = slot_of_sound(session, record.sound);
    session->log += stamp + "sound " + std::to_string(slot) + " " + sound_file_of_slot(slot) + "\n";
  }
  for (; session->tune_calls_seen < calls.size(); ++session->tune_calls_seen) {
    session->log += stamp + "tune " + calls[session->tune_calls_seen] + "\n";
  }
  // Only what a voice would have said: words sent while speech is off are
  // for the page's screen-reader text alone.
  for (; session->speech_seen < speech.size(); ++session->speech_seen) {
    const headless::speech_record& record = speech[session->speech_seen];
    if (!record.aloud)
      continue;
    session->log += stamp + (record.text.empty() ? std::string("hush") : "speak " + record.text) + "\n";
  }
}

}  // namespace

bool replay_start(replay_session* session, const replay_options& options) {
  *session = replay_session{};
  session->options = options;
  headless::reset();
  headless::use_555(options.five_five_five);
  headless::want_speech(options.speech);
  headless::set_tick(0);
  reset_program_state();
  const start_result started = start_program();
  collect_events(session);
  session->running = started == start_result::quit;
  return session->running;
}

bool replay_frame(replay_session* session) {
  if (!session->running)
    return false;
  headless::set_tick(headless::tick() + session->options.frame_ms);
  for (;;) {
    const loop_turn turn = run_loop_turn();
    if (turn == loop_turn::frame) {
      ++session->frames;
      collect_events(session);
      return true;
    }
    collect_events(session);
    if (turn == loop_turn::quit) {
      session->running = false;
      session->quit = true;
      return false;
    }
  }
}

void replay_key(replay_session*, plat_key key, bool down) {
  headless::set_key(key, down);
}

void replay_escape(replay_session* session) {
  if (session->running)
    headless::post_close();
}

void replay_speech_key(replay_session* session) {
  if (session->running)
    headless::post_speech_toggle();
}

void replay_finish(replay_session* session) {
  if (!session->running)
    return;
  const bool logging = session->options.log;
  session->options.log = false;
  headless::post_close();
  // The close tears the program down and ends the loop.
  for (int turns = 0; turns < 16; ++turns) {
    const loop_turn turn = run_loop_turn();
    collect_events(session);
    if (turn == loop_turn::quit)
      break;
  }
  session->options.log = logging;
  session->running = false;
}

std::string replay_summary(const replay_session& session) {
  std::string text = "frames: " + std::to_string(session.frames) + "\n";
  for (int set = 0; set < 2; ++set) {
    text += set == 0 ? "normal:" : "shift:";
    for (int t = 0; t < trait_count; ++t) {
      text += ' ';
      text += std::to_string(scoring.trait_scores[t][set]);
    }
    text += "\n";
  }
  text += "round: " + std::to_string(scenes.round_number) + "\n";
  return text;
}

std::uint32_t screen_rgb(std::int32_t x, std::int32_t y, bool five_five_five) {
  const std::vector<std::uint16_t>& pixels = headless::screen();
  const std::size_t index = static_cast<std::size_t>(y) * screen_width + static_cast<std::size_t>(x);
  if (x < 0 || y < 0 || x >= screen_width || y >= screen_height || index >= pixels.size())
    return 0;
  return frame_pixel_rgb(pixels[index], five_five_five);
}

bool write_screen_png(const std::string& path, bool five_five_five) {
  const std::vector<std::uint16_t>& pixels = headless::screen();
  if (pixels.size() < static_cast<std::size_t>(screen_width) * screen_height)
    return false;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr)
    return false;
  const bool encoded =
      write_frame_png(file, pixels.data(), screen_width * 2, screen_width, screen_height, five_five_five);
  return std::fclose(file) == 0 && encoded;
}

namespace {

enum class command_kind : std::uint8_t {
  frames,
  down,
  up,
  tap,
  ms,
  until_title,
  until_answering,
  until_analysis,
  shot
};

struct script_key {
  plat_key key = plat_key::space;
  bool escape = false;
  bool speech = false;  // V, the speech switch
};

struct script_command {
  int line = 0;
  command_kind kind = command_kind::frames;
  long long number = 0;  // frames, ms, step
  script_key key;
  long long max = 10000;
  std::string file;
};

bool parse_number(const std::string& word, long long low, long long high, long long* value) {
  if (word.empty())
    return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(word.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < low || v > high)
    return false;
  *value = v;
  return true;
}

bool parse_key(const std::string& word, script_key* key) {
  static const struct {
    const char* name;
    script_key key;
  } keys[] = {{"space", {plat_key::space, false}},  {"shift", {plat_key::shift, false}},
              {"enter", {plat_key::enter, false}},  {"up", {plat_key::up, false}},
              {"down", {plat_key::down, false}},    {"esc", {plat_key::enter, true}},
              {"v", {plat_key::enter, false, true}}};
  for (const auto& k : keys) {
    if (word == k.name) {
      *key = k.key;
      return true;
    }
  }
  return false;
}

// Esc and V are no keys the game polls: pressing Esc asks the program to
// close, pressing V switches speech.
void press(replay_session* session, const script_key& key, bool down) {
  if (key.speech) {
    if (down)
      replay_speech_key(session);
  } else if (!key.escape) {
    replay_key(session, key.key, down);
  } else if (down) {
    replay_escape(session);
  }
}

// Reads one line's words into a command; on failure says why.
bool parse_line(const std::vector<std::string>& w, script_command* c, std::string* why) {
  const std::string& verb = w[0];
  std::size_t used = 0;
  if (verb == "frames" || verb == "ms") {
    c->kind = verb == "frames" ? command_kind::frames : command_kind::ms;
    if (w.size() < 2 || !parse_number(w[1], 0, 100000000, &c->number)) {
      *why = verb + " needs a count";
      return false;
    }
    used = 2;
  } else if (verb == "down" || verb == "up" || verb == "tap") {
    c->kind = verb == "down" ? command_kind::down : verb == "up" ? command_kind::up : command_kind::tap;
    if (w.size() < 2 || !parse_key(w[1], &c->key)) {
      *why = verb + " needs a key: space shift enter up down esc v";
      return false;
    }
    used = 2;
  } else if (verb == "shot") {
    c->kind = command_kind::shot;
    if (w.size() < 2) {
      *why = "shot needs a file name";
      return false;
    }
    c->file = w[1];
    used = 2;
  } else if (verb == "until") {
    if (w.size() >= 2 && w[1] == "answering") {
      c->kind = command_kind::until_answering;
      used = 2;
    } else if (w.size() >= 3 && (w[1] == "title" || w[1] == "analysis")) {
      c->kind = w[1] == "title" ? command_kind::until_title : command_kind::until_analysis;
      if (!parse_number(w[2], 0, w[1] == "title" ? 17 : 24, &c->number)) {
        *why = "until " + w[1] + " needs a step number";
        return false;
      }
      used = 3;
    } else {
      *why = "until needs: title STEP, answering or analysis STEP";
      return false;
    }
    if (w.size() >= used + 1 && w[used] == "max") {
      if (w.size() < used + 2 || !parse_number(w[used + 1], 0, 100000000, &c->max)) {
        *why = "max needs a frame count";
        return false;
      }
      used += 2;
    }
  } else {
    *why = "unknown command '" + verb + "'";
    return false;
  }
  if (w.size() != used) {
    *why = "unexpected '" + w[used] + "'";
    return false;
  }
  return true;
}

bool until_reached(const script_command& c) {
  switch (c.kind) {
    case command_kind::until_title:
      return scenes.title_active == 1 && scenes.title_step == c.number;
    case command_kind::until_answering:
      return scenes.question_active == 1 && questions.answer_active == 1;
    case command_kind::until_analysis:
      return scenes.analysis_active == 1 && scenes.analysis_step == c.number;
    default:
      return true;
  }
}

std::string line_error(int line, const std::string& why) {
  return "line " + std::to_string(line) + ": " + why;
}

}  // namespace

replay_result run_replay_script(const std::string& script, const replay_options& options) {
  replay_result result;

  // The whole script is read first, so a mistake is found before anything runs.
  std::vector<script_command> commands;
  std::istringstream lines(script);
  std::string text;
  for (int number = 1; std::getline(lines, text); ++number) {
    const std::size_t hash = text.find('#');
    if (hash != std::string::npos)
      text.resize(hash);
    std::istringstream words(text);
    std::vector<std::string> w;
    for (std::string word; words >> word;)
      w.push_back(word);
    if (w.empty())
      continue;
    script_command c;
    c.line = number;
    std::string why;
    if (!parse_line(w, &c, &why)) {
      result.status = 2;
      result.error = line_error(number, why);
      return result;
    }
    commands.push_back(c);
  }

  replay_session session;
  if (!replay_start(&session, options)) {
    result.status = 1;
    result.output = session.log;
    result.error = "the program did not start";
    replay_finish(&session);
    return result;
  }

  for (const script_command& c : commands) {
    if (!session.running)
      break;
    switch (c.kind) {
      case command_kind::frames:
        for (long long i = 0; i < c.number && replay_frame(&session); ++i) {
        }
        break;
      case command_kind::down:
        press(&session, c.key, true);
        break;
      case command_kind::up:
        press(&session, c.key, false);
        break;
      case command_kind::tap:
        press(&session, c.key, true);
        if (replay_frame(&session)) {
          press(&session, c.key, false);
          replay_frame(&session);
        }
        break;
      case command_kind::ms:
        session.options.frame_ms = static_cast<std::uint32_t>(c.number);
        break;
      case command_kind::until_title:
      case command_kind::until_answering:
      case command_kind::until_analysis: {
        long long ran = 0;
        while (session.running && !until_reached(c)) {
          if (ran >= c.max) {
            result.status = 2;
            result.error = line_error(c.line, "not reached within " + std::to_string(c.max) + " frames");
            break;
          }
          replay_frame(&session);
          ++ran;
        }
        break;
      }
      case command_kind::shot:
        if (!write_screen_png(c.file, options.five_five_five)) {
          result.status = 2;
          result.error = line_error(c.line, "cannot write " + c.file);
        }
        break;
    }
    if (result.status != 0)
      break;
  }

  result.output = session.log + replay_summary(session);
  replay_finish(&session);
  return result;
}

}  // namespace shindan
