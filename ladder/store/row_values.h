// Values of a SOCI row read by what they mean, not by the type SOCI gives their column: SQLite
// types a column by its declared type, and an expression (a count, a CASE, NULL in a row of a
// LEFT JOIN) by whatever it holds, while PostgreSQL has its own integer widths.
#pragma once

#include <soci/soci.h>

#include <string>

namespace ladder::store {

long long row_integer(const soci::row& row, std::size_t column);
double row_real(const soci::row& row, std::size_t column);
std::string row_text(const soci::row& row, std::size_t column);
bool row_is_null(const soci::row& row, std::size_t column);

}  // namespace ladder::store
