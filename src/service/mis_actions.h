// Helpers of the MIS requests, apart so that the clearing text can be
// checked without a MIS.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The information text of a clearing notification, from the members of the
// event type's syntax and the record's values (get(name, flags): flags 0 the
// value's name form, 0x10008 its value notation; empty when absent).
std::string build_clear_info(const std::vector<std::string>& members,
                             const std::function<std::string(const std::string&, int)>& get,
                             const std::string& user);
