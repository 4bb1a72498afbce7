#include "ladder/store/row_values.h"

namespace ladder::store {

bool row_is_null(const soci::row& row, std::size_t column) {
  return row.get_indicator(column) == soci::i_null;
}

long long row_integer(const soci::row& row, std::size_t column) {
  if (row_is_null(row, column)) return 0;
  switch (row.get_properties(column).get_data_type()) {
    case soci::dt_string: return std::stoll(row.get<std::string>(column));
    case soci::dt_double: return static_cast<long long>(row.get<double>(column));
    case soci::dt_integer: return row.get<int>(column);
    case soci::dt_unsigned_long_long:
      return static_cast<long long>(row.get<unsigned long long>(column));
    default: return row.get<long long>(column);
  }
}

double row_real(const soci::row& row, std::size_t column) {
  if (row_is_null(row, column)) return 0;
  switch (row.get_properties(column).get_data_type()) {
    case soci::dt_double: return row.get<double>(column);
    case soci::dt_string: return std::stod(row.get<std::string>(column));
    default: return static_cast<double>(row_integer(row, column));
  }
}

std::string row_text(const soci::row& row, std::size_t column) {
  if (row_is_null(row, column)) return "";
  if (row.get_properties(column).get_data_type() == soci::dt_string) {
    return row.get<std::string>(column);
  }
  return std::to_string(row_integer(row, column));
}

}  // namespace ladder::store
