#include "db/row_reader.h"

#include "db/alarm_columns.h"
#include "db/blob_attributes.h"
#include "db/database_impl.h"

namespace C = CommonAttributes;

const AttrSource kCommonSources[] = {
    {"logRecordId", AttrRule::kRecordId, C::logRecordId},
    {"loggingTime", AttrRule::kTime, C::loggingTime},
    {"eventType", AttrRule::kBlobFirst, C::eventName},
    {"eventTime", AttrRule::kTime, C::eventTime},
    {"notificationId", AttrRule::kInt, C::notificationId},
    {"managedObjectClass", AttrRule::kBlobFirst, C::MOC_s},
    // An instance from the column is a name text; records keep the value
    // notation. One too long for that is left out rather than cut.
    {"managedObjectInstance", AttrRule::kInstance, C::MOI_s},
    {"correlatedNotifications", AttrRule::kBlobFirst, C::correlatedNotifications_s},
    {"additionalText", AttrRule::kBlobFirst, C::additionalText},
    {"additionalInformation", AttrRule::kBlobFirst, C::additionalInfo_s},
};
const std::size_t kCommonSourceCount = sizeof kCommonSources / sizeof kCommonSources[0];

namespace {
const std::string kNoText;
}

// Column reads are not checked: a column the row lacks reads as NULL.
const std::string& RowReader::column_text(const char* column) const {
  const NXDBValue* value = row_->column(column);
  return value != nullptr ? value->text() : kNoText;
}

int RowReader::column_int(const char* column) const {
  int number = 0;
  if (const NXDBValue* value = row_->column(column)) *value >> number;
  return number;
}

bool RowReader::from_blob(const char* name, std::string& out) {
  if (!blob_parsed_) {
    if (const NXDBValue* value = row_->column("Blob")) {
      *value >> blob_;
    } else {
      blob_ = NXDBBlob();
    }
    parse_blob_attributes(blob_, ids_, blob_values_);
    blob_parsed_ = true;
  }
  return blob_attribute_text(name, ids_, blob_values_, scratch_, out);
}

bool RowReader::read(const AttrSource& source, std::string& out) {
  switch (source.rule) {
    case AttrRule::kTime:
      out = DatabaseImpl::alarm_convert_to_gen_time(column_text(source.column).c_str());
      return true;
    case AttrRule::kInt:
      out = std::to_string(column_int(source.column));
      return true;
    case AttrRule::kRecordId:
      out = "number:" + std::to_string(column_int(source.column));
      return true;
    case AttrRule::kBlobFirst:
    case AttrRule::kBlobFirstAlways:
    case AttrRule::kInstance:
      break;
  }
  if (from_blob(source.name, out)) return true;
  const std::string& text = column_text(source.column);
  if (!text.empty()) {
    if (source.rule == AttrRule::kInstance) {
      out = DatabaseImpl::my_fdn2oi(text.c_str());
    } else {
      out = text;
    }
    if (!out.empty()) return true;
  }
  out.clear();
  return source.rule == AttrRule::kBlobFirstAlways;
}
