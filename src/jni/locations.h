// Check numbers of the location lines ("<source> <check>") written when a
// Java object, class or id is missing. Users grep logs for them: a number
// keeps its meaning for good, and a new place takes a new number.
#pragma once

namespace loc {

enum Location : int {
  // Lookups of classes, ids and constants (../alarmApi).
  kFindClass = 1,
  kGetMethod = 2,
  kGetField = 3,
  kNoClass = 4,
  kExceptionClass = 5,
  kStaticObjectField = 20,
  kStaticIntField = 21,
  kNewObject = 22,

  // Natives (../alarmApi).
  kNullArray = 101,  // hash input
  kNoElements = 102,
  kRetrieveLogName = 110,
  kNoAttributes = 111,  // no attributes wanted: records with no fields set
  kInitLogName = 120,
  kAddLogName = 121,
  kNoArray = 122,
  kCountLogName = 124,
  kSeverityLogName = 125,
  kSeverityNullMoName = 126,
  kNoIntArray = 127,
  kNullSeverity = 128,
  kLogText = 130,
  kMisText = 131,
  kNullText = 132,
  kStateNullId = 133,
  kNullIdText = 134,
  kClearLog = 135,
  kDeleteLog = 136,
  kNoInfo = 140,
  kInfoNullMoName = 141,
  kHistoryLogName = 150,
  kHistoryIdText = 151,
  kPurgeLogName = 152,
  kNoHistory = 153,
  kPageLogName = 160,
  kNullOrderCodes = 161,
  kNoPage = 162,
  kNoBytes = 142,
  kNoServerName = 143,
  kNoAssembler = 150,
  kNoBuffer = 151,
  kAssemblyFailed = 152,
  kNoBatch = 203,

  // Events (../alarmApi).
  kNoMisName = 301,
  kNoLogId = 302,
  kNoLogName = 303,
  kEventNoRecord = 304,
  kNoEvent = 305,
  kNoFrame = 306,

  // Query, attribute-set, record-id and name conversions (../convert).
  kNullQuery = 401,
  kNullQueryOp = 402,
  kNullQueryElements = 403,
  kNullFilter = 404,
  kNullFilterOp = 405,
  kNullFilterElements = 406,
  kNullItem = 407,
  kNullRelation = 408,
  kNullAttrName = 409,
  kNullAttrText = 410,
  kNullValues = 411,
  kNullValue = 412,
  kNullSet = 413,
  kNullSetElements = 414,
  kNullSetElement = 415,
  kNullIds = 416,
  kConvertNullId = 417,
  kNullFullName = 418,
  kConvertNullMoName = 419,
  kNullMoNameText = 420,

  // Records built for Java (../convert).
  kConvertNoRecord = 501,
  kNoSet = 502,
  kNoDate = 503,
  kNoRecordId = 504,
  kNoMoName = 505,
};

}  // namespace loc
