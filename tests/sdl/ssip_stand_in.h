// A stand-in speech server for the desktop build's tests: it speaks just
// enough SSIP, speech-dispatcher's protocol, on a Unix socket to take the
// game's words, and writes down what it was asked, one event a string:
// "language ja", "speak TEXT", "cancel", "quit". In its silent mode it
// takes the connection and never answers, as a hung server would.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace shindan::testing_ssip {

class stand_in {
 public:
  stand_in(const std::string& path, bool answers) : path_(path), answers_(answers) {
    ::unlink(path.c_str());
    listener_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ok_ = listener_ >= 0 && ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
          ::listen(listener_, 4) == 0;
    if (ok_)
      thread_ = std::thread([this] { serve(); });
  }
  ~stand_in() {
    stop_ = true;
    if (thread_.joinable())
      thread_.join();
    if (listener_ >= 0)
      ::close(listener_);
    ::unlink(path_.c_str());
  }
  bool listening() const { return ok_; }

  std::vector<std::string> events() {
    std::lock_guard<std::mutex> held(lock_);
    return events_;
  }
  // Waits, up to a generous limit, until the event has come.
  bool wait_for(const std::string& event) {
    for (int i = 0; i < 1000; ++i) {
      {
        std::lock_guard<std::mutex> held(lock_);
        if (std::find(events_.begin(), events_.end(), event) != events_.end())
          return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

 private:
  void note(const std::string& event) {
    std::lock_guard<std::mutex> held(lock_);
    events_.push_back(event);
  }
  static bool starts_with(const std::string& line, const char* word) {
    const std::size_t n = std::strlen(word);
    if (line.size() < n)
      return false;
    for (std::size_t i = 0; i < n; ++i)
      if (std::toupper(static_cast<unsigned char>(line[i])) != word[i])
        return false;
    return true;
  }
  void reply(int client, const std::string& text) {
    if (answers_)
      (void)!::write(client, text.data(), text.size());
  }
  // One command or, while a message is being received, one line of it.
  bool take_line(int client, const std::string& line) {
    if (receiving_) {
      if (line == ".") {
        receiving_ = false;
        note("speak " + message_);
        reply(client, "225-" + std::to_string(++message_id_) + "\r\n225 OK MESSAGE QUEUED\r\n");
      } else {
        // A line starting with a dot comes with the dot doubled.
        const std::string text = line.rfind("..", 0) == 0 ? line.substr(1) : line;
        message_ += (message_.empty() ? "" : "\n") + text;
      }
      return true;
    }
    if (starts_with(line, "SPEAK")) {
      receiving_ = true;
      message_.clear();
      reply(client, "230 OK RECEIVING DATA\r\n");
    } else if (starts_with(line, "SET SELF LANGUAGE ")) {
      std::string language = line.substr(18);
      language.erase(std::remove(language.begin(), language.end(), '"'), language.end());
      note("language " + language);
      reply(client, "201 OK LANGUAGE SET\r\n");
    } else if (starts_with(line, "CANCEL")) {
      note("cancel");
      reply(client, "213 OK CANCELED\r\n");
    } else if (starts_with(line, "QUIT")) {
      note("quit");
      reply(client, "231 HAPPY HACKING\r\n");
      return false;
    } else {
      // CLIENT_NAME, PRIORITY and whatever else the library sets.
      reply(client, "208 OK\r\n");
    }
    return true;
  }
  void serve() {
    while (!stop_) {
      pollfd waiting{listener_, POLLIN, 0};
      if (::poll(&waiting, 1, 50) <= 0)
        continue;
      const int client = ::accept(listener_, nullptr, nullptr);
      if (client < 0)
        continue;
      note("connected");
      std::string pending;
      bool open = true;
      while (open && !stop_) {
        pollfd readable{client, POLLIN, 0};
        if (::poll(&readable, 1, 50) <= 0)
          continue;
        char buffer[1024];
        const ssize_t n = ::read(client, buffer, sizeof buffer);
        if (n <= 0)
          break;
        pending.append(buffer, static_cast<std::size_t>(n));
        // Only CR LF ends a line.
        for (std::size_t end; open && (end = pending.find("\r\n")) != std::string::npos;) {
          const std::string line = pending.substr(0, end);
          pending.erase(0, end + 2);
          open = take_line(client, line);
        }
      }
      ::close(client);
      note("closed");
    }
  }

  std::string path_;
  bool answers_;
  int listener_ = -1;
  bool ok_ = false;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex lock_;
  std::vector<std::string> events_;
  bool receiving_ = false;
  std::string message_;
  int message_id_ = 0;
};

}  // namespace shindan::testing_ssip
