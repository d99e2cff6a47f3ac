#pragma once
// printf-like formatting into a new string, e.g. formatString("%d.%d.%d", 0, 3, 6) == "0.3.6".

#include <string>

#include <boost/format.hpp>

namespace HA::GP {

// Formats the values by the pattern's directives ("%d", "%s", "%1%" ...). A pattern that does
// not match its values throws boost::io::format_error, as the format library does.
template <typename... Values>
std::string formatString(const std::string& pattern, const Values&... values)
{
    boost::format format(pattern);
    ((void)(format % values), ...);
    return format.str();
}

}  // namespace HA::GP
