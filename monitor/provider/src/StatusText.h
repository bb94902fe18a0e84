// Short texts of the status codes that appear in log records.
#pragma once

#include <cstdint>
#include <string>

namespace quelstd {

// The table text of status, or "error: %d/%08x" for a status not in it.
std::wstring StatusText(uint32_t status);

}  // namespace quelstd
