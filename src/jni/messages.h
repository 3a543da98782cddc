// Texts of the message catalog "nx_javaAlarm.cat", set 95. The built-in
// defaults apply when the catalog or a message is missing.
#pragma once

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
};

constexpr int kCatalogSet = 95;
constexpr const char* kCatalogName = "nx_javaAlarm.cat";

// Opens the catalog into alarm_catd (once; later calls do nothing).
void open_catalog();
// The catalog's text for a message, or its default.
const char* catalog_text(Message m);
// The built-in text of a message (null for numbers outside 1..17).
const char* default_text(int number);

}  // namespace nxjni
