// Texts of the message catalog "nx_javaAlarm.cat", set 95. The built-in
// defaults apply when the catalog or a message is missing. Every text raised
// to Java has a number here; catalog/nx_javaAlarm.msg holds the same texts.
#pragma once

#include <string>

namespace nxjni {

enum Message {
  MSG_INIT_DONE = 1,
  MSG_ALLOC_SERVICE = 2,
  MSG_NO_LOG = 3,
  MSG_LOAD_FAILED = 4,
  MSG_CLEAR_FAILED = 5,
  MSG_NULL_IDS = 6,
  MSG_OPERATION_FAILED = 7,
  MSG_DELETE_FAILED = 8,
  MSG_ALLOC_ALARM_FILTER = 9,
  MSG_GET_VM = 10,
  MSG_ATTACH_THREAD = 11,
  MSG_INVALID_SEVERITY = 12,
  MSG_UNKNOWN_ATTRIBUTE = 13,
  MSG_ALLOC_FILTER = 14,
  MSG_PARSE_LOG = 15,
  MSG_INVALID_RECORD_ID = 16,
  MSG_ID2ATTRIBUTE = 17,
  MSG_NOT_INITIALIZED = 18,
  MSG_QUERY_NULL = 19,
  MSG_QUERY_NO_SQL = 20,
  MSG_WRONG_TYPE = 21,           // what, expected
  MSG_WRONG_TYPE_NO_CLASS = 22,  // what, expected
  MSG_TEXT_TOO_LONG = 23,        // kind, bytes, bound
  MSG_TEXT_TOO_LONG_UNITS = 24,  // kind, UTF-16 units, bound
  MSG_TEXT_NO_MEMORY = 25,       // kind, characters
  MSG_TEXT_NUL = 26,             // kind
  MSG_TEXT_SURROGATE = 27,       // kind
  MSG_PATTERN_TOO_LONG = 28,     // attribute, bytes, bound
  // The kinds of texts named by 23-27.
  MSG_KIND_OPERATOR_TEXT = 29,
  MSG_KIND_FILTER_VALUE = 30,
  MSG_KIND_LOG_NAME = 31,
  MSG_KIND_MIS_NAME = 32,
  MSG_KIND_MO_NAME = 33,
  MSG_KIND_RECORD_ID = 34,
  MSG_KIND_ATTRIBUTE_NAME = 35,
  MSG_KIND_SERVER_NAME = 36,
  MSG_KIND_TEXT = 37,
  // Record history and purge.
  MSG_NULL_LOG = 38,
  MSG_PURGE_NO_SELECTION = 39,
  MSG_HISTORY_LIMIT = 40,
  MSG_HISTORY_FAILED = 41,  // reason
  MSG_PURGE_FAILED = 42,    // reason
  // Ordered pages.
  MSG_ORDER_KEY = 43,    // attribute
  MSG_PAGE_LIMIT = 44,   // the limit asked for
  MSG_PAGE_TOKEN = 45,   // reason
};

// The highest message number.
constexpr int kLastMessage = MSG_PAGE_TOKEN;

constexpr int kCatalogSet = 95;
constexpr const char* kCatalogName = "nx_javaAlarm.cat";

// Opens the catalog into alarm_catd (once; later calls do nothing).
void open_catalog();
// The catalog's text for a message, or its default.
const char* catalog_text(Message m);
// The built-in text of a message (null for numbers outside 1..kLastMessage).
const char* default_text(int number);
// The catalog's text of a message with its printf-style parts filled in.
// A catalog text whose conversions differ from the default's (in kind or
// order) would read the arguments wrongly: the default is used instead.
std::string catalog_format(Message m, ...);
// The printf conversions of a text in order ("%s", "%zu", ...); a text with
// one that cannot be checked (positional, '*', %n) gives {"?"}.
std::string conversions_of(const char* text);

}  // namespace nxjni
