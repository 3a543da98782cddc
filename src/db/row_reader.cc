#include "db/row_reader.h"

#include <charconv>
#include <cstring>
#include <string_view>

#include "db/alarm_columns.h"
#include "db/blob_attributes.h"
#include "db/database_impl.h"
#include "model/alarm_record.h"

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

// prefix and then number in decimal, written over out.
void write_number(std::string& out, std::string_view prefix, int number) {
  char digits[16];
  const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, number);
  out.assign(prefix);
  out.append(digits, end.ptr);
}

}  // namespace

// A column the rows do not carry reads as NULL.
const std::string& RowReader::column_text(int column) const {
  if (column < 0 || column >= row_->columnCount()) return kNoText;
  return row_->at(column).text();
}

int RowReader::column_int(int column) const {
  int number = 0;
  if (column >= 0 && column < row_->columnCount()) row_->at(column) >> number;
  return number;
}

bool RowReader::from_blob(const char* name, std::string& out) {
  if (!blob_parsed_) {
    if (blob_column_ >= 0 && blob_column_ < row_->columnCount()) {
      row_->at(blob_column_) >> blob_;
    } else {
      blob_ = NXDBBlob();
    }
    parse_blob_attributes(blob_, ids_, blob_values_);
    blob_parsed_ = true;
  }
  return blob_attribute_text(name, ids_, blob_values_, scratch_, out);
}

bool RowReader::read(const AttrSource& source, int column, AlarmAttributeId id, std::string& out) {
  switch (source.rule) {
    case AttrRule::kTime: {
      // As alarm_convert_to_gen_time takes it: the text up to any NUL.
      const char* text = column_text(column).c_str();
      const std::size_t length = std::strlen(text);
      if (length == 0 || length > DatabaseImpl::kMaxTimeText) {
        out.assign("NULL");
      } else {
        out.assign(text, length);
      }
      AlarmRecord::map_text_over(id, out);
      return true;
    }
    case AttrRule::kInt:
      write_number(out, "", column_int(column));
      AlarmRecord::map_text_over(id, out);
      return true;
    case AttrRule::kRecordId:
      write_number(out, "number:", column_int(column));
      AlarmRecord::map_text_over(id, out);
      return true;
    case AttrRule::kBlobFirst:
    case AttrRule::kBlobFirstAlways:
    case AttrRule::kInstance:
      break;
  }
  if (from_blob(source.name, out)) {
    AlarmRecord::map_text_over(id, out);
    return true;
  }
  const std::string& text = column_text(column);
  if (!text.empty()) {
    if (source.rule != AttrRule::kInstance) {
      out.assign(text);
      AlarmRecord::map_text_over(id, out);
      return true;
    }
    // The name is parsed once, not printed and read back.
    if (id == ATTR_MANAGED_OBJECT_INSTANCE) {
      if (DatabaseImpl::fdn_instance(text.c_str(), out)) return true;
    } else {
      out = DatabaseImpl::my_fdn2oi(text.c_str());
      if (!out.empty()) {
        AlarmRecord::map_text_over(id, out);
        return true;
      }
    }
  }
  out.clear();
  if (source.rule != AttrRule::kBlobFirstAlways) return false;
  AlarmRecord::map_text_over(id, out);
  return true;
}
