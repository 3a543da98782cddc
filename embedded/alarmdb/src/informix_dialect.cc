#include "nxdb/informix_dialect.h"

#include <cctype>
#include <climits>
#include <vector>

#include "nxdb/value.h"

namespace {

using nxdb::Dialect;
using nxdb::Translation;

// A lexical token of the statement; begin/end index into the text.
struct Token {
  enum class Type { kWord, kNumber, kString, kQuoted, kSpace, kComment, kPunct };
  Type type;
  std::size_t begin;
  std::size_t end;
};

bool is_word_start(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool is_word_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
}

// Splits the text into tokens. String literals, quoted identifiers and
// comments are whole tokens so nothing inside them is ever rewritten.
bool tokenize(std::string_view s, std::vector<Token>& out, std::string& error) {
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n) {
    const std::size_t start = i;
    const char c = s[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      while (i < n && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
      out.push_back({Token::Type::kSpace, start, i});
    } else if (c == '\'' || c == '"') {
      // A doubled quote inside stands for one quote.
      ++i;
      bool closed = false;
      while (i < n) {
        if (s[i] == c) {
          if (i + 1 < n && s[i + 1] == c) {
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        ++i;
      }
      if (!closed) {
        error = "unterminated quoted text at offset " + std::to_string(start);
        return false;
      }
      out.push_back({c == '\'' ? Token::Type::kString : Token::Type::kQuoted, start, i});
    } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
      while (i < n && s[i] != '\n') ++i;
      out.push_back({Token::Type::kComment, start, i});
    } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
      std::size_t close = s.find("*/", i + 2);
      if (close == std::string_view::npos) {
        error = "unterminated comment at offset " + std::to_string(start);
        return false;
      }
      i = close + 2;
      out.push_back({Token::Type::kComment, start, i});
    } else if (c == '{') {
      // Informix brace comment.
      std::size_t close = s.find('}', i + 1);
      if (close == std::string_view::npos) {
        error = "unterminated comment at offset " + std::to_string(start);
        return false;
      }
      i = close + 1;
      out.push_back({Token::Type::kComment, start, i});
    } else if (is_word_start(c)) {
      while (i < n && is_word_char(s[i])) ++i;
      out.push_back({Token::Type::kWord, start, i});
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      while (i < n && (std::isdigit(static_cast<unsigned char>(s[i])) || s[i] == '.')) ++i;
      out.push_back({Token::Type::kNumber, start, i});
    } else {
      ++i;
      out.push_back({Token::Type::kPunct, start, i});
    }
  }
  return true;
}

class Cursor {
 public:
  Cursor(std::string_view s, const std::vector<Token>& tokens) : s_(s), tokens_(tokens) {}

  // Index of the next token at or after i that is not space or comment, or
  // tokens.size().
  std::size_t skip_blank(std::size_t i) const {
    while (i < tokens_.size() && (tokens_[i].type == Token::Type::kSpace ||
                                  tokens_[i].type == Token::Type::kComment)) {
      ++i;
    }
    return i;
  }
  std::string_view text(std::size_t i) const {
    return s_.substr(tokens_[i].begin, tokens_[i].end - tokens_[i].begin);
  }
  bool is_word(std::size_t i, const char* word) const {
    if (i >= tokens_.size() || tokens_[i].type != Token::Type::kWord) return false;
    std::string_view t = text(i);
    std::size_t k = 0;
    for (; k < t.size() && word[k] != '\0'; ++k) {
      if (std::toupper(static_cast<unsigned char>(t[k])) != word[k]) return false;
    }
    return k == t.size() && word[k] == '\0';
  }
  bool is_punct(std::size_t i, char c) const {
    return i < tokens_.size() && tokens_[i].type == Token::Type::kPunct && s_[tokens_[i].begin] == c;
  }
  std::size_t size() const { return tokens_.size(); }

 private:
  std::string_view s_;
  const std::vector<Token>& tokens_;
};

Translation error(std::string message) {
  Translation t;
  t.kind = Translation::Kind::kError;
  t.error = std::move(message);
  return t;
}

// SET LOCK MODE TO WAIT [n] / SET LOCK MODE TO NOT WAIT, optionally ended by
// ';'. Called when the statement starts with SET LOCK.
Translation lock_mode(const Cursor& c, std::size_t i) {
  const char* const kHead[] = {"SET", "LOCK", "MODE", "TO"};
  for (const char* word : kHead) {
    i = c.skip_blank(i);
    if (!c.is_word(i, word)) return error("malformed SET LOCK MODE statement");
    ++i;
  }
  Translation t;
  t.kind = Translation::Kind::kLockWait;
  i = c.skip_blank(i);
  if (c.is_word(i, "NOT")) {
    i = c.skip_blank(i + 1);
    if (!c.is_word(i, "WAIT")) return error("malformed SET LOCK MODE statement");
    t.lock_wait_seconds = 0;
    ++i;
  } else if (c.is_word(i, "WAIT")) {
    i = c.skip_blank(i + 1);
    t.lock_wait_seconds = -1;
    if (i < c.size() && !c.is_punct(i, ';')) {
      std::string_view digits = c.text(i);
      for (char d : digits) {
        if (!std::isdigit(static_cast<unsigned char>(d))) {
          return error("lock wait is not a whole number of seconds: " + std::string(digits));
        }
      }
      long long seconds = 0;
      for (char d : digits) {
        seconds = seconds * 10 + (d - '0');
        if (seconds > INT_MAX / 1000) seconds = INT_MAX / 1000;  // engines count milliseconds
      }
      t.lock_wait_seconds = static_cast<int>(seconds);
      ++i;
    }
  } else {
    return error("malformed SET LOCK MODE statement");
  }
  i = c.skip_blank(i);
  if (c.is_punct(i, ';')) i = c.skip_blank(i + 1);
  if (i != c.size()) return error("unexpected text after SET LOCK MODE statement");
  return t;
}

// Parses the DATETIME literal starting at token i (the word DATETIME). On
// success sets end to the token after SECOND and stored to the time text.
bool datetime_literal(std::string_view s, const std::vector<Token>& tokens, const Cursor& c,
                      std::size_t i, std::size_t& end, std::string& stored, std::string& why) {
  std::size_t open = c.skip_blank(i + 1);
  // The caller checked that '(' follows.
  std::size_t close = open + 1;
  while (close < tokens.size() && !c.is_punct(close, ')')) {
    Token::Type type = tokens[close].type;
    if (type == Token::Type::kString || type == Token::Type::kQuoted ||
        type == Token::Type::kComment || c.is_punct(close, '(')) {
      why = "malformed DATETIME literal";
      return false;
    }
    ++close;
  }
  if (close >= tokens.size()) {
    why = "unterminated DATETIME literal";
    return false;
  }
  std::size_t from = tokens[open].end;
  std::string_view inner = s.substr(from, tokens[close].begin - from);
  while (!inner.empty() && std::isspace(static_cast<unsigned char>(inner.front()))) inner.remove_prefix(1);
  while (!inner.empty() && std::isspace(static_cast<unsigned char>(inner.back()))) inner.remove_suffix(1);
  // yyyy-mm-dd hh:mm:ss exactly, checked through the digit form.
  std::string digits;
  if (inner.size() != 19 || inner[4] != '-' || inner[7] != '-' || inner[10] != ' ' ||
      inner[13] != ':' || inner[16] != ':') {
    why = "DATETIME literal is not yyyy-mm-dd hh:mm:ss: " + std::string(inner);
    return false;
  }
  for (std::size_t k = 0; k < inner.size(); ++k) {
    if (k != 4 && k != 7 && k != 10 && k != 13 && k != 16) digits += inner[k];
  }
  if (!nxdb::digits_to_stored_time(digits, stored)) {
    why = "DATETIME literal is not a valid time: " + std::string(inner);
    return false;
  }
  std::size_t k = close + 1;
  const char* const kQualifier[] = {"YEAR", "TO", "SECOND"};
  for (const char* word : kQualifier) {
    k = c.skip_blank(k);
    if (!c.is_word(k, word)) {
      why = "only DATETIME ... YEAR TO SECOND is supported";
      return false;
    }
    ++k;
  }
  end = k;
  return true;
}

std::string quote_time(const std::string& stored, Dialect target) {
  // Stored times are plain text in SQLite; PostgreSQL takes a typed literal.
  return target == Dialect::kPostgres ? "TIMESTAMP '" + stored + "'" : "'" + stored + "'";
}

}  // namespace

namespace nxdb {

Translation translate_informix(std::string_view sql, Dialect target) {
  std::vector<Token> tokens;
  std::string why;
  if (!tokenize(sql, tokens, why)) return error(why);
  Cursor c(sql, tokens);

  std::size_t first = c.skip_blank(0);
  if (c.is_word(first, "SET") && c.is_word(c.skip_blank(first + 1), "LOCK")) {
    return lock_mode(c, first);
  }

  Translation t;
  t.kind = Translation::Kind::kStatement;
  t.sql.reserve(sql.size());
  for (std::size_t i = 0; i < tokens.size();) {
    if (c.is_word(i, "DATETIME") && c.is_punct(c.skip_blank(i + 1), '(')) {
      std::size_t end = 0;
      std::string stored;
      if (!datetime_literal(sql, tokens, c, i, end, stored, why)) return error(why);
      t.sql += quote_time(stored, target);
      i = end;
      continue;
    }
    t.sql.append(c.text(i));
    ++i;
  }
  return t;
}

}  // namespace nxdb
