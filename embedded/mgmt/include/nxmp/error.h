// Error: the error state every platform object carries (Platform, Image,
// Album). A failing operation sets it and reports false; the caller reads
// and resets it. InvalidX: what the library throws for misuse it cannot
// report through a result (a bad event pointer).
#pragma once

#include <exception>
#include <string>

class Error {
 public:
  // Non-zero after a failure, until reset_error.
  int get_error_type() const { return error_type_; }
  const std::string& get_error_text() const { return error_text_; }
  void reset_error() {
    error_type_ = 0;
    error_text_.clear();
  }

  // Error kinds.
  static constexpr int NOT_CONNECTED = 1;
  static constexpr int BAD_NAME = 2;
  static constexpr int NO_SUCH_OBJECT = 3;
  static constexpr int BAD_VALUE = 4;
  static constexpr int NOT_ALLOWED = 5;
  static constexpr int DATABASE = 6;

 protected:
  bool fail(int type, std::string text) {
    error_type_ = type;
    error_text_ = std::move(text);
    return false;
  }

 private:
  int error_type_ = 0;
  std::string error_text_;
};

// Texts of catalog set 85 of the platform's message catalog.
class InvalidX : public std::exception {
 public:
  static constexpr int SET = 85;
  static constexpr int EVENT_FREED = 202;
  static constexpr int EVENT_BAD_POINTER = 203;

  InvalidX(int number, std::string text) : number_(number), text_(std::move(text)) {}
  int number() const { return number_; }
  const char* what() const noexcept override { return text_.c_str(); }

 private:
  int number_;
  std::string text_;
};
